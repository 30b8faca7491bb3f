// Songs for the loader's tests, through the player's own interface and
// through the C interface, built with the XM writer: a small one that loads,
// and the changes to it that make the loader refuse a song it cannot hold.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/xm_writer/xm_writer.h"

namespace korvanthe::testing {

// One empty pattern of 4 rows, played once.
inline XmSong smallSong(int channels = 2) {
    XmSong song;
    song.channelCount = channels;
    song.orders = {0};
    song.addPattern(4);
    return song;
}

// 33 patterns of 65535 rows of 32 channels (stored empty): more cells than
// the loader unpacks.
inline void makePatternsTooLarge(XmSong& song) {
    song.channelCount = 32;
    XmPattern huge;
    huge.rowCount = 65535;
    huge.storedData = std::vector<uint8_t>{};
    song.patterns.assign(33, huge);
}

// An instrument that says it has 33 samples.
inline void makeTooManySamples(XmSong& song) {
    song.instruments.push_back(XmInstrument::withSample(XmSample::sine8(8, 16)));
    song.instruments[0].storedSampleCount = 33;
}

// An instrument of 17 samples whose headers say they are 257 bytes each.
inline void makeLargeSampleHeaders(XmSong& song) {
    song.instruments.push_back(XmInstrument::withSample(XmSample::sine8(8, 16)));
    song.instruments[0].storedSampleCount = 17;
    song.instruments[0].storedSampleHeaderSize = 257;
}

} // namespace korvanthe::testing
