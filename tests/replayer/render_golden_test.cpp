// The golden render: a small song of ours, rendered to PCM, must give the
// checksum kept here. Any change to what the player outputs shows up in
// this test; change the checksum only in a commit that says why the sound
// changed.
#include <cstdint>

#include "audio/offline_render.h"
#include "tests/replayer/replay_harness.h"

namespace korvanthe::testing {
namespace {

constexpr uint64_t GoldenChecksum = 0xD000B428351F27F9ULL;
constexpr int64_t GoldenFrames = 44100 * 4;

// Two channels over two orders: notes with envelopes and fadeout, a
// ping-pong 8-bit sample, slides, vibrato, arpeggio, tremolo, retrigger,
// panning, a note delay and a tempo change.
XmSong goldenSong() {
    XmSong song;
    song.channelCount = 2;
    song.orders = {0, 1, 0};
    song.restartPosition = 1;
    song.defaultSpeed = 4;
    song.defaultBpm = 140;

    XmInstrument lead = XmInstrument::withSample(loopedSample());
    lead.volumeEnvelope.points = {{0, 0}, {3, 64}, {10, 40}, {30, 20}};
    lead.volumeEnvelope.sustainPoint = 2;
    lead.volumeEnvelope.flags = 1 | 2;
    lead.panningEnvelope.points = {{0, 16}, {20, 48}};
    lead.panningEnvelope.loopStart = 0;
    lead.panningEnvelope.loopEnd = 1;
    lead.panningEnvelope.flags = 1 | 4;
    lead.fadeout = 0x200;
    lead.vibratoType = 0;
    lead.vibratoDepth = 6;
    lead.vibratoRate = 20;
    lead.vibratoSweep = 8;
    song.instruments.push_back(lead);

    XmSample bass = XmSample::sine8(32, 640);
    bass.loop = XmLoop::PingPong;
    bass.loopStart = 100;
    bass.loopLength = 300;
    bass.relativeNote = -12;
    bass.finetune = -20;
    song.instruments.push_back(XmInstrument::withSample(bass));

    XmPattern& first = song.addPattern(16);
    first.at(0, 0) = {xmNote("C-4"), 1, 0, 4, 0x46};
    first.at(0, 1) = {xmNote("C-3"), 2, 0x40, 0, 0x37};
    first.at(2, 1) = {0, 0, 0, 10, 0x04};
    first.at(4, 0) = {xmNote("E-4"), 0, 0, 3, 0x10};
    first.at(4, 1) = {xmNote("G-2"), 2, 0xC4, 14, 0xD2};
    first.at(6, 0) = {0, 0, 0, 7, 0x88};
    first.at(8, 0) = {XmKeyOff, 0, 0, 0, 0};
    first.at(8, 1) = {xmNote("A#2"), 2, 0, 27, 0x22};
    first.at(12, 0) = {xmNote("G-4"), 1, 0x30, 1, 0x02};
    first.at(12, 1) = {0, 0, 0xD4, 15, 0x90};
    XmPattern& second = song.addPattern(8);
    second.at(0, 0) = {xmNote("D-4"), 1, 0, 25, 0x40};
    second.at(0, 1) = {xmNote("D-3"), 2, 0, 9, 0x01};
    second.at(3, 0) = {0, 0, 0x6F, 0, 0};
    second.at(4, 1) = {xmNote("F-3"), 2, 0, 14, 0x93};
    second.at(7, 1) = {0, 0, 0, 13, 0x04};
    return song;
}

// FNV-1a over the PCM as little-endian 16-bit samples.
uint64_t renderChecksum(Module* module, int64_t frames) {
    uint64_t hash = 0xCBF29CE484222325ULL;
    EXPECT_TRUE(startOfflineRender(module, 44100, false));
    OfflineBlock block{};
    int64_t done = 0;
    while (done < frames && renderOfflineBlock(&block)) {
        const int64_t count = std::min<int64_t>(block.frames, frames - done);
        for (int64_t i = 0; i < count * 2; ++i) {
            const auto sample = static_cast<uint16_t>(block.pcm[i]);
            for (uint8_t byte : {static_cast<uint8_t>(sample), static_cast<uint8_t>(sample >> 8)}) {
                hash = (hash ^ byte) * 0x100000001B3ULL;
            }
        }
        done += count;
    }
    stopOfflineRender();
    EXPECT_EQ(done, frames);
    return hash;
}

TEST(RenderGolden, SmallSongGivesTheKeptChecksum) {
    const std::vector<uint8_t> bytes = writeXm(goldenSong());
    ModulePtr module = loadModuleFromBytes(bytes);
    ASSERT_NE(module, nullptr);
    const uint64_t checksum = renderChecksum(module.get(), GoldenFrames);
    EXPECT_EQ(checksum, GoldenChecksum) << std::hex << "rendered 0x" << checksum;

    ModulePtr again = loadModuleFromBytes(bytes);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(renderChecksum(again.get(), GoldenFrames), checksum) << "a second render";
}

} // namespace
} // namespace korvanthe::testing
