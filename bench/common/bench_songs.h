// The songs the whole-song benchmarks measure when none are given on the
// command line: our own soundtrack (written beside the executables by the
// content generator), the corpus's songs/roadblas.xm and the four largest
// files of the corpus's openmpt/ folder. Files that are missing are left out.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace korvanthe::bench {

inline std::vector<std::string> benchSongs(int argc, char** argv) {
    std::vector<std::string> songs(argv + 1, argv + argc);
    if (!songs.empty()) {
        return songs;
    }
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path binDir = fs::absolute(fs::path(argv[0]), error).parent_path();
    const fs::path corpus = fs::path(KORVANTHE_SHARED_DIR) / "xm-corpus";
    for (const fs::path& candidate : {binDir / "soundtrack.xm", corpus / "songs" / "roadblas.xm"}) {
        if (fs::is_regular_file(candidate, error)) {
            songs.push_back(candidate.string());
        }
    }
    std::vector<std::pair<uintmax_t, std::string>> largest;
    for (const auto& entry : fs::directory_iterator(corpus / "openmpt", error)) {
        if (entry.is_regular_file(error) && entry.path().extension() == ".xm") {
            largest.emplace_back(entry.file_size(error), entry.path().string());
        }
    }
    std::sort(largest.rbegin(), largest.rend());
    for (size_t i = 0; i < largest.size() && i < 4; ++i) {
        songs.push_back(largest[i].second);
    }
    return songs;
}

} // namespace korvanthe::bench
