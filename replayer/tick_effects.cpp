#include "replayer/tick_effects.h"

#include <algorithm>
#include <array>

#include "replayer/channel_routines.h"
#include "replayer/effect_numbers.h"
#include "replayer/envelopes.h"
#include "replayer/row_processing.h"
#include "replayer/voice_update.h"

namespace korvanthe {

namespace {

// The lowest period coarse portamento up reaches.
constexpr int32_t MinimumPortaUpPeriod = 56;

void clearVoiceBits(Channel* channel) {
    channel->updateFlags &= static_cast<uint8_t>(~UpdateVoiceBits);
}

// Effects A, 5 and 6, with their shared memory. A memory of 0 slides
// nothing, yet the volume is still updated.
void slideVolume(Channel* channel) {
    const uint8_t memory = channel->volumeSlideMemory;
    if (highNibble(memory) != 0) {
        channel->volume = std::min(channel->volume + highNibble(memory), 64);
    } else {
        channel->volume = std::max(channel->volume - lowNibble(memory), 0);
    }
    channel->updateFlags |= UpdateVolume;
}

void stepVibrato(Channel* channel) {
    computeVibrato(channel);
    channel->vibratoPos = advanceWavePhase(channel->vibratoPos, channel->vibratoSpeed);
}

void arpeggio(const Module* module, Channel* channel, uint8_t parameter, const Sample* sample) {
    if (parameter == 0) {
        return;
    }
    int32_t semitones = 0;
    switch (module->tick % 3) {
    case 1:
        semitones = highNibble(parameter);
        break;
    case 2:
        semitones = lowNibble(parameter);
        break;
    default:
        break;
    }
    if ((module->flags & ModuleLinearFrequencies) != 0) {
        channel->periodDelta = semitones * 64;
    } else {
        channel->periodDelta = amigaPeriod(channel->realNote + semitones, sample->finetune) -
                               amigaPeriod(channel->realNote, sample->finetune);
    }
    channel->updateFlags |= UpdateFrequency;
}

// Rxy's volume change by code (the x): codes 1 to 5 and 9 to 13 add these
// steps; 6, 7, 14 and 15 scale; 8 changes nothing but clamps; 0 changes
// nothing at all.
constexpr std::array<int8_t, 16> RetrigVolumeSteps = {
    0, -1, -2, -4, -8, -16, 0, 0, // 0..7
    0, 1,  2,  4,  8,  16,  0, 0, // 8..15
};
static_assert(RetrigVolumeSteps.size() == 16, "one step per volume code");

void applyRetrigVolume(Channel* channel) {
    int32_t& volume = channel->volume;
    switch (channel->retrigVolumeCode) {
    case 0: // no change and no clamp
        return;
    case 6:
        volume = 2 * volume / 3;
        break;
    case 7:
        volume >>= 1;
        break;
    case 14:
        volume = 3 * volume / 2;
        break;
    case 15:
        volume *= 2;
        break;
    default:
        volume += RetrigVolumeSteps[channel->retrigVolumeCode & 0x0F];
        break;
    }
    volume = std::clamp(volume, 0, 64);
    channel->updateFlags |= UpdateVolume;
}

void multiRetrigger(const Module* module, Channel* channel) {
    if (channel->retrigInterval == 0 || module->tick % channel->retrigInterval != 0) {
        return;
    }
    applyRetrigVolume(channel);
    channel->updateFlags |= UpdateTrigger;
}

void slideGlobalVolume(Module* module) {
    const uint8_t memory = module->globalVolumeSlide;
    if (highNibble(memory) != 0) {
        module->globalVolume = std::min(module->globalVolume + highNibble(memory), 64);
    } else {
        module->globalVolume = std::max(module->globalVolume - lowNibble(memory), 0);
    }
}

void slidePanning(Channel* channel) {
    const uint8_t memory = channel->panningSlideMemory;
    if (highNibble(memory) != 0) {
        channel->panning = std::min(channel->panning + highNibble(memory), 255);
    } else {
        channel->panning = std::max(channel->panning - lowNibble(memory), 0);
    }
    channel->updateFlags |= UpdatePanning;
}

void applyExtendedTickEffect(const Module* module, Channel* channel, const PatternCell& cell,
                             const Sample* sample) {
    const uint8_t y = lowNibble(cell.parameter);
    switch (highNibble(cell.parameter)) {
    case ExtendedRetrigger:
        if (y != 0 && module->tick % y == 0) {
            channel->updateFlags |= UpdateTrigger | UpdateVolume | UpdateFrequency;
        }
        break;
    case ExtendedNoteCut:
        if (module->tick == y) {
            channel->volume = 0;
            channel->updateFlags |= UpdateVolume;
        }
        break;
    case ExtendedNoteDelay:
        if (module->tick == y) {
            // The delayed note starts now, with instrument defaults even when
            // the cell names no instrument.
            applyInstrumentDefaults(channel, sample);
            channel->period = channel->notePeriod;
            channel->updateFlags |= UpdateFrequency;
            if (cell.volume != 0) {
                applyVolumeColumn(channel, cell.volume);
            }
            channel->updateFlags |= UpdateTrigger;
        } else {
            clearVoiceBits(channel);
        }
        break;
    default: // the other sub-commands act on the row tick only
        break;
    }
}

void applyTickEffect(Module* module, Channel* channel, const PatternCell& cell,
                     const Sample* sample) {
    switch (cell.effect) {
    case EffectArpeggio:
        arpeggio(module, channel, cell.parameter, sample);
        break;
    case EffectPortaUp:
        channel->period -= 4 * channel->portaUpMemory;
        channel->periodDelta = 0;
        channel->period = std::max(channel->period, MinimumPortaUpPeriod);
        channel->updateFlags |= UpdateFrequency;
        break;
    case EffectPortaDown: // no audible upper limit
        channel->period = std::min(channel->period + 4 * channel->portaDownMemory, HighestPeriod);
        channel->periodDelta = 0;
        channel->updateFlags |= UpdateFrequency;
        break;
    case EffectTonePorta:
        channel->periodDelta = 0;
        stepTonePortamento(channel);
        break;
    case EffectVibrato:
        stepVibrato(channel);
        break;
    case EffectTonePortaVolumeSlide:
        channel->periodDelta = 0;
        stepTonePortamento(channel);
        slideVolume(channel);
        break;
    case EffectVibratoVolumeSlide:
        stepVibrato(channel);
        slideVolume(channel);
        break;
    case EffectTremolo:
        computeTremolo(channel);
        break;
    case EffectVolumeSlide:
        slideVolume(channel);
        break;
    case EffectExtended:
        applyExtendedTickEffect(module, channel, cell, sample);
        break;
    case EffectGlobalVolumeSlide: // the voices take it at their next volume update
        slideGlobalVolume(module);
        break;
    case EffectPanningSlide:
        slidePanning(channel);
        break;
    case EffectMultiRetrigger:
        multiRetrigger(module, channel);
        break;
    case EffectTremor:
        stepTremor(channel);
        break;
    default: // every other effect acts on the row tick only
        break;
    }
}

// The per-tick part of the volume column. Its slides also ran on the row
// tick, so over a row of speed s they move s x y; 8, 9, A and C act on the
// row tick only.
void applyVolumeColumnTick(Channel* channel, uint8_t volumeByte) {
    const uint8_t y = lowNibble(volumeByte);
    switch (highNibble(volumeByte)) {
    case 0x6:
        channel->volume = std::max(channel->volume - y, 0);
        channel->updateFlags |= UpdateVolume;
        break;
    case 0x7:
        channel->volume = std::min(channel->volume + y, 64);
        channel->updateFlags |= UpdateVolume;
        break;
    case 0xB:
        channel->vibratoDepth = y;
        stepVibrato(channel);
        break;
    case 0xD: // no clamp: the voice update clamps what it applies
        channel->panning -= y;
        channel->updateFlags |= UpdatePanning;
        break;
    case 0xE:
        channel->panning += y;
        channel->updateFlags |= UpdatePanning;
        break;
    case 0xF:
        stepTonePortamento(channel);
        break;
    default:
        break;
    }
}

void processChannelTick(Module* module, Channel* channel, const PatternCell& cell) {
    const ChannelSelection selection = selectInstrumentAndSample(module, channel);
    const Instrument* instrument = selection.instrument;

    channel->volumeDelta = 0;
    channel->periodDelta = 0;
    channel->updateFlags = 0;

    if ((instrument->volumeEnvelopeFlags & EnvelopeOn) != 0 && !channel->volumeEnvelope.finished) {
        stepEnvelope(channel, &channel->volumeEnvelope, volumeEnvelopeOf(instrument), UpdateVolume);
    }
    if ((instrument->panningEnvelopeFlags & EnvelopeOn) != 0 &&
        !channel->panningEnvelope.finished) {
        stepEnvelope(channel, &channel->panningEnvelope, panningEnvelopeOf(instrument),
                     UpdatePanning);
    }
    stepFadeout(channel, instrument);

    applyVolumeColumnTick(channel, cell.volume);
    applyTickEffect(module, channel, cell, selection.sample);

    applyAutoVibrato(channel, instrument);
    updateVoice(channel, selection.sample, module);
}

} // namespace

void processTickEffects(Module* module) {
    const PatternCell* cells = currentRowCells(module);
    if (cells == nullptr) {
        return;
    }
    const int32_t channelCount = std::min<int32_t>(module->channelCount, MaxChannels);
    for (int32_t i = 0; i < channelCount; ++i) {
        processChannelTick(module, &channels[i], cells[i]);
    }
}

void computeTremolo(Channel* channel) {
    int32_t delta =
        (tremoloWaveform(channel->waveControl, channel->tremoloPos) * channel->tremoloDepth) >> 6;
    if (channel->tremoloPos >= 0) {
        if (channel->volume + delta > 64) {
            delta = 64 - channel->volume;
        }
        channel->volumeDelta = delta;
    } else {
        if (channel->volume - delta < 0) {
            delta = channel->volume;
        }
        channel->volumeDelta = -delta;
    }
    channel->tremoloPos = advanceWavePhase(channel->tremoloPos, channel->tremoloSpeed);
    channel->updateFlags |= UpdateVolume;
}

void stepTonePortamento(Channel* channel) {
    const int32_t step = 4 * channel->tonePortaSpeed;
    if (channel->period < channel->portaTargetPeriod) {
        channel->period = std::min(channel->period + step, channel->portaTargetPeriod);
    } else if (channel->period > channel->portaTargetPeriod) {
        channel->period = std::max(channel->period - step, channel->portaTargetPeriod);
    }
    channel->updateFlags |= UpdateFrequency;
}

} // namespace korvanthe
