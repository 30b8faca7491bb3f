// The row tick: reads one pattern row and applies notes, instruments, the
// volume column and the row part of every effect, channel by channel, then
// hands each channel to its voice. Rendering thread only.
#pragma once

#include "module/module.h"
#include "replayer/channel.h"

namespace korvanthe {

// What a channel plays with on this tick: chosen from the channel's
// instrumentIndex and noteIndex, never from the cell.
struct ChannelSelection {
    const Instrument* instrument; // emptyInstrument for a number beyond the song
    Sample* sample;               // emptySample for a missing instrument or keymap slot
};

// The instrument and sample a channel plays: emptyInstrument and emptySample
// for an instrument number beyond the song, emptySample for a keymap entry
// naming a sample the instrument does not have (or a noteIndex outside the keymap).
ChannelSelection selectInstrumentAndSample(const Module* module, const Channel* channel);

// The channelCount cells of the current order and row, or null when there are
// none: no channels, a pattern without cells, or a position outside the song.
const PatternCell* currentRowCells(const Module* module);

// The row tick for every channel. Resets nextOrder and nextRow to -1 first;
// Bxx, Dxx and E6x may set them again for the tick driver.
void processRow(Module* module);

} // namespace korvanthe
