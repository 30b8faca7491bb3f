// Replays every committed seed and every input a fuzzer ever stopped on
// through the fuzzing targets: tests/fuzz/seeds/<target>/ and
// tests/fuzz/regressions/<target>/. A finding comes back as a crash, a
// sanitizer report or a failed check here.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "tests/fuzz/fuzz_targets.h"

namespace korvanthe::fuzzing {
namespace {

namespace fs = std::filesystem;

struct Target {
    const char* folder;
    void (*run)(const uint8_t*, size_t);
};

const Target targets[] = {
    {"xm", fuzzXmLoader},
    {"script", fuzzScript},
    {"picture", fuzzPictures},
};

std::vector<uint8_t> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(FuzzRegression, EverySeedAndFindingRunsClean) {
    const fs::path root = fs::path(KORVANTHE_SOURCE_DIR) / "tests" / "fuzz";
    if (!fs::is_directory(root / "seeds")) {
        GTEST_SKIP() << "no source tree at " << root;
    }
    int replayed = 0;
    for (const Target& target : targets) {
        for (const char* kind : {"seeds", "regressions"}) {
            const fs::path dir = root / kind / target.folder;
            if (!fs::is_directory(dir)) {
                continue;
            }
            for (const fs::directory_entry& file : fs::directory_iterator(dir)) {
                if (!file.is_regular_file() || file.path().filename() == "README") {
                    continue;
                }
                SCOPED_TRACE(file.path().string());
                const std::vector<uint8_t> bytes = readBytes(file.path());
                target.run(bytes.data(), bytes.size());
                ++replayed;
            }
        }
    }
    EXPECT_GT(replayed, 0);
}

} // namespace
} // namespace korvanthe::fuzzing
