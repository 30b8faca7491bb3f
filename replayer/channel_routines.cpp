#include "replayer/channel_routines.h"

#include <algorithm>

namespace korvanthe {

void applyInstrumentDefaults(Channel* channel, const Sample* sample) {
    if (sample == nullptr) {
        sample = &emptySample;
    }
    channel->volume = sample->volume;
    channel->panning = sample->panning;

    // valueFixed is kept: the first step of the envelope sets it anyway.
    channel->volumeEnvelope.value = 64;
    channel->volumeEnvelope.nextPoint = 0;
    channel->volumeEnvelope.tick = 0;
    channel->volumeEnvelope.slope = 0;
    channel->volumeEnvelope.finished = false;
    channel->panningEnvelope.value = 32;
    channel->panningEnvelope.nextPoint = 0;
    channel->panningEnvelope.tick = 0;
    channel->panningEnvelope.slope = 0;
    channel->panningEnvelope.finished = false;

    channel->keyOff = false;
    channel->fadeoutVolume = 65536;
    channel->autoVibratoSweep = 0;
    channel->autoVibratoPos = 0;

    // A waveform nibble of 4 or more keeps its phase running across notes.
    if ((channel->waveControl & 0x0F) < 4) {
        channel->vibratoPos = 0;
    }
    if ((channel->waveControl >> 4) < 4) {
        channel->tremoloPos = 0;
    }
    channel->updateFlags |= UpdateVolume | UpdatePanning;
    channel->tremorCounter = 0;
}

void applyVolumeColumn(Channel* channel, uint8_t volumeByte) {
    const int32_t low = volumeByte & 0x0F;
    switch (volumeByte >> 4) {
    case 0x1:
    case 0x2:
    case 0x3:
    case 0x4:
        channel->volume = volumeByte - 0x10;
        channel->updateFlags |= UpdateVolume;
        break;
    case 0x5:
        // 0x50 is volume 64; 0x51..0x5F are no command.
        if (low == 0) {
            channel->volume = 64;
            channel->updateFlags |= UpdateVolume;
        }
        break;
    case 0x6: // volume slide down: its first step is taken on the row tick
    case 0x8: // fine volume slide down
        channel->volume = std::max(channel->volume - low, 0);
        channel->updateFlags |= UpdateVolume;
        break;
    case 0x7:
    case 0x9:
        channel->volume = std::min(channel->volume + low, 64);
        channel->updateFlags |= UpdateVolume;
        break;
    case 0xA:
        channel->vibratoSpeed = static_cast<uint8_t>(low);
        break;
    case 0xB:
        channel->vibratoDepth = static_cast<uint8_t>(low);
        break;
    case 0xC:
        channel->panning = low * 16;
        channel->updateFlags |= UpdatePanning;
        break;
    case 0xD:
        channel->panning -= low; // unclamped: updateVoice clamps when it applies it
        channel->updateFlags |= UpdatePanning;
        break;
    case 0xE:
        channel->panning += low;
        channel->updateFlags |= UpdatePanning;
        break;
    case 0xF:
        if (low != 0) {
            channel->tonePortaSpeed = static_cast<uint8_t>(low * 16);
        }
        channel->portaTargetPeriod = channel->notePeriod;
        channel->updateFlags &= static_cast<uint8_t>(~UpdateTrigger);
        break;
    default: // 0x01..0x0F: no command
        break;
    }
}

void computeVibrato(Channel* channel) {
    const int32_t value = vibratoWaveform(channel->waveControl, channel->vibratoPos);
    int32_t delta = ((value * channel->vibratoDepth) >> 5) & ~3;
    if (channel->vibratoPos >= 0) {
        delta = -delta;
    }
    channel->periodDelta = delta;
    channel->updateFlags |= UpdateFrequency;
}

void stepTremor(Channel* channel) {
    if (channel->tremorCounter >= channel->tremorOnTicks) {
        channel->volumeDelta = -channel->volume;
    }
    ++channel->tremorCounter;
    if (channel->tremorCounter >= channel->tremorOnTicks + channel->tremorOffTicks) {
        channel->tremorCounter = 0;
    }
    channel->updateFlags |= UpdateVolume;
}

} // namespace korvanthe
