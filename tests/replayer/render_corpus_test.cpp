// Every XM file of the shared corpus renders its first 60 seconds without a
// sanitizer report and gives the same PCM twice; the complete song ends by
// itself. Skips when the corpus is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/offline_render.h"
#include "module/file_callbacks.h"
#include "module/xm_loader.h"
#include "tests/support/fnv1a.h"
#include "tests/support/memory_file.h"
#include "tests/support/test_paths.h"

namespace korvanthe::testing {
namespace {

constexpr int32_t Rate = 44100;
constexpr int64_t CorpusFrames = int64_t{Rate} * 60;
constexpr int64_t LongestSongFrames = int64_t{Rate} * 30 * 60;

std::vector<std::string> corpusFiles() {
    std::vector<std::string> files;
    const std::filesystem::path dir = corpusDir();
    if (dir.empty()) {
        return files;
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file() && entry.path().extension() == ".xm") {
            files.push_back(std::filesystem::relative(entry.path(), dir).string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

ModulePtr loadCorpusFile(const std::string& name) {
    useStandardFileCallbacks();
    return ModulePtr(createModule((corpusDir() / name).string().c_str()));
}

// FNV-1a over the rendered samples; the frame count through `frames`.
uint64_t render(Module* module, int64_t frameLimit, bool untilSongEnd, int64_t* frames) {
    Fnv1a hash;
    *frames = 0;
    if (!startOfflineRender(module, Rate, untilSongEnd)) {
        ADD_FAILURE() << "render not started";
        return 0;
    }
    OfflineBlock block{};
    while (*frames < frameLimit && renderOfflineBlock(&block)) {
        hash.addPcm16(block.pcm, static_cast<size_t>(block.frames) * 2);
        *frames += block.frames;
    }
    stopOfflineRender();
    return hash.value();
}

class RenderCorpus : public ::testing::TestWithParam<std::string> {};

TEST_P(RenderCorpus, FirstMinuteRendersTheSameTwice) {
    ModulePtr first = loadCorpusFile(GetParam());
    if (first == nullptr) {
        GTEST_SKIP() << "refused by the loader";
    }
    int64_t frames = 0;
    const uint64_t hash = render(first.get(), CorpusFrames, false, &frames);
    EXPECT_GE(frames, CorpusFrames);
    // A second load: the finetune effect writes into the loaded samples.
    ModulePtr second = loadCorpusFile(GetParam());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(render(second.get(), CorpusFrames, false, &frames), hash);
}

std::string testName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            c = '_';
        }
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Files, RenderCorpus, ::testing::ValuesIn(corpusFiles()), testName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RenderCorpus);

TEST(RenderCorpusSong, RoadblastEndsByItself) {
    if (corpusDir().empty()) {
        GTEST_SKIP() << "no corpus";
    }
    ModulePtr song = loadCorpusFile("songs/roadblas.xm");
    ASSERT_NE(song, nullptr);
    int64_t frames = 0;
    render(song.get(), LongestSongFrames, true, &frames);
    EXPECT_TRUE(offlineSongEnded());
    EXPECT_LT(frames, LongestSongFrames);
    EXPECT_GT(frames, int64_t{Rate} * 60);
}

} // namespace
} // namespace korvanthe::testing
