// Playing through the C interface, on the headless backend's virtual device:
// the test moves the device on and runs the refill itself, so time is the
// device position and nothing waits.
#include "audio/block_streaming.h"
#include "platform/headless/headless_audio.h"
#include "tests/xm_api/xm_api_support.h"

namespace korvanthe::xmapitest {
namespace {

constexpr int32_t Rate = 44100;

class XmApiPlayback : public ::testing::Test {
protected:
    void SetUp() override {
        setStreamingByCaller(true);
        const std::vector<uint8_t> bytes = readBytes(soundtrackPath());
        song = korvanthe_xm_load_memory(bytes.data(), bytes.size(), nullptr);
        ASSERT_NE(song, nullptr);
    }
    void TearDown() override {
        korvanthe_xm_free(song);
        setStreamingByCaller(false);
    }

    // The device plays `frames` more, a block at a time, each followed by the
    // refill the streaming thread would make.
    void playFor(int64_t frames) {
        const int32_t block = korvanthe_xm_block_frames(Rate);
        for (int64_t done = 0; done < frames; done += block) {
            playHeadlessAudio(static_cast<uint32_t>(block));
            refillStreaming();
        }
    }

    korvanthe_xm_heard heard() {
        korvanthe_xm_heard now{};
        EXPECT_EQ(korvanthe_xm_heard_now(song, &now), KORVANTHE_XM_OK);
        return now;
    }

    korvanthe_xm_song* song = nullptr;
};

TEST_F(XmApiPlayback, TheDeviceSoundsTheRenderAndTellsWhatIsHeard) {
    const ApiRender render = renderAll(song, Rate, 1 << 16);
    korvanthe_xm_heard before{};
    EXPECT_EQ(korvanthe_xm_heard_now(song, &before), KORVANTHE_XM_ERROR_NOT_PLAYING);
    ASSERT_EQ(korvanthe_xm_play(song, Rate), KORVANTHE_XM_OK);
    takeHeadlessAudioPlayed();
    const int32_t block = korvanthe_xm_block_frames(Rate);
    playFor(int64_t{block} * 300); // six seconds: the ring goes round three times
    const std::vector<int16_t> played = takeHeadlessAudioPlayed();
    ASSERT_EQ(played.size(), size_t(block) * 300 * 2);
    EXPECT_TRUE(std::equal(played.begin(), played.end(), render.pcm.begin()));
    const korvanthe_xm_heard now = heard();
    EXPECT_EQ(now.known, 1);
    EXPECT_EQ(now.frame, int64_t{block} * 300);
    // The stamp of the song block the device is in.
    const korvanthe_xm_stamp& stamp = render.stamps[size_t(now.frame / block)];
    EXPECT_EQ(now.order, stamp.order);
    EXPECT_EQ(now.row, stamp.row);
    EXPECT_EQ(now.time_ms, stamp.time_ms);
    korvanthe_xm_stop(song);
    EXPECT_EQ(korvanthe_xm_heard_now(song, &before), KORVANTHE_XM_ERROR_NOT_PLAYING);
}

TEST_F(XmApiPlayback, ASecondLoadIsRefusedWhileTheFirstPlaysOn) {
    ASSERT_EQ(korvanthe_xm_play(song, Rate), KORVANTHE_XM_OK);
    playFor(Rate);
    const int64_t frame = heard().frame;
    int error = -1;
    EXPECT_EQ(korvanthe_xm_load_file(soundtrackPath().c_str(), &error), nullptr);
    EXPECT_EQ(error, KORVANTHE_XM_ERROR_SONG_LIVE);
    playFor(Rate);
    EXPECT_GT(heard().frame, frame);
    EXPECT_EQ(heard().known, 1);
}

TEST_F(XmApiPlayback, SeekPauseAndLoop) {
    // A start chosen while stopped.
    ASSERT_EQ(korvanthe_xm_seek(song, korvanthe_xm_place{KORVANTHE_XM_PLACE_ORDER_ROW, 2, 0, 0}),
              KORVANTHE_XM_OK);
    ASSERT_EQ(korvanthe_xm_play(song, Rate), KORVANTHE_XM_OK);
    playFor(korvanthe_xm_block_frames(Rate));
    EXPECT_EQ(heard().order, 2);
    EXPECT_LE(heard().row, 1);

    // While it plays: once the device has played what it held.
    ASSERT_EQ(korvanthe_xm_seek(song, korvanthe_xm_place{KORVANTHE_XM_PLACE_ORDER_ROW, 1, 8, 0}),
              KORVANTHE_XM_OK);
    playFor(korvanthe_xm_block_frames(Rate) * 3);
    EXPECT_EQ(heard().order, 1);
    EXPECT_GE(heard().row, 8);
    EXPECT_EQ(korvanthe_xm_seek(song, korvanthe_xm_place{KORVANTHE_XM_PLACE_ORDER_ROW, 255, 0, 0}),
              KORVANTHE_XM_ERROR_ORDER_PAST_SONG);

    ASSERT_EQ(korvanthe_xm_pause(song, 1), KORVANTHE_XM_OK);
    const korvanthe_xm_heard held = heard();
    EXPECT_EQ(held.paused, 1);
    playFor(Rate);
    EXPECT_EQ(heard().frame, held.frame);
    ASSERT_EQ(korvanthe_xm_pause(song, 0), KORVANTHE_XM_OK);

    // A-B: two seconds of the song, over and over.
    const korvanthe_xm_place from{KORVANTHE_XM_PLACE_MILLISECONDS, 0, 0, 1000};
    const korvanthe_xm_place to{KORVANTHE_XM_PLACE_MILLISECONDS, 0, 0, 3000};
    EXPECT_EQ(korvanthe_xm_loop(song, to, from), KORVANTHE_XM_ERROR_PAST_SONG_END);
    ASSERT_EQ(korvanthe_xm_loop(song, from, to), KORVANTHE_XM_OK);
    for (int i = 0; i < 20; ++i) {
        playFor(Rate / 2);
        const korvanthe_xm_heard now = heard();
        EXPECT_EQ(now.looping, 1);
        if (i >= 6) { // what the ring held before the loop has played out
            EXPECT_GE(now.frame, Rate);
            EXPECT_LT(now.frame, 3 * Rate);
        }
    }
    korvanthe_xm_stop_looping(song);
    EXPECT_EQ(heard().looping, 0);
}

TEST_F(XmApiPlayback, NoDeviceIsSaidSo) {
    setHeadlessAudioPresent(false);
    EXPECT_EQ(korvanthe_xm_play(song, Rate), KORVANTHE_XM_ERROR_NO_DEVICE);
    setHeadlessAudioPresent(true);
    EXPECT_EQ(korvanthe_xm_pause(song, 1), KORVANTHE_XM_ERROR_NOT_PLAYING);
    // The song is still there to play.
    EXPECT_EQ(korvanthe_xm_play(song, Rate), KORVANTHE_XM_OK);
}

} // namespace
} // namespace korvanthe::xmapitest
