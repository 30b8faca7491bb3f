#include "replayer/envelopes.h"

namespace korvanthe {

namespace {

// Sanity check: a point value above 64 (outside the format) counts as 64,
// which keeps the 16.16 value and slope within 32 bits.
int32_t pointValue(const EnvelopePoint& point) {
    return point.value > 64 ? 64 : point.value;
}

} // namespace

Envelope volumeEnvelopeOf(const Instrument* instrument) {
    if (instrument == nullptr) {
        return Envelope{emptyInstrument.volumeEnvelopePoints, 0, 0, 0, 0, 0};
    }
    return Envelope{instrument->volumeEnvelopePoints, instrument->volumePointCount,
                    instrument->volumeSustainPoint,   instrument->volumeLoopStart,
                    instrument->volumeLoopEnd,        instrument->volumeEnvelopeFlags};
}

Envelope panningEnvelopeOf(const Instrument* instrument) {
    if (instrument == nullptr) {
        return Envelope{emptyInstrument.panningEnvelopePoints, 0, 0, 0, 0, 0};
    }
    return Envelope{instrument->panningEnvelopePoints, instrument->panningPointCount,
                    instrument->panningSustainPoint,   instrument->panningLoopStart,
                    instrument->panningLoopEnd,        instrument->panningEnvelopeFlags};
}

void stepEnvelope(Channel* channel, EnvelopeState* state, const Envelope& envelope,
                  uint8_t updateBit) {
    const EnvelopePoint* points = envelope.points;
    // Never more than the instrument's table holds, whatever the count says.
    const int32_t count = points == nullptr                         ? 0
                          : envelope.pointCount > MaxEnvelopePoints ? MaxEnvelopePoints
                                                                    : envelope.pointCount;

    // Sanity check: ">=" rather than "==" so that a point whose tick lies
    // behind (ticks that do not increase) is taken as reached instead of the
    // segment running on forever; for increasing ticks the two are the same.
    if (state->nextPoint >= 0 && state->nextPoint < count) {
        if (state->tick >= points[state->nextPoint].tick) {
            // The loop comes before the sustain: a loop end that is also the
            // sustain point loops. A loop start beyond the points is ignored.
            if ((envelope.flags & EnvelopeLoop) != 0 && state->nextPoint == envelope.loopEnd &&
                envelope.loopStart < count) {
                state->nextPoint = envelope.loopStart;
                state->tick = points[envelope.loopStart].tick;
            }
            const int32_t j = state->nextPoint;
            if (j == count - 1) {
                state->value = pointValue(points[j]);
                state->finished = true;
                channel->updateFlags |= updateBit;
                return;
            }
            if ((envelope.flags & EnvelopeSustain) != 0 && j == envelope.sustainPoint &&
                !channel->keyOff) {
                state->value = pointValue(points[j]);
                channel->updateFlags |= updateBit;
                return;
            }
            const int32_t valueSpan = (pointValue(points[j + 1]) - pointValue(points[j])) * 65536;
            const int32_t tickSpan = points[j + 1].tick - points[j].tick;
            state->slope = tickSpan != 0 ? valueSpan / tickSpan : 0;
            state->valueFixed = pointValue(points[j]) * 65536;
            state->nextPoint = j + 1;
        } else {
            state->valueFixed += state->slope;
        }
    }
    state->value = state->valueFixed >> 16;
    ++state->tick;
    channel->updateFlags |= updateBit;
}

void stepFadeout(Channel* channel, const Instrument* instrument) {
    if (!channel->keyOff) {
        return;
    }
    const int32_t fadeout = instrument != nullptr ? instrument->fadeout : 0;
    channel->fadeoutVolume =
        channel->fadeoutVolume > fadeout ? channel->fadeoutVolume - fadeout : 0;
    channel->updateFlags |= UpdateVolume;
}

} // namespace korvanthe
