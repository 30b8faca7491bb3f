// Running the built korvanthe-xm in tests: one command line through the
// shell, its exit code, standard output and standard error; and small songs
// whose lengths are easy to work out by hand.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/wav/wav_writer.h"
#include "tools/xm_writer/xm_writer.h"

namespace korvanthe::xmtool {

namespace fs = std::filesystem;

inline fs::path toolPath() {
    return fs::path(KORVANTHE_BINARY_DIR) / "bin" / "korvanthe-xm";
}

inline std::vector<uint8_t> readBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline std::string readText(const fs::path& path) {
    const std::vector<uint8_t> bytes = readBytes(path);
    return {bytes.begin(), bytes.end()};
}

inline std::string quoted(const fs::path& path) {
    // Appended in place: GCC 12 at -O3 warns (-Wrestrict) inside the inlined
    // insert of "literal" + temporary std::string.
    std::string text = "'";
    text += path.string();
    text += "'";
    return text;
}

struct ToolRun {
    int exitCode; // -1: it did not exit by itself
    std::string out;
    std::string err;
};

// Runs "korvanthe-xm ARGUMENTS" with standard output and error going to
// files in dir, standard input from /dev/null; prefix goes before it (a
// variable for the environment, say). A run is killed after two minutes, far
// longer than any takes even under the sanitizers on a loaded machine, so
// that a tool that hangs fails (saying how long it ran) rather than stalls.
inline ToolRun runTool(const fs::path& dir, const std::string& arguments,
                       const std::string& prefix = "") {
    const fs::path out = dir / "tool_stdout";
    const fs::path err = dir / "tool_stderr";
    const std::string tool = quoted(toolPath());
    const std::string command = prefix + " timeout -s KILL 120 " + tool + " " + arguments +
                                " < /dev/null > " + quoted(out) + " 2> " + quoted(err);
    const auto started = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const std::chrono::duration<double> ran = std::chrono::steady_clock::now() - started;
    const int exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (exitCode == 128 + SIGKILL) {
        ADD_FAILURE() << "korvanthe-xm " << arguments << ": killed, still running after "
                      << ran.count() << " s";
    }
    return ToolRun{exitCode, readText(out), readText(err)};
}

// Standard output read through a pipe, as a program downstream reads it:
// the tool cannot seek in it.
inline ToolRun runToolIntoPipe(const fs::path& dir, const std::string& arguments) {
    const fs::path err = dir / "tool_stderr";
    const std::string command =
        quoted(toolPath()) + " " + arguments + " < /dev/null 2> " + quoted(err);
    ToolRun run{-1, {}, {}};
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[65536];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        run.out.append(buffer, count);
    }
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = readText(err);
    return run;
}

// A WAV file as the tool writes it: the header's numbers and the frames.
struct WavFile {
    bool canonical = false; // RIFF/WAVE, 16-bit stereo PCM, sizes that match the bytes
    uint32_t sampleRate = 0;
    std::vector<uint8_t> pcm;

    size_t frames() const { return pcm.size() / WavBytesPerFrame; }
};

inline uint32_t field32(const uint8_t* at) {
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24;
}

inline WavFile parseWav(const std::string& bytes) {
    WavFile wav;
    if (bytes.size() < WavHeaderBytes) {
        return wav;
    }
    const auto* at = reinterpret_cast<const uint8_t*>(bytes.data());
    const uint32_t dataBytes = field32(at + 40);
    wav.sampleRate = field32(at + 24);
    wav.canonical = bytes.compare(0, 4, "RIFF") == 0 && bytes.compare(8, 8, "WAVEfmt ") == 0 &&
                    bytes.compare(36, 4, "data") == 0 && field32(at + 16) == 16 &&
                    field32(at + 20) == (1u | 2u << 16) && field32(at + 32) == (4u | 16u << 16) &&
                    field32(at + 28) == wav.sampleRate * 4 && field32(at + 4) == 36 + dataBytes &&
                    bytes.size() == WavHeaderBytes + dataBytes;
    wav.pcm.assign(at + WavHeaderBytes, at + bytes.size());
    return wav;
}

inline WavFile readWav(const fs::path& path) {
    return parseWav(readText(path));
}

// Speed 6 at BPM 125: 882 frames a tick at 44100 Hz (441 at 22050), 5292 a
// row. Two orders of 16 rows: 32 x 5292 = 169344 frames, 3.84 seconds.
constexpr size_t RowFrames = 6 * 882;
constexpr size_t SongFrames = 32 * RowFrames;

// Three channels, each with its own note on every order's first row, and a
// fourth that never plays; restart position as given.
inline XmSong threeVoiceSong(uint16_t restartPosition = 0) {
    XmSong song;
    song.channelCount = 4;
    song.restartPosition = restartPosition;
    song.orders = {0, 1};
    XmSample sine = XmSample::sine16(80, 320);
    sine.loop = XmLoop::Forward;
    sine.loopLength = 320;
    song.instruments.push_back(XmInstrument::withSample(sine));
    for (const char* root : {"C-4", "A-3"}) {
        XmPattern& pattern = song.addPattern(16);
        pattern.at(0, 0) = {xmNote(root), 1, 0, 0, 0};
        pattern.at(0, 1) = {xmNote("E-5"), 1, 0x30, 0, 0};
        pattern.at(4, 2) = {xmNote("G-4"), 1, 0x28, 0, 0};
        pattern.at(12, 0) = {XmKeyOff, 0, 0, 0, 0};
    }
    return song;
}

// A fresh folder for one test, of this process alone: another build's tests
// may run the same test at the same time.
inline fs::path testFolder(const std::string& name) {
    const fs::path dir =
        fs::path(::testing::TempDir()) / ("xm_tool_tests-" + std::to_string(::getpid())) / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// A test that runs the tool in a folder of its own, with the three-voice
// song written there; the folder goes when the test ends.
class ToolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(toolPath())) << "korvanthe-xm is not built";
        dir_ = testFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        song_ = dir_ / "three.xm";
        ASSERT_TRUE(writeXmFile(threeVoiceSong(), song_.string()));
    }

    void TearDown() override { fs::remove_all(dir_.parent_path()); }

    fs::path dir_;
    fs::path song_;
};

} // namespace korvanthe::xmtool
