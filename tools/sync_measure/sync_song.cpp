// korvanthe-sync-song FILE: writes the song that scripts/measure-sync.sh
// plays. Every row starts with a short loud click after silence, so that a
// recording shows when each row was heard. Speed 12 at 249 BPM gives ticks
// of 442 frames at 44100 Hz and rows of 5304 frames, exactly six blocks of
// 884: every row begins where a block begins, and the block stamps, which
// name the row current at a block's end, then name each row from its first
// frame on. What is left between shown and heard is the output latency, not
// the one-block granularity of the stamps.
#include <cstdint>
#include <cstdio>

#include "tools/xm_writer/xm_writer.h"

namespace {

using namespace korvanthe;

constexpr int RowsPerPattern = 40;
constexpr int Orders = 2;

// A full-scale square wave of 48 frames (about 6 ms at the C-4 rate of
// 8363 Hz), then nothing: the click must be over long before the next row.
XmSample click() {
    XmSample sample;
    sample.name = "click";
    sample.bits = 16;
    for (int i = 0; i < 48; ++i) {
        sample.frames.push_back(static_cast<int16_t>((i / 4) % 2 == 0 ? 30000 : -30000));
    }
    return sample;
}

XmSong syncSong() {
    XmSong song;
    song.name = "Korvanthe sync clicks";
    song.channelCount = 1;
    song.defaultSpeed = 12;
    song.defaultBpm = 249;
    song.instruments = {XmInstrument::withSample(click())};
    XmPattern& pattern = song.addPattern(RowsPerPattern);
    for (int row = 0; row < RowsPerPattern; ++row) {
        pattern.at(row, 0) = {xmNote("C-4"), 1, 0, 0, 0};
    }
    song.orders.assign(Orders, 0);
    return song;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: korvanthe-sync-song FILE\n");
        return 2;
    }
    if (!writeXmFile(syncSong(), argv[1])) {
        std::fprintf(stderr, "korvanthe-sync-song: %s: cannot write the file\n", argv[1]);
        return 1;
    }
    return 0;
}
