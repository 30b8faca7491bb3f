#include "replayer/envelopes.h"

namespace korvanthe {

namespace {

// Sanity check: a point value above 64 (outside the format) counts as 64,
// which keeps the 16.16 value and slope within 32 bits. Every read of a
// point's value goes through here (replay_envelope_position_test).
int32_t pointValue(const EnvelopePoint& point) {
    return point.value > 64 ? 64 : point.value;
}

int32_t usablePointCount(const Envelope& envelope) {
    // Never more than the instrument's table holds, whatever the count says.
    return envelope.points == nullptr                ? 0
           : envelope.pointCount > MaxEnvelopePoints ? MaxEnvelopePoints
                                                     : envelope.pointCount;
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
    const int32_t count = usablePointCount(envelope);

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

void setEnvelopePosition(EnvelopeState* state, const Envelope& envelope, int32_t position) {
    const EnvelopePoint* points = envelope.points;
    const int32_t count = usablePointCount(envelope);
    if (count > 0 && position < points[0].tick) {
        // Sanity check: before the first point (a first point after tick 0)
        // the envelope holds that point's value until it reaches it, as it
        // does from a note's start, instead of extending the first segment
        // backwards to values below 0 or above 64.
        state->finished = false;
        state->tick = position;
        state->slope = 0;
        state->nextPoint = 0;
        state->valueFixed = pointValue(points[0]) * 65536;
        state->value = pointValue(points[0]);
        return;
    }
    for (int32_t j = 0; j + 1 < count; ++j) {
        if (position > points[j + 1].tick) {
            continue;
        }
        // Here points[j].tick <= position <= points[j + 1].tick, so the value
        // lies between the two (clamped) point values.
        const int32_t valueSpan = (pointValue(points[j + 1]) - pointValue(points[j])) * 65536;
        const int32_t tickSpan = points[j + 1].tick - points[j].tick;
        state->finished = false;
        state->tick = position;
        state->slope = tickSpan != 0 ? valueSpan / tickSpan : 0;
        state->nextPoint = j + 1;
        state->valueFixed =
            pointValue(points[j]) * 65536 + (position - points[j].tick) * state->slope;
        state->value = state->valueFixed >> 16;
        return;
    }
    if (count > 0) {
        state->value = pointValue(points[count - 1]);
    }
    state->finished = true;
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
