// What the C interface's tests share: songs on disk and in memory, renders
// through the interface, and korvanthe-xm run as a process for the answers
// they must equal.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "include/korvanthe/xm.h"
#include "tests/xm/xm_tool.h"

namespace korvanthe::xmapitest {

namespace fs = std::filesystem;

inline fs::path soundtrackPath() {
    return fs::path(KORVANTHE_BINARY_DIR) / "bin" / "soundtrack.xm";
}

inline fs::path corpusDir(const char* part) {
    return fs::path(KORVANTHE_SHARED_DIR) / "xm-corpus" / part;
}

// The .xm files of a corpus folder, sorted; empty when it is absent.
inline std::vector<fs::path> corpusFiles(const char* part) {
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(corpusDir(part), error)) {
        if (entry.path().extension() == ".xm") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

inline void writeBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline fs::path scratchDir(const std::string& name) {
    const fs::path dir = fs::temp_directory_path() /
                         ("korvanthe-xm-api-" + name + "-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir;
}

// Files and korvanthe-xm run as the tool's own tests do (tests/xm/xm_tool.h).
using xmtool::readBytes;
using xmtool::runTool;
using xmtool::ToolRun;

// The PCM samples of a WAV file that korvanthe-xm wrote.
inline std::vector<int16_t> wavFrames(const fs::path& path) {
    const std::vector<uint8_t> bytes = xmtool::readWav(path).pcm;
    std::vector<int16_t> frames(bytes.size() / 2);
    for (size_t i = 0; i < frames.size(); ++i) {
        frames[i] = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    }
    return frames;
}

// The whole render of a loaded song through the interface, in calls of
// `chunk` frames, and the stamps of its blocks.
struct ApiRender {
    std::vector<int16_t> pcm;
    std::vector<korvanthe_xm_stamp> stamps;
};

inline ApiRender renderAll(korvanthe_xm_song* song, int32_t rate, int64_t chunk,
                           const korvanthe_xm_place* from = nullptr) {
    ApiRender render;
    EXPECT_EQ(korvanthe_xm_render_start(song, rate, from, 0), KORVANTHE_XM_OK);
    std::vector<int16_t> buffer(static_cast<size_t>(chunk) * 2);
    std::vector<korvanthe_xm_stamp> stamps(static_cast<size_t>(chunk / korvanthe_xm_block_frames(rate) + 1));
    for (;;) {
        size_t count = 0;
        const int64_t frames =
            korvanthe_xm_render(song, buffer.data(), chunk, stamps.data(), stamps.size(), &count);
        EXPECT_GE(frames, 0);
        EXPECT_LE(count, stamps.size());
        render.pcm.insert(render.pcm.end(), buffer.begin(), buffer.begin() + frames * 2);
        render.stamps.insert(render.stamps.end(), stamps.begin(), stamps.begin() + count);
        if (frames < chunk) {
            break;
        }
    }
    korvanthe_xm_render_stop(song);
    return render;
}

} // namespace korvanthe::xmapitest
