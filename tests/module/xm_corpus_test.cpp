// Every file of the shared corpus of real XM files loads, or is refused with
// a reason; a loaded song keeps every limit the replayer and mixer rely on,
// and a second load gives the same result.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "module/file_callbacks.h"
#include "module/xm_loader.h"
#include "tests/support/fnv1a.h"
#include "tests/support/memory_file.h"
#include "tests/support/module_invariants.h"
#include "tests/support/test_paths.h"

namespace korvanthe {
namespace {

class Digest {
  public:
    void add(const void* data, size_t size) { fnv_.addBytes(data, size); }
    template <typename T> void add(const T& field) { add(&field, sizeof field); }
    uint64_t value() const { return fnv_.value(); }

  private:
    testing::Fnv1a fnv_;
};

uint64_t digestOf(const Module& module) {
    Digest digest;
    digest.add(module.songLength);
    digest.add(module.restartPosition);
    digest.add(module.channelCount);
    digest.add(module.usedPatternCount);
    digest.add(module.patternSlotCount);
    digest.add(module.instrumentCount);
    digest.add(module.flags);
    digest.add(module.defaultSpeed);
    digest.add(module.defaultBpm);
    digest.add(module.orderTable);
    for (int p = 0; p < module.patternSlotCount; ++p) {
        const Pattern& pattern = module.patterns[p];
        digest.add(pattern.rowCount);
        if (pattern.cells != nullptr) {
            digest.add(pattern.cells, sizeof(PatternCell) * static_cast<size_t>(pattern.rowCount) *
                                          static_cast<size_t>(module.channelCount));
        }
    }
    for (int i = 0; i < module.instrumentCount; ++i) {
        const Instrument& instrument = module.instruments[i];
        digest.add(instrument.sampleCount);
        // Everything after the sample pointers, field by field in file order.
        digest.add(instrument.keymap);
        digest.add(instrument.volumeEnvelopePoints);
        digest.add(instrument.panningEnvelopePoints);
        digest.add(&instrument.volumePointCount, 14); // counts, points, flags, vibrato
        digest.add(instrument.fadeout);
        for (int j = 0; j < instrument.sampleCount; ++j) {
            const Sample& sample = *instrument.samples[j];
            digest.add(sample.length);
            digest.add(sample.loopStart);
            digest.add(sample.loopLength);
            digest.add(sample.volume);
            digest.add(sample.finetune);
            digest.add(sample.panning);
            digest.add(sample.loopType);
            digest.add(sample.relativeNote);
            if (sample.data != nullptr) {
                digest.add(sample.data, (sample.length + SampleGuardFrames) * sizeof(int16_t));
            }
        }
    }
    return digest.value();
}

TEST(XmCorpus, EveryFileLoadsOrIsRefusedTheSameWayTwice) {
    std::filesystem::path corpus = testing::corpusDir();
    if (corpus.empty()) {
        GTEST_SKIP() << "no XM corpus beside the repository";
    }
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path());
        }
    }
    ASSERT_FALSE(files.empty());
    useStandardFileCallbacks();
    int loaded = 0;
    for (const std::filesystem::path& path : files) {
        std::string name = std::filesystem::relative(path, corpus).string();
        XmLoadReport first;
        XmLoadReport second;
        testing::ModulePtr a(createModule(path.string().c_str(), &first));
        testing::ModulePtr b(createModule(path.string().c_str(), &second));
        ASSERT_EQ(a == nullptr, b == nullptr) << name;
        EXPECT_EQ(first.error, second.error) << name;
        EXPECT_EQ(first.truncated, second.truncated) << name;
        if (a == nullptr) {
            EXPECT_NE(first.error, LoadError::None) << name;
            continue;
        }
        ++loaded;
        EXPECT_EQ(first.error, LoadError::None) << name;
        EXPECT_EQ(digestOf(*a), digestOf(*b)) << name;
        const char* problem = testing::findUnplayable(*a);
        EXPECT_EQ(problem, nullptr) << name << ": " << problem;
    }
    // The corpus is real songs: nearly all of them must load.
    EXPECT_GT(loaded, static_cast<int>(files.size()) * 3 / 4);
}

} // namespace
} // namespace korvanthe
