// The process-wide file callbacks, the PlayerFile wrappers and the
// standard-stream set.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "module/file_callbacks.h"
#include "module/xm_loader.h"
#include "tests/support/memory_file.h"
#include "tools/xm_writer/xm_writer.h"

namespace korvanthe {
namespace {

int closeStream(void*) {
    return 0;
}
int32_t readNothing(void*, int32_t, void*) {
    return 0;
}
int seekNowhere(void*, int32_t, int8_t) {
    return 0;
}
int32_t tellZero(void*) {
    return 0;
}

TEST(FileCallbacks, AnIncompleteSetClearsTheCurrentOne) {
    testing::useMemoryFiles();
    testing::addMemoryFile("a.xm", {1, 2, 3});
    ASSERT_TRUE(fileCallbacksRegistered());
    setFileCallbacks(nullptr, closeStream, readNothing, seekNowhere, tellZero);
    EXPECT_FALSE(fileCallbacksRegistered());
    EXPECT_EQ(openPlayerFile("a.xm"), nullptr);
    EXPECT_EQ(testing::openMemoryStreams(), 0);
}

TEST(FileCallbacks, WrappersOnANullFileDoNothing) {
    testing::useMemoryFiles();
    uint8_t buffer[4] = {9, 9, 9, 9};
    EXPECT_EQ(readPlayerFile(buffer, 4, nullptr), 0);
    EXPECT_EQ(buffer[0], 9);
    EXPECT_EQ(tellPlayerFile(nullptr), 0);
    seekPlayerFile(nullptr, 5, SeekFromStart);
    closePlayerFile(nullptr);
    EXPECT_EQ(openPlayerFile("missing.xm"), nullptr);
    EXPECT_EQ(testing::openMemoryStreams(), 0);
}

class StandardFileCallbacks : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = (std::filesystem::temp_directory_path() /
                 ("korvanthe-callbacks-" + std::to_string(std::random_device{}()) + ".xm"))
                    .string();
        XmSong song;
        song.orders = {0};
        song.addPattern(2);
        song.instruments.push_back(XmInstrument::withSample(XmSample::sine16(10, 50)));
        bytes_ = writeXm(song);
        ASSERT_TRUE(writeXmFile(song, path_));
        useStandardFileCallbacks();
    }
    void TearDown() override { std::filesystem::remove(path_); }

    std::string path_;
    std::vector<uint8_t> bytes_;
};

TEST_F(StandardFileCallbacks, ReadSeekAndTell) {
    PlayerFile* file = openPlayerFile(path_.c_str());
    ASSERT_NE(file, nullptr);
    char id[18] = {};
    EXPECT_EQ(readPlayerFile(id, 17, file), 17);
    EXPECT_STREQ(id, "Extended Module: ");
    seekPlayerFile(file, 23, SeekFromCurrent);
    EXPECT_EQ(tellPlayerFile(file), 40);
    seekPlayerFile(file, 60, SeekFromStart);
    uint8_t headerSize[4] = {};
    EXPECT_EQ(readPlayerFile(headerSize, 4, file), 4);
    EXPECT_EQ(headerSize[0] | headerSize[1] << 8, 276);
    auto size = static_cast<int32_t>(bytes_.size());
    seekPlayerFile(file, size - 3, SeekFromStart);
    uint8_t tail[8] = {};
    EXPECT_EQ(readPlayerFile(tail, 8, file), 3);
    EXPECT_EQ(tail[2], bytes_.back());
    closePlayerFile(file);
}

TEST_F(StandardFileCallbacks, MissingFileGivesNull) {
    EXPECT_EQ(openPlayerFile((path_ + ".missing").c_str()), nullptr);
    XmLoadReport report;
    EXPECT_EQ(createModule((path_ + ".missing").c_str(), &report), nullptr);
    EXPECT_EQ(report.error, LoadError::FileNotOpened);
}

TEST_F(StandardFileCallbacks, CreateModuleLoadsTheFile) {
    testing::ModulePtr module(createModule(path_.c_str()));
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->instruments[0].samples[0]->length, 50u);
}

} // namespace
} // namespace korvanthe
