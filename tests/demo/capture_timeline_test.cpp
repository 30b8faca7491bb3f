// korvanthe-capture end to end, on a song, a script and pictures of the
// test's own: the frames at chosen times show what the timeline must show
// then, and the sound of a row lands with the picture of that row.
//
// The song: speed 6 at 125 BPM, so a tick is 882 frames (20 ms) and a row
// 5292 frames (120 ms); one note at row 8 (0.96 s), silence before it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include "tools/capture/png_file.h"
#include "tools/xm_writer/xm_writer.h"

namespace korvanthe {
namespace {

namespace fs = std::filesystem;

constexpr int Fps = 50;
constexpr int64_t RowFrames = 6 * 882;
constexpr int64_t NoteSoundFrame = 8 * RowFrames; // row 8
constexpr int64_t BlockFrames = 884;

// Text steps three times at 0:4 (to the title picture), the flash starts at
// the note, and the title arrives at row 24.
constexpr const char* script = "0:4 text param 0 0 0\n"
                               "0:4 text param 0 0 0\n"
                               "0:4 text param 0 0 0\n"
                               "0:8 flash layer 1 0 0\n"
                               "0:8 flash resettimer 0 0 0\n"
                               "0:8 flash start 0 0 0\n"
                               "0:24 flash stop 0 0 0\n"
                               "0:24 text resettimer 0 0 0\n"
                               "0:24 text start 0 0 0\n";

void writeSong(const fs::path& path) {
    XmSong song;
    song.channelCount = 2;
    song.orders = {0};
    XmPattern& pattern = song.addPattern(64);
    pattern.at(8, 0) = {xmNote("C-4"), 1, 0, 0, 0};
    XmSample sine = XmSample::sine16(64, 64);
    sine.loop = XmLoop::Forward;
    sine.loopStart = 0;
    sine.loopLength = 64;
    song.instruments.push_back(XmInstrument::withSample(sine));
    ASSERT_TRUE(writeXmFile(song, path.string()));
}

// A raw picture of one colour.
void writeRaw(const fs::path& path, int width, int height, uint8_t red, uint8_t green,
              uint8_t blue) {
    std::ofstream file(path, std::ios::binary);
    for (int i = 0; i < width * height; ++i) {
        file.put(static_cast<char>(red)).put(static_cast<char>(green)).put(static_cast<char>(blue));
    }
}

struct Frame {
    std::vector<uint32_t> pixels;
    int width = 0;
    int height = 0;

    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    // The brightest channel anywhere.
    int brightest() const {
        int most = 0;
        for (uint32_t pixel : pixels) {
            most = std::max({most, static_cast<int>(pixel >> 16 & 255),
                             static_cast<int>(pixel >> 8 & 255), static_cast<int>(pixel & 255)});
        }
        return most;
    }
};

std::vector<uint8_t> fileBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

class CaptureTimeline : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder =
            fs::temp_directory_path() / ("korvanthe-capture-test-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        writeSong(folder / "soundtrack.xm");
        std::ofstream(folder / "random.scp") << script;
        // Every picture but the title in a colour of its own; no gridtile.tga.
        writeRaw(folder / "picture0.raw", 512, 256, 0, 255, 0);
        writeRaw(folder / "picture1.raw", 512, 256, 0, 0, 255);
        writeRaw(folder / "picture2.raw", 512, 512, 0, 255, 255);
        writeRaw(folder / "korvanthe.raw", 512, 256, 255, 0, 0);
        writeRaw(folder / "tallstrip.raw", 256, 512, 255, 255, 0);
        writeRaw(folder / "random.raw", 512, 256, 255, 0, 255);
        status = capture("frames", 3.6);
    }

    static void TearDownTestSuite() { fs::remove_all(folder); }

    static int capture(const std::string& output, double seconds) {
        const std::string command = "cd '" + folder.string() +
                                    "' && '" KORVANTHE_BINARY_DIR "/bin/korvanthe-capture' -o " +
                                    output + " --fps " + std::to_string(Fps) + " --seconds " +
                                    std::to_string(seconds) + " 2>capture-" + output + ".log";
        return std::system(command.c_str());
    }

    static Frame frame(const std::string& output, int index) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%06d.png", index);
        Frame result;
        EXPECT_TRUE(
            readPng((folder / output / name).string(), result.pixels, result.width, result.height))
            << name;
        return result;
    }

    static std::vector<int16_t> sound(const std::string& output) {
        const std::vector<uint8_t> bytes = fileBytes(folder / output / "soundtrack.wav");
        std::vector<int16_t> samples;
        for (size_t i = 44; i + 1 < bytes.size(); i += 2) {
            samples.push_back(static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8));
        }
        return samples;
    }

    static void expectEveryFrameAndTheSoundOfTheSameSpan();
    static void expectFramesShowWhatTheTimelineSaysAtTheirTime();
    static void expectTitleArrivesAtItsRow();
    static void expectRowSoundsWhenItsPictureShows();
    static void expectSameFilesGiveTheSameBytes();

    static inline fs::path folder;
    static inline int status = -1;
};

// One test body per capture: every ctest run of a test is a process of its
// own, and the capture is the expensive part.
TEST_F(CaptureTimeline, FramesAndSoundFollowTheTimeline) {
    ASSERT_EQ(status, 0);
    expectEveryFrameAndTheSoundOfTheSameSpan();
    expectFramesShowWhatTheTimelineSaysAtTheirTime();
    expectTitleArrivesAtItsRow();
    expectRowSoundsWhenItsPictureShows();
    expectSameFilesGiveTheSameBytes();
}

void CaptureTimeline::expectEveryFrameAndTheSoundOfTheSameSpan() {
    SCOPED_TRACE("every frame and the sound of the same span");
    EXPECT_TRUE(fs::exists(folder / "frames" / "frame_000179.png"));
    EXPECT_FALSE(fs::exists(folder / "frames" / "frame_000180.png"));
    EXPECT_EQ(sound("frames").size(), static_cast<size_t>(180 * 44100 / Fps * 2));
}

void CaptureTimeline::expectFramesShowWhatTheTimelineSaysAtTheirTime() {
    SCOPED_TRACE("frames at chosen times");
    struct Expectation {
        int frame;
        const char* what;
        int brightestAtLeast;
        int brightestAtMost;
    };
    const Expectation table[] = {
        {0, "start: no entry has started anything", 0, 0},
        {20, "0:4 only steps the text, which is not started", 0, 0},
        {47, "0.94 s: the block playing still ends in row 7", 0, 0},
        {48, "0.96 s: row 8 is heard, the flash starts at full white", 250, 255},
        {52, "80 ms into the flash: fading", 100, 220},
        {70, "0.44 s after the flash: faded out", 0, 0},
    };
    for (const Expectation& row : table) {
        const Frame shown = frame("frames", row.frame);
        ASSERT_EQ(shown.width, 640);
        const int brightest = shown.brightest();
        EXPECT_GE(brightest, row.brightestAtLeast) << "frame " << row.frame << ": " << row.what;
        EXPECT_LE(brightest, row.brightestAtMost) << "frame " << row.frame << ": " << row.what;
    }
}

void CaptureTimeline::expectTitleArrivesAtItsRow() {
    SCOPED_TRACE("the title at its row");
    // Row 24 is heard from 2.88 s; the zoom settles within about 0.45 s on
    // the title picture (red) at 0.9 brightness, the fourth picture after
    // three "param" steps.
    const Frame before = frame("frames", 140); // 2.8 s
    EXPECT_EQ(before.brightest(), 0);
    const Frame title = frame("frames", 175); // 3.5 s
    for (const auto& [x, y] : {std::pair{320, 240}, std::pair{10, 10}, std::pair{630, 470}}) {
        const uint32_t pixel = title.at(x, y);
        EXPECT_NEAR(static_cast<int>(pixel >> 16 & 255), 230, 3) << x << "," << y;
        EXPECT_EQ(pixel & 0xFFFF, 0u) << x << "," << y;
    }
}

void CaptureTimeline::expectRowSoundsWhenItsPictureShows() {
    SCOPED_TRACE("sound and picture of row 8");
    const std::vector<int16_t> samples = sound("frames");
    int64_t firstSound = -1;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (samples[i] != 0) {
            firstSound = static_cast<int64_t>(i / 2);
            break;
        }
    }
    // The note starts with the tick of row 8 (a volume ramp may keep its
    // first frames at 0).
    ASSERT_GE(firstSound, NoteSoundFrame);
    EXPECT_LT(firstSound, NoteSoundFrame + 200);
    // The flash's first frame (48, at 0.96 s) is at most one block ahead
    // of the sound, and never a frame behind it.
    const int64_t flashFrame = 48 * 44100 / Fps;
    EXPECT_LE(firstSound - flashFrame, BlockFrames);
    EXPECT_GT(firstSound - flashFrame + 44100 / Fps, 0);
}

void CaptureTimeline::expectSameFilesGiveTheSameBytes() {
    SCOPED_TRACE("the same bytes again");
    // A shorter run of the same files: the same frames and the same sound,
    // as far as it goes.
    ASSERT_EQ(capture("again", 1.2), 0);
    for (int index : {0, 30, 48, 59}) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%06d.png", index);
        EXPECT_EQ(fileBytes(folder / "frames" / name), fileBytes(folder / "again" / name)) << name;
    }
    const std::vector<int16_t> full = sound("frames");
    const std::vector<int16_t> part = sound("again");
    ASSERT_EQ(part.size(), static_cast<size_t>(60 * 44100 / Fps * 2));
    EXPECT_TRUE(std::equal(part.begin(), part.end(), full.begin()));
}

TEST(Capture, RefusesABadCommandLine) {
    const std::string binary = KORVANTHE_BINARY_DIR "/bin/korvanthe-capture";
    EXPECT_NE(std::system((binary + " --fps 0 -o x 2>/dev/null").c_str()), 0);
    EXPECT_NE(std::system((binary + " --seconds 1 2>/dev/null").c_str()), 0);
    EXPECT_NE(std::system((binary + " -o x --bogus 2>/dev/null").c_str()), 0);
}

} // namespace
} // namespace korvanthe
