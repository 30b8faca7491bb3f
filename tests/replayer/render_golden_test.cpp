// The golden render: a small song of ours, rendered to PCM, must give the
// checksum kept here, on every mixer path. Any change to what the player
// outputs shows up in this test; change the checksum only in a commit that
// says why the sound changed.
//
// Beside the checksum, golden/golden_song_blocks.txt keeps one checksum per
// 20 ms block with the tick that ran last in it, so that a failure names the
// first block that differs and the trace command that shows its ticks. A
// failing run writes the song and the new record into the build folder.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "audio/offline_render.h"
#include "audio/output_settings.h"
#include "tests/replayer/replay_harness.h"
#include "tests/support/fnv1a.h"
#include "tests/support/mixer_paths.h"

namespace korvanthe::testing {
namespace {

constexpr uint64_t GoldenChecksum = 0xD000B428351F27F9ULL;
constexpr int32_t GoldenRate = 44100;
constexpr int64_t GoldenFrames = int64_t{GoldenRate} * 4;
const char* const RecordName = "golden_song_blocks.txt";

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

// One block of the render: the ticks begun by its end, the position of the
// last of them as the trace command prints it, and the block's checksum.
struct BlockRecord {
    int32_t ticks;
    int32_t order, row, tick;
    uint64_t checksum;
};

struct Render {
    uint64_t checksum; // FNV-1a over all the PCM as little-endian 16-bit samples
    std::vector<BlockRecord> blocks;
};

// Counts the ticks around the replayer's handler, as the trace command does.
struct TickCount {
    TickHandler replayerTick;
    BlockRecord last;
};
TickCount tickCount{};

void countTick(Module* module) {
    const int32_t tick = module->tick; // the tick about to run; the driver moves it on
    tickCount.replayerTick(module);
    tickCount.last = {tickCount.last.ticks + 1, module->order, module->row, tick, 0};
}

Render renderGolden(Module* module) {
    Render render{};
    Fnv1a whole;
    EXPECT_TRUE(startOfflineRender(module, GoldenRate, false));
    tickCount = {module->tickHandler, {}};
    module->tickHandler = countTick;
    OfflineBlock block{};
    int64_t done = 0;
    while (done < GoldenFrames && renderOfflineBlock(&block)) {
        const int64_t count = std::min<int64_t>(block.frames, GoldenFrames - done);
        Fnv1a blockSum;
        blockSum.addPcm16(block.pcm, static_cast<size_t>(count) * 2);
        whole.addPcm16(block.pcm, static_cast<size_t>(count) * 2);
        BlockRecord record = tickCount.last;
        record.checksum = blockSum.value();
        render.blocks.push_back(record);
        done += count;
    }
    module->tickHandler = tickCount.replayerTick;
    stopOfflineRender();
    EXPECT_EQ(done, GoldenFrames);
    render.checksum = whole.value();
    return render;
}

std::string recordText(const std::vector<BlockRecord>& blocks) {
    std::ostringstream text;
    text << "# The golden song at 44100 Hz, one line per " << outputSettings.blockFrames
         << "-frame block: the ticks begun\n"
            "# by the block's end, the order, row and tick of the last of them (as\n"
            "# korvanthe-xm trace prints it) and FNV-1a of the block's PCM.\n"
            "# block ticks order row tick checksum\n";
    for (size_t i = 0; i < blocks.size(); ++i) {
        const BlockRecord& b = blocks[i];
        char checksum[17];
        std::snprintf(checksum, sizeof checksum, "%016llx",
                      static_cast<unsigned long long>(b.checksum));
        text << i << ' ' << b.ticks << ' ' << b.order << ' ' << b.row << ' ' << b.tick << ' '
             << checksum << '\n';
    }
    return text.str();
}

std::vector<BlockRecord> readRecord(const std::string& path) {
    std::vector<BlockRecord> blocks;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        size_t index = 0;
        BlockRecord b{};
        std::string checksum;
        fields >> index >> b.ticks >> b.order >> b.row >> b.tick >> checksum;
        b.checksum = std::stoull(checksum, nullptr, 16);
        blocks.push_back(b);
    }
    return blocks;
}

// Where the render first departs from the record, and how to look at it.
std::string firstDifference(const std::vector<BlockRecord>& kept,
                            const std::vector<BlockRecord>& now, const std::string& songPath) {
    size_t i = 0;
    while (i < kept.size() && i < now.size() && kept[i].checksum == now[i].checksum) {
        ++i;
    }
    if (i == kept.size() && i == now.size()) {
        return "";
    }
    if (i == now.size() || i == kept.size()) {
        return "the render has " + std::to_string(now.size()) + " blocks, the record " +
               std::to_string(kept.size());
    }
    const int32_t firstTick = i == 0 ? 1 : kept[i - 1].ticks + 1;
    const int32_t lastTick = kept[i].ticks;
    std::ostringstream hint;
    // The blocks are the renderer's, of the size the output settings give.
    const int64_t blockFrames = outputSettings.blockFrames;
    hint << "first difference in block " << i << " (frames " << i * blockFrames << " to "
         << (i + 1) * blockFrames - 1 << "), ";
    if (firstTick > lastTick) {
        hint << "within tick " << lastTick << ", which began earlier";
    } else if (firstTick == lastTick) {
        hint << "in which tick " << lastTick << " began";
    } else {
        hint << "in which ticks " << firstTick << " to " << lastTick << " began";
    }
    hint << "; the last tick ran at order " << kept[i].order << ", row " << kept[i].row << ", tick "
         << kept[i].tick << " (now order " << now[i].order << ", row " << now[i].row << ", tick "
         << now[i].tick << "). Its channels, tick by tick:\n  " << KORVANTHE_BINARY_DIR
         << "/bin/korvanthe-xm trace " << songPath << " --ticks " << lastTick
         << "\n(compare its last lines with the same command built from the last "
         << "good commit)";
    return hint.str();
}

class RenderGolden : public OnEveryMixerPath {};

TEST_P(RenderGolden, SmallSongGivesTheKeptChecksumBlockByBlock) {
    const std::vector<uint8_t> bytes = writeXm(goldenSong());
    ModulePtr module = loadModuleFromBytes(bytes);
    ASSERT_NE(module, nullptr);
    const Render render = renderGolden(module.get());
    const std::vector<BlockRecord> kept =
        readRecord(std::string(KORVANTHE_SOURCE_DIR) + "/tests/replayer/golden/" + RecordName);

    const std::string songPath = std::string(KORVANTHE_BINARY_DIR) + "/golden_song.xm";
    const std::string difference = firstDifference(kept, render.blocks, songPath);
    if (render.checksum != GoldenChecksum || !difference.empty()) {
        std::ofstream(songPath, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        std::ofstream(std::string(KORVANTHE_BINARY_DIR) + "/" + RecordName)
            << recordText(render.blocks);
    }
    const std::string written =
        std::string("\nThe song and the new block record are in ") + KORVANTHE_BINARY_DIR + ".";
    if (render.checksum != GoldenChecksum) {
        ADD_FAILURE() << std::hex << "rendered 0x" << render.checksum << std::dec << "; "
                      << difference << written;
    } else {
        EXPECT_EQ(difference, "") << "the render gives the kept checksum, but not the block "
                                  << "record tests/replayer/golden/" << RecordName << written;
    }

    ModulePtr again = loadModuleFromBytes(bytes);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(renderGolden(again.get()).checksum, render.checksum) << "a second render";
}

KORVANTHE_ON_EVERY_MIXER_PATH(RenderGolden);

} // namespace
} // namespace korvanthe::testing
