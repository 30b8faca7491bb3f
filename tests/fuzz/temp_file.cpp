#include "tests/fuzz/temp_file.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "tests/fuzz/fuzz_targets.h"

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace korvanthe::fuzzing {

std::string writeScratchFile(const char* tag, const uint8_t* data, size_t size) {
    static const std::string directory = std::filesystem::temp_directory_path().string();
    std::string path = directory + "/korvanthe-fuzz-" + std::to_string(getpid()) + "-" + tag;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    require(file != nullptr, "cannot create the scratch file");
    bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    require(std::fclose(file) == 0 && written, "cannot write the scratch file");
    return path;
}

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

} // namespace korvanthe::fuzzing
