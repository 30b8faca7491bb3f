// `korvanthe-xm play` through SDL's disk audio driver: what reached the
// "loudspeaker" (a file) must be byte for byte what `korvanthe-xm render`
// makes of the same song. Runs the built tool; skips when it is not there.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/xm_writer/xm_writer.h"

namespace korvanthe {
namespace {

namespace fs = std::filesystem;

constexpr size_t WavHeaderBytes = 44;

fs::path toolPath() {
    return fs::path(KORVANTHE_BINARY_DIR) / "bin" / "korvanthe-xm";
}

std::vector<char> readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Runs a shell command; gives its exit code, or -1 when it did not exit.
int run(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// About 3.8 seconds: two orders of 16 rows, a note on each first row.
XmSong shortSong() {
    XmSong song;
    song.channelCount = 2;
    song.orders = {0, 1};
    XmSample sine = XmSample::sine16(80, 320);
    sine.loop = XmLoop::Forward;
    sine.loopLength = 320;
    song.instruments.push_back(XmInstrument::withSample(sine));
    for (const char* note : {"C-4", "A-4"}) {
        XmPattern& pattern = song.addPattern(16);
        pattern.at(0, 0) = {xmNote(note), 1, 0, 0, 0};
        pattern.at(4, 1) = {xmNote("E-5"), 1, 0x28, 0, 0};
        pattern.at(12, 0) = {XmKeyOff, 0, 0, 0, 0};
    }
    return song;
}

size_t firstNonZero(const std::vector<char>& bytes, size_t from) {
    while (from < bytes.size() && bytes[from] == 0) {
        ++from;
    }
    return from;
}

class PlayDiskTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fs::exists(toolPath())) {
            GTEST_SKIP() << "korvanthe-xm is not built";
        }
        dir_ = fs::path(::testing::TempDir()) / "play_disk_test";
        fs::create_directories(dir_);
        song_ = dir_ / "short.xm";
        ASSERT_TRUE(writeXmFile(shortSong(), song_.string()));
    }

    fs::path dir_;
    fs::path song_;
};

TEST_F(PlayDiskTest, DiskOutputIsTheRenderedSong) {
    const fs::path disk = dir_ / "disk.raw";
    const fs::path wav = dir_ / "render.wav";
    fs::remove(disk);
    // The song ends by itself; a play that does not is killed after a
    // minute (the song lasts 3.8 s) and fails, saying how long it ran.
    const std::string play = "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE='" + disk.string() +
                             "' timeout -s KILL 60 '" + toolPath().string() + "' play '" +
                             song_.string() + "' < /dev/null > /dev/null";
    const auto started = std::chrono::steady_clock::now();
    const int played = run(play);
    const std::chrono::duration<double> ran = std::chrono::steady_clock::now() - started;
    ASSERT_EQ(played, 0) << (played == 128 + SIGKILL ? "killed, still playing" : "ended")
                         << " after " << ran.count() << " s";
    // From a named string: GCC 12 at -O3 warns (-Wrestrict) inside the
    // inlined insert of "literal" + temporary std::string.
    const std::string tool = toolPath().string();
    ASSERT_EQ(
        run("'" + tool + "' render '" + song_.string() + "' -o '" + wav.string() + "' > /dev/null"),
        0);

    const std::vector<char> heard = readFile(disk);
    const std::vector<char> wavBytes = readFile(wav);
    ASSERT_GT(wavBytes.size(), WavHeaderBytes + 44100 * 4 * 3);
    const std::vector<char> rendered(wavBytes.begin() + WavHeaderBytes, wavBytes.end());

    // The device sounds silence from its open until the play starts: align
    // the first sound of both.
    const size_t renderedStart = firstNonZero(rendered, 0);
    const size_t heardStart = firstNonZero(heard, 0);
    ASSERT_LT(renderedStart, rendered.size());
    ASSERT_GE(heardStart, renderedStart);
    const size_t offset = heardStart - renderedStart;
    ASSERT_EQ(offset % 4, 0u);
    // The tool stops once the device has taken the song's last frames; SDL
    // may drop the last buffer it took (1024 frames) at the stop.
    const size_t span = std::min(heard.size() - offset, rendered.size());
    ASSERT_GE(span + 2 * 4096, rendered.size()) << "the song was not played to its end";
    size_t same = 0;
    while (same < span && heard[offset + same] == rendered[same]) {
        ++same;
    }
    EXPECT_EQ(same, span) << "first differing frame " << same / 4;
}

TEST_F(PlayDiskTest, NoAudioDeviceIsReported) {
    const std::string play = "SDL_AUDIODRIVER=no-such-driver '" + toolPath().string() + "' play '" +
                             song_.string() + "' < /dev/null > /dev/null 2> '" +
                             (dir_ / "stderr.txt").string() + "'";
    EXPECT_EQ(run(play), 1);
    const std::vector<char> message = readFile(dir_ / "stderr.txt");
    EXPECT_NE(std::string(message.begin(), message.end()).find("no audio device"),
              std::string::npos);
}

} // namespace
} // namespace korvanthe
