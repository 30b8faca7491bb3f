// What the two speed comparisons (korvanthe-bench-peers and
// korvanthe-bench-process) share: the song's bytes, this process's CPU time,
// the median of each player's rounds, and the options both take.
#pragma once

#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace korvanthe::bench {

// The file's bytes; empty when it cannot be read.
inline std::vector<char> readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(file), {});
}

// The CPU time this process has used so far, in seconds.
inline double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// --rounds N (at least 1) and --seconds S, as both programs take them.
struct TurnOptions {
    int rounds = 5;
    const char* seconds = nullptr; // the text after --seconds; null when not given
};

// True when argv[i] is --rounds or --seconds with a value after it, which
// goes into options; i then points at the value.
inline bool takeTurnOption(int argc, char** argv, int& i, TurnOptions& options) {
    if (i + 1 >= argc) {
        return false;
    }
    if (std::strcmp(argv[i], "--rounds") == 0) {
        options.rounds = std::max(1, std::atoi(argv[++i]));
        return true;
    }
    if (std::strcmp(argv[i], "--seconds") == 0) {
        options.seconds = argv[++i];
        return true;
    }
    return false;
}

} // namespace korvanthe::bench
