#include "replayer/row_processing.h"

#include <algorithm>

#include "replayer/channel_routines.h"
#include "replayer/effect_numbers.h"
#include "replayer/envelopes.h"
#include "replayer/voice_update.h"

namespace korvanthe {

namespace {

// Notes 98..254 never reach the replayer (the loader makes them "no note");
// anything outside 1..96 is treated as no note so the keymap is never left.
bool isPlayableNote(uint8_t note) {
    return note >= 1 && note <= KeymapNotes;
}

bool isTonePorta(const PatternCell& cell) {
    return cell.effect == EffectTonePorta || cell.effect == EffectTonePortaVolumeSlide ||
           cell.volume >= VolumeColumnTonePorta;
}

// What the row saw before it changed the channel; a note delay puts it back.
struct ChannelBeforeRow {
    int32_t volume;
    int32_t period;
    int32_t panning;
};

// The module-level state that lives for one row tick.
struct RowState {
    Module* module;
    bool jumpMark; // a Bxx in an earlier channel of this row
};

void applyExtendedRowEffect(RowState& row, Channel* channel, uint8_t parameter, Sample* sample,
                            const ChannelBeforeRow& before) {
    Module* module = row.module;
    const uint8_t y = lowNibble(parameter);
    switch (highNibble(parameter)) {
    case ExtendedFinePortaUp:
        if (y != 0) {
            channel->finePortaUpMemory = y;
        }
        channel->period -= 4 * channel->finePortaUpMemory;
        break;
    case ExtendedFinePortaDown:
        if (y != 0) {
            channel->finePortaDownMemory = y;
        }
        channel->period =
            std::min(channel->period + 4 * channel->finePortaDownMemory, HighestPeriod);
        break;
    case ExtendedVibratoWaveform:
        channel->waveControl = static_cast<uint8_t>((channel->waveControl & 0xF0) | y);
        break;
    case ExtendedSetFinetune:
        // Written into the shared sample, so it holds for later notes on it in
        // every channel. The shared all-zero emptySample is never written
        // (a silent channel has no pitch to tune).
        if (sample != &emptySample) {
            sample->finetune = static_cast<int8_t>(y);
        }
        break;
    case ExtendedPatternLoop:
        if (y == 0) {
            channel->loopStartRow = module->row;
            break;
        }
        if (channel->loopCount == 0) {
            channel->loopCount = y;
        } else {
            channel->loopCount -= 1;
        }
        // A B or D in an earlier channel of the row takes precedence.
        if (channel->loopCount != 0 && module->nextRow == -1) {
            module->nextRow = channel->loopStartRow;
        }
        break;
    case ExtendedTremoloWaveform:
        channel->waveControl = static_cast<uint8_t>((channel->waveControl & 0x0F) | (y << 4));
        break;
    case ExtendedSetPanning:
        channel->panning = y * 16;
        channel->updateFlags |= UpdatePanning;
        break;
    case ExtendedFineVolumeUp:
        if (y != 0) {
            channel->fineVolumeSlideMemory = y;
        }
        channel->volume = std::min(channel->volume + channel->fineVolumeSlideMemory, 64);
        channel->updateFlags |= UpdateVolume;
        break;
    case ExtendedFineVolumeDown:
        if (y != 0) {
            channel->fineVolumeSlideMemory = y;
        }
        channel->volume = std::max(channel->volume - channel->fineVolumeSlideMemory, 0);
        channel->updateFlags |= UpdateVolume;
        break;
    case ExtendedNoteDelay:
        // The note waits for tick y: nothing of this row reaches the voice yet.
        channel->volume = before.volume;
        channel->period = before.period;
        channel->panning = before.panning;
        channel->updateFlags &= static_cast<uint8_t>(~UpdateVoiceBits);
        break;
    case ExtendedPatternDelay:
        module->patternDelayTicks = module->speed * y;
        break;
    default: // E0, E3, E9, EC, EF: nothing on the row tick
        break;
    }
}

void applyRowEffect(RowState& row, Channel* channel, const PatternCell& cell,
                    const ChannelSelection& selection, const ChannelBeforeRow& before) {
    Module* module = row.module;
    const uint8_t xx = cell.parameter;
    const uint8_t x = highNibble(xx);
    const uint8_t y = lowNibble(xx);
    switch (cell.effect) {
    case EffectArpeggio: // runs on later ticks
        break;
    case EffectPortaUp:
        if (xx != 0) {
            channel->portaUpMemory = xx;
        }
        break;
    case EffectPortaDown:
        if (xx != 0) {
            channel->portaDownMemory = xx;
        }
        break;
    case EffectTonePorta:
        if (xx != 0) {
            channel->tonePortaSpeed = xx;
        }
        channel->portaTargetPeriod = channel->notePeriod; // also without a note
        channel->updateFlags &= static_cast<uint8_t>(~(UpdateTrigger | UpdateFrequency));
        break;
    case EffectVibrato:
        if (x != 0) {
            channel->vibratoSpeed = x;
        }
        if (y != 0) {
            channel->vibratoDepth = y;
        }
        computeVibrato(channel);
        break;
    case EffectTonePortaVolumeSlide:
        channel->portaTargetPeriod = channel->notePeriod;
        if (xx != 0) {
            channel->volumeSlideMemory = xx;
        }
        channel->updateFlags &= static_cast<uint8_t>(~(UpdateTrigger | UpdateFrequency));
        break;
    case EffectVibratoVolumeSlide:
        if (xx != 0) {
            channel->volumeSlideMemory = xx;
        }
        computeVibrato(channel);
        break;
    case EffectTremolo:
        if (x != 0) {
            channel->tremoloSpeed = x;
        }
        if (y != 0) {
            channel->tremoloDepth = y;
        }
        break;
    case EffectSetPanning:
        channel->panning = xx;
        channel->updateFlags |= UpdatePanning;
        break;
    case EffectSampleOffset: {
        if (xx != 0) {
            channel->sampleOffsetMemory = xx;
        }
        const uint32_t offset = static_cast<uint32_t>(channel->sampleOffsetMemory) * 256;
        const Sample* sample = selection.sample;
        if (offset < sample->loopStart + sample->loopLength) {
            if (channel->voice != nullptr) {
                channel->voice->startOffset = static_cast<int32_t>(offset);
            }
        } else {
            // Beyond the sample's end: the voice falls silent instead of starting.
            channel->updateFlags &= static_cast<uint8_t>(~UpdateTrigger);
            channel->updateFlags |= UpdateStop;
        }
        break;
    }
    case EffectVolumeSlide:
        if (xx != 0) {
            channel->volumeSlideMemory = xx;
        }
        break;
    case EffectPositionJump:
        module->nextRow = 0;
        module->nextOrder = xx < module->songLength ? xx : 0;
        row.jumpMark = true;
        break;
    case EffectSetVolume: // not clamped: C50 gives 80
        channel->volume = xx;
        channel->updateFlags |= UpdateVolume;
        break;
    case EffectPatternBreak: {
        const int32_t breakRow = 10 * x + y;
        module->nextRow = breakRow > 63 ? 0 : breakRow;
        if (!row.jumpMark) {
            module->nextOrder = module->order + 1;
        }
        // A break on the last order entry goes to order 0, not to the
        // restart position (tick_driver_test).
        if (module->nextOrder >= module->songLength) {
            module->nextOrder = 0;
        }
        break;
    }
    case EffectExtended:
        applyExtendedRowEffect(row, channel, xx, selection.sample, before);
        break;
    case EffectSetSpeed:
        if (xx < 32) {
            module->speed = xx; // 0 included: every tick is then a row tick
        } else {
            setTempo(module, xx);
        }
        break;
    case EffectSetGlobalVolume:
        module->globalVolume = std::min<int32_t>(xx, 64);
        channel->updateFlags |= UpdateVolume;
        break;
    case EffectGlobalVolumeSlide:
        if (xx != 0) {
            module->globalVolumeSlide = xx;
        }
        break;
    case EffectKeyOff:
        // Nothing left to do: processChannelRow released the key before the
        // envelopes stepped, so the release shows on this tick. The
        // parameter is not a delay.
        break;
    case EffectSetEnvelopePosition: // the panning envelope stays where it is
        if ((selection.instrument->volumeEnvelopeFlags & EnvelopeOn) != 0) {
            setEnvelopePosition(&channel->volumeEnvelope, volumeEnvelopeOf(selection.instrument),
                                xx);
        }
        break;
    case EffectPanningSlide:
        if (xx != 0) {
            channel->panningSlideMemory = xx;
            channel->updateFlags |= UpdatePanning;
        }
        break;
    case EffectMultiRetrigger:
        if (xx != 0) {
            channel->retrigVolumeCode = x;
            channel->retrigInterval = y;
        }
        break;
    case EffectTremor:
        if (xx != 0) {
            channel->tremorOnTicks = static_cast<uint8_t>(x + 1);
            channel->tremorOffTicks = static_cast<uint8_t>(y + 1);
        }
        stepTremor(channel);
        break;
    case EffectExtraFinePorta:
        if (x == 1) {
            if (y != 0) {
                channel->extraFinePortaUpMemory = y;
            }
            channel->period -= channel->extraFinePortaUpMemory;
        } else if (x == 2) {
            if (y != 0) {
                channel->extraFinePortaDownMemory = y;
            }
            channel->period =
                std::min(channel->period + channel->extraFinePortaDownMemory, HighestPeriod);
        }
        break;
    default: // I, J, M, N, O, Q, S, U, V, W, Y, Z: nothing
        break;
    }
}

void processChannelRow(RowState& row, Channel* channel, const PatternCell& cell) {
    Module* module = row.module;
    const bool porta = isTonePorta(cell);
    const bool hasNote = isPlayableNote(cell.note);

    // Under tone portamento the cell's note and instrument do not become the
    // channel's: the slide keeps the sample that is playing.
    if (cell.instrument != 0 && !porta) {
        channel->instrumentIndex = static_cast<uint8_t>(cell.instrument - 1);
    }
    if (hasNote && !porta) {
        channel->noteIndex = static_cast<uint8_t>(cell.note - 1);
    }
    const ChannelSelection selection = selectInstrumentAndSample(module, channel);
    const Instrument* instrument = selection.instrument;
    Sample* sample = selection.sample;

    const ChannelBeforeRow before{channel->volume, channel->period, channel->panning};

    // A tremolo that ends leaves its last offset in the volume.
    if (channel->lastEffect == EffectTremolo && cell.effect != EffectTremolo) {
        channel->volume += channel->volumeDelta;
    }
    channel->lastEffect = cell.effect;
    channel->volumeDelta = 0;
    channel->updateFlags = 0;

    if (hasNote) {
        channel->realNote = static_cast<uint8_t>(cell.note + sample->relativeNote - 1);
        channel->notePeriod = notePeriod(module, channel->realNote, sample->finetune);
        if (!porta) {
            channel->period = channel->notePeriod;
        }
        channel->updateFlags = UpdateTrigger;
    }
    channel->periodDelta = 0;
    channel->updateFlags |= UpdateFrequency | UpdateVolume;

    if (cell.instrument != 0) {
        applyInstrumentDefaults(channel, sample);
    }
    if (cell.volume != 0) {
        applyVolumeColumn(channel, cell.volume);
    }
    if (cell.note == KeyOffNote || cell.effect == EffectKeyOff) {
        channel->keyOff = true;
    }

    if ((instrument->volumeEnvelopeFlags & EnvelopeOn) != 0) {
        if (!channel->volumeEnvelope.finished) {
            stepEnvelope(channel, &channel->volumeEnvelope, volumeEnvelopeOf(instrument),
                         UpdateVolume);
        }
    } else if (channel->keyOff) {
        // A released note without a volume envelope is silenced at once.
        channel->volumeEnvelope.value = 0;
    }
    if ((instrument->panningEnvelopeFlags & EnvelopeOn) != 0 &&
        !channel->panningEnvelope.finished) {
        stepEnvelope(channel, &channel->panningEnvelope, panningEnvelopeOf(instrument),
                     UpdatePanning);
    }
    stepFadeout(channel, instrument);

    applyRowEffect(row, channel, cell, selection, before);

    applyAutoVibrato(channel, instrument);
    updateVoice(channel, sample, module);
}

} // namespace

ChannelSelection selectInstrumentAndSample(const Module* module, const Channel* channel) {
    if (channel->instrumentIndex >= module->instrumentCount || module->instruments == nullptr) {
        return {&emptyInstrument, &emptySample};
    }
    const Instrument* instrument = &module->instruments[channel->instrumentIndex];
    const uint8_t slot = channel->noteIndex < KeymapNotes ? instrument->keymap[channel->noteIndex]
                                                          : MaxSamplesPerInstrument;
    Sample* sample = slot < MaxSamplesPerInstrument ? instrument->samples[slot] : nullptr;
    return {instrument, sample != nullptr ? sample : &emptySample};
}

const PatternCell* currentRowCells(const Module* module) {
    if (module->channelCount <= 0 || module->patterns == nullptr || module->order < 0 ||
        module->order >= OrderTableSize) {
        return nullptr;
    }
    const int32_t patternIndex = module->orderTable[module->order];
    if (patternIndex >= module->patternSlotCount) {
        return nullptr;
    }
    const Pattern& pattern = module->patterns[patternIndex];
    if (pattern.cells == nullptr || module->row < 0 || module->row >= pattern.rowCount) {
        return nullptr;
    }
    return pattern.cells + static_cast<size_t>(module->row) * module->channelCount;
}

void processRow(Module* module) {
    module->nextOrder = -1;
    module->nextRow = -1;
    const PatternCell* cells = currentRowCells(module);
    if (cells == nullptr) {
        return;
    }
    RowState row{module, false};
    const int32_t channelCount = std::min<int32_t>(module->channelCount, MaxChannels);
    for (int32_t i = 0; i < channelCount; ++i) {
        processChannelRow(row, &channels[i], cells[i]);
    }
}

} // namespace korvanthe
