// korvanthe-xm play through SDL's disk audio driver: the playback options
// reach live playback exactly as render applies them, the status line stays
// off a pipe, and a missing device is one line. Runs the built tool.
#include "tests/xm/xm_tool.h"

namespace korvanthe::xmtool {
namespace {

size_t firstNonZero(const std::vector<uint8_t>& bytes) {
    size_t at = 0;
    while (at < bytes.size() && bytes[at] == 0) {
        ++at;
    }
    return at;
}

class PlayCommandTest : public ToolTest {};

TEST_F(PlayCommandTest, OptionsSoundAsRenderedAndNoStatusGoesIntoAFile) {
    const std::string options = " --start 1 --solo 2 --rate 22050";
    const fs::path disk = dir_ / "disk.raw";
    const ToolRun play = runTool(dir_, "play " + quoted(song_) + options,
                                 "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=" + quoted(disk));
    ASSERT_EQ(play.exitCode, 0) << play.err;
    // One line about the song (its whole length: 32 rows of 6 x 441 frames
    // at 22050 Hz); the changing status line only on a terminal. From order 1
    // on, only its 16 rows sound.
    EXPECT_EQ(play.out, song_.string() + ": 4 channels, 0:03.840 at 22050 Hz\n");

    const ToolRun render =
        runTool(dir_, "render " + quoted(song_) + options + " -o " + quoted(dir_ / "render.wav"));
    ASSERT_EQ(render.exitCode, 0) << render.err;
    const std::vector<uint8_t> rendered = readWav(dir_ / "render.wav").pcm;
    const std::vector<uint8_t> heard = readBytes(disk);
    ASSERT_EQ(rendered.size(), SongFrames / 2 / 2 * 4);

    // The device sounds silence from its open until the play starts: align
    // the first sound of both. SDL may drop the last buffer it took (1024
    // frames) at the stop.
    const size_t renderedStart = firstNonZero(rendered);
    const size_t heardStart = firstNonZero(heard);
    ASSERT_LT(renderedStart, rendered.size());
    ASSERT_GE(heardStart, renderedStart);
    const size_t offset = heardStart - renderedStart;
    const size_t span = std::min(heard.size() - offset, rendered.size());
    ASSERT_GE(span + 2 * 4096, rendered.size()) << "the song was not played to its end";
    EXPECT_TRUE(std::equal(rendered.begin(), rendered.begin() + static_cast<std::ptrdiff_t>(span),
                           heard.begin() + static_cast<std::ptrdiff_t>(offset)));
}

TEST_F(PlayCommandTest, NoDeviceIsOneLineWithoutTheDriversNoise) {
    // ALSA without its configuration fails on every machine, and reports
    // each step of the failure on stderr unless it is kept quiet.
    const ToolRun play =
        runTool(dir_, "play " + quoted(song_),
                "SDL_AUDIODRIVER=alsa ALSA_CONFIG_PATH=" + quoted(dir_ / "no-such-alsa.conf"));
    EXPECT_EQ(play.exitCode, 1);
    EXPECT_EQ(play.err, "korvanthe-xm: " + song_.string() + ": no audio device to play on\n");
    EXPECT_EQ(play.out, "");
}

} // namespace
} // namespace korvanthe::xmtool
