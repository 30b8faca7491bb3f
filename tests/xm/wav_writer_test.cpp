// The shared WAV writer: the header's fields, the 4 GiB limit (checked as
// arithmetic, without writing gigabytes), and the promise that the header's
// length is the file's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/wav/wav_writer.h"

namespace korvanthe {
namespace {

namespace fs = std::filesystem;

uint32_t field32(const uint8_t* at) {
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24;
}

uint16_t field16(const uint8_t* at) {
    return static_cast<uint16_t>(at[0] | at[1] << 8);
}

std::vector<uint8_t> readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

fs::path scratch(const char* name) {
    const fs::path dir = fs::path(::testing::TempDir()) / "wav_writer_test";
    fs::create_directories(dir);
    fs::remove(dir / name);
    return dir / name;
}

TEST(WavHeader, SaysWhatFollows) {
    const auto header = wavHeader(22050, 1000);
    const uint8_t* at = header.data();
    EXPECT_EQ(std::string(at, at + 4), "RIFF");
    EXPECT_EQ(field32(at + 4), 36u + 4000u);
    EXPECT_EQ(std::string(at + 8, at + 16), "WAVEfmt ");
    EXPECT_EQ(field32(at + 16), 16u); // fmt chunk size
    EXPECT_EQ(field16(at + 20), 1u);  // PCM
    EXPECT_EQ(field16(at + 22), 2u);  // stereo
    EXPECT_EQ(field32(at + 24), 22050u);
    EXPECT_EQ(field32(at + 28), 88200u); // bytes per second
    EXPECT_EQ(field16(at + 32), 4u);     // bytes per frame
    EXPECT_EQ(field16(at + 34), 16u);    // bits
    EXPECT_EQ(std::string(at + 36, at + 40), "data");
    EXPECT_EQ(field32(at + 40), 4000u);
}

TEST(WavHeader, TheLongestFileStillFitsTheSizeFields) {
    // 4 x 1073741814 + 36 = 4294967292: the largest RIFF size of whole frames.
    EXPECT_EQ(WavMostFrames, 1073741814u);
    EXPECT_TRUE(wavFramesFit(WavMostFrames));
    EXPECT_FALSE(wavFramesFit(WavMostFrames + 1));
    // 24 hours at 44100 Hz, which render --seconds accepts, would wrap.
    EXPECT_FALSE(wavFramesFit(uint64_t{44100} * 86400));
    // Six and a half hours fit.
    EXPECT_TRUE(wavFramesFit(uint64_t{44100} * 6 * 3600 + uint64_t{44100} * 1800));
    const auto header = wavHeader(44100, WavMostFrames);
    EXPECT_EQ(field32(header.data() + 4), 4294967292u);
    EXPECT_EQ(field32(header.data() + 40), 4294967256u);
}

TEST(WavHeader, TheRefusalNamesTheLongestDuration) {
    // 1073741814 / 44100 = 24347.89 s = 6:45:47; / 192000 = 5592.4 s = 1:33:12.
    EXPECT_EQ(wavTooLongReason(44100), "too long for a WAV file (at most 6:45:47 at 44100 Hz)");
    EXPECT_EQ(wavTooLongReason(192000), "too long for a WAV file (at most 1:33:12 at 192000 Hz)");
}

TEST(WavWriter, WritesHeaderAndLittleEndianFrames) {
    const fs::path path = scratch("two_frames.wav");
    const std::vector<int16_t> samples = {1, -1, 0x1234, -32768};
    std::string error;
    ASSERT_TRUE(writeWavFile(path.string(), 8000, samples, error)) << error;
    const std::vector<uint8_t> bytes = readFile(path);
    ASSERT_EQ(bytes.size(), WavHeaderBytes + 8);
    EXPECT_EQ(field32(bytes.data() + 24), 8000u);
    EXPECT_EQ(field32(bytes.data() + 40), 8u);
    const std::vector<uint8_t> pcm(bytes.begin() + WavHeaderBytes, bytes.end());
    EXPECT_EQ(pcm, (std::vector<uint8_t>{0x01, 0x00, 0xFF, 0xFF, 0x34, 0x12, 0x00, 0x80}));
}

TEST(WavWriter, GathersWritesOfEverySizeInOrder) {
    // Writes of 1, 3000 and 200000 frames in turn cross the writer's gathering
    // many times, also in the middle of a write: the file must hold every
    // frame once, in order.
    const fs::path path = scratch("gathered.wav");
    const uint64_t sizes[] = {1, 3000, 200000, 1, 3000, 200000, 7};
    uint64_t total = 0;
    for (uint64_t size : sizes) {
        total += size;
    }
    ASSERT_GT(total * WavBytesPerFrame, 3 * WavWriteBytes);
    std::vector<int16_t> samples(total * 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<int16_t>(i * 7919); // no period near the gathering's
    }
    WavWriter writer;
    ASSERT_TRUE(writer.open(path.string(), 44100, total));
    uint64_t done = 0;
    for (uint64_t size : sizes) {
        ASSERT_TRUE(writer.write(samples.data() + done * 2, size)) << writer.error();
        done += size;
    }
    ASSERT_TRUE(writer.finish()) << writer.error();
    const std::vector<uint8_t> bytes = readFile(path);
    ASSERT_EQ(bytes.size(), WavHeaderBytes + total * WavBytesPerFrame);
    EXPECT_EQ(field32(bytes.data() + 40), total * WavBytesPerFrame);
    for (size_t i = 0; i < samples.size(); ++i) {
        const uint8_t* at = bytes.data() + WavHeaderBytes + 2 * i;
        ASSERT_EQ(static_cast<int16_t>(field16(at)), samples[i]) << "sample " << i;
    }
}

TEST(WavWriter, FramesPutInPlaceJoinTheWrittenOnes) {
    // Blocks of 884 frames put in place through reserve and commit, some
    // committed short, between plain writes: the file holds them in order,
    // across many gatherings.
    const fs::path path = scratch("in_place.wav");
    std::vector<int16_t> expected;
    int16_t next = 1;
    const auto frame = [&](std::vector<int16_t>& into) {
        into.push_back(next);
        into.push_back(static_cast<int16_t>(-next));
        next = static_cast<int16_t>(next * 3 + 7);
    };
    constexpr uint64_t Total = 200 * 884;
    WavWriter writer;
    ASSERT_TRUE(writer.open(path.string(), 44100, Total));
    uint64_t done = 0;
    for (int block = 0; done < Total; ++block) {
        if (block % 7 == 3) {
            std::vector<int16_t> samples;
            for (int i = 0; i < 100; ++i) {
                frame(samples);
            }
            ASSERT_TRUE(writer.write(samples.data(), 100));
            expected.insert(expected.end(), samples.begin(), samples.end());
            done += 100;
            continue;
        }
        int16_t* room = writer.reserve(884);
        ASSERT_NE(room, nullptr) << writer.error();
        const uint64_t count = std::min<uint64_t>(block % 5 == 0 ? 500 : 884, Total - done);
        std::vector<int16_t> samples;
        for (uint64_t i = 0; i < count; ++i) {
            frame(samples);
        }
        std::copy(samples.begin(), samples.end(), room);
        ASSERT_TRUE(writer.commit(count));
        expected.insert(expected.end(), samples.begin(), samples.end());
        done += count;
    }
    ASSERT_TRUE(writer.finish()) << writer.error();
    const std::vector<uint8_t> bytes = readFile(path);
    ASSERT_EQ(bytes.size(), WavHeaderBytes + Total * WavBytesPerFrame);
    for (size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(static_cast<int16_t>(field16(bytes.data() + WavHeaderBytes + 2 * i)),
                  expected[i])
            << "sample " << i;
    }
}

TEST(WavWriter, RefusesRoomItCannotGiveAndSoundBeyondIt) {
    WavWriter writer;
    ASSERT_TRUE(writer.open(scratch("room.wav").string(), 44100, 100000));
    EXPECT_EQ(writer.reserve(WavWriteBytes / WavBytesPerFrame + 1), nullptr);
    EXPECT_FALSE(writer.error().empty());

    WavWriter other;
    ASSERT_TRUE(other.open(scratch("room2.wav").string(), 44100, 100000));
    ASSERT_NE(other.reserve(10), nullptr);
    ASSERT_TRUE(other.commit(10));
    // The room left after the header and those ten frames is less than a
    // whole gathering: committing more than that is refused.
    EXPECT_FALSE(other.commit(WavWriteBytes / WavBytesPerFrame));
}

TEST(WavWriter, ReportsAFullDiskAlthoughTheWritesAreGathered) {
    // /dev/full takes the open and refuses every write: the failure shows at
    // the latest when the writer finishes, never as success.
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full here";
    }
    const std::vector<int16_t> samples(2000, 5);
    WavWriter writer;
    ASSERT_TRUE(writer.open("/dev/full", 44100, 1000));
    bool written = writer.write(samples.data(), 1000);
    written = writer.finish() && written;
    EXPECT_FALSE(written);
    EXPECT_EQ(writer.error().rfind("cannot write: ", 0), 0u) << writer.error();
}

TEST(WavWriter, RefusesTooLongBeforeCreatingTheFile) {
    const fs::path path = scratch("too_long.wav");
    WavWriter writer;
    EXPECT_FALSE(writer.open(path.string(), 44100, WavMostFrames + 1));
    EXPECT_EQ(writer.error(), wavTooLongReason(44100));
    EXPECT_FALSE(fs::exists(path));
}

TEST(WavWriter, HoldsToTheAnnouncedLength) {
    const int16_t frame[2] = {7, 7};
    {
        WavWriter writer;
        ASSERT_TRUE(writer.open(scratch("short.wav").string(), 44100, 2));
        ASSERT_TRUE(writer.write(frame, 1));
        EXPECT_FALSE(writer.finish());
        EXPECT_EQ(writer.error(), "less sound than the header announced");
    }
    {
        WavWriter writer;
        ASSERT_TRUE(writer.open(scratch("long.wav").string(), 44100, 1));
        ASSERT_TRUE(writer.write(frame, 1));
        EXPECT_FALSE(writer.write(frame, 1));
        EXPECT_EQ(writer.error(), "more sound than the header announced");
    }
}

TEST(WavWriter, NamesWhyAFileCannotBeCreated) {
    WavWriter writer;
    EXPECT_FALSE(writer.open("/nonexistent-folder/out.wav", 44100, 1));
    EXPECT_EQ(writer.error().rfind("cannot create: ", 0), 0u) << writer.error();
}

} // namespace
} // namespace korvanthe
