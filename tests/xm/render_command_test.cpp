// korvanthe-xm render as a musician uses it: into a pipe, at other rates,
// from another order, several times over, with channels muted or alone, and
// several songs at once. Runs the built tool.
#include "tests/xm/xm_tool.h"

namespace korvanthe::xmtool {
namespace {

class RenderCommandTest : public ToolTest {
  protected:
    // Renders song_ with the options into OUT.wav and reads it back.
    WavFile render(const std::string& options, const std::string& name = "out.wav") {
        const ToolRun run =
            runTool(dir_, "render " + quoted(song_) + " " + options + " -o " + quoted(dir_ / name));
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
        const WavFile wav = readWav(dir_ / name);
        EXPECT_TRUE(wav.canonical) << options;
        return wav;
    }
};

TEST_F(RenderCommandTest, StandardOutputIsTheSameFileWithItsSizesUpFront) {
    const WavFile file = render("");
    EXPECT_EQ(file.frames(), SongFrames);
    EXPECT_EQ(file.sampleRate, 44100u);
    // A pipe cannot be seeked: the header must be right from the start.
    for (const char* output : {"-", "/dev/stdout"}) {
        const ToolRun piped = runToolIntoPipe(dir_, "render " + quoted(song_) + " -o " + output);
        EXPECT_EQ(piped.exitCode, 0) << output << ": " << piped.err;
        const WavFile streamed = parseWav(piped.out);
        EXPECT_TRUE(streamed.canonical) << output;
        EXPECT_EQ(streamed.pcm, file.pcm) << output;
    }
}

TEST_F(RenderCommandTest, HalfTheRateGivesHalfTheFrames) {
    // 441 frames a tick at 22050 Hz, exactly half of 882.
    const WavFile half = render("--rate 22050");
    EXPECT_EQ(half.sampleRate, 22050u);
    EXPECT_EQ(half.frames(), SongFrames / 2);
    const WavFile high = render("--rate=88200");
    EXPECT_EQ(high.frames(), SongFrames * 2);
    for (const char* refused : {"--rate 7999", "--rate 192001", "--rate 44.1k"}) {
        EXPECT_EQ(runTool(dir_, "render " + quoted(song_) + " -o x.wav " + refused).exitCode, 2)
            << refused;
    }
}

// The bytes of frames [first, first + count) of a render.
std::vector<uint8_t> framesOf(const WavFile& wav, size_t first, size_t count) {
    return {wav.pcm.begin() + static_cast<std::ptrdiff_t>(first * 4),
            wav.pcm.begin() + static_cast<std::ptrdiff_t>((first + count) * 4)};
}

TEST_F(RenderCommandTest, StartAndEndAreStretchesOfTheWholeRender) {
    const WavFile whole = render("");
    ASSERT_EQ(whole.frames(), SongFrames);
    // Rows of 5292 frames: order 1 (the second pattern) begins at row 16 of
    // the song, frame 84672; a time is the frame of its millisecond at
    // 44100 Hz. Every stretch is the whole render's frames, to the bit,
    // notes that ring on from before the start included.
    struct Row {
        const char* options;
        size_t first;
        size_t end;
    };
    const Row table[] = {
        {"--start 1", 16 * RowFrames, SongFrames},
        {"--start 1:8", 24 * RowFrames, SongFrames},
        {"--start 0:3", 3 * RowFrames, SongFrames},
        {"--start 0:01.5", 66150, SongFrames},
        {"--start 2.001s", 88244, SongFrames},
        {"--end 1", 0, 16 * RowFrames},
        {"--start 0:4 --end 1:2", 4 * RowFrames, 18 * RowFrames},
        {"--start 1.25s --end 0:03.000", 55125, 132300},
    };
    for (const Row& row : table) {
        const WavFile stretch = render(row.options);
        ASSERT_EQ(stretch.frames(), row.end - row.first) << row.options;
        EXPECT_EQ(stretch.pcm, framesOf(whole, row.first, row.end - row.first)) << row.options;
    }
    // With --seconds the song plays on past its end as it loops.
    const WavFile looped = render("--start 1:8 --seconds 1");
    ASSERT_EQ(looped.frames(), 44100u);
    EXPECT_EQ(framesOf(looped, 0, 8 * RowFrames), framesOf(whole, 24 * RowFrames, 8 * RowFrames));
}

TEST_F(RenderCommandTest, APositionTheSongLacksIsRefusedWithTheRangeAndNoFile) {
    struct Row {
        const char* options;
        const char* line;
    };
    const Row table[] = {
        {"--start 2", "--start 2:0: the song's orders are 0 to 1"},
        {"--start 1:16", "--start 1:16: order 1 has rows 0 to 15"},
        {"--start 0:04.000", "--start 0:04.000: past the song's end: it plays from 0:00.000 to "
                             "0:03.839"},
        {"--end 9s", "--end 0:09.000: past the song's end: it plays from 0:00.000 to 0:03.839"},
        {"--start 1 --end 0:5", "--end 0:5: comes no later than --start 1:0"},
    };
    for (const Row& row : table) {
        const fs::path out = dir_ / "refused.wav";
        const ToolRun run =
            runTool(dir_, "render " + quoted(song_) + " " + row.options + " -o " + quoted(out));
        EXPECT_EQ(run.exitCode, 2) << row.options;
        EXPECT_EQ(run.err, "korvanthe-xm: " + song_.string() + ": " + row.line + "\n");
        EXPECT_FALSE(fs::exists(out)) << row.options;
    }
    for (const char* malformed : {"--start x", "--start 1:", "--start -1", "--start 1:2:3",
                                  "--start 0:5.5", "--start 1.5", "--start 0:01.0001",
                                  "--start 256", "--end 1s5"}) {
        const ToolRun run = runTool(dir_, "render " + quoted(song_) + " " + malformed + " -o x.wav");
        EXPECT_EQ(run.exitCode, 2) << malformed;
        EXPECT_NE(run.err.find("takes ORDER, ORDER:ROW or a time"), std::string::npos) << run.err;
    }
}

TEST_F(RenderCommandTest, RepeatPlaysOnAtTheRestartPosition) {
    const WavFile once = render("");
    const WavFile twice = render("--repeat 2");
    // Restart position 0, one tempo throughout: twice the length, and the
    // first time through exactly the single render.
    ASSERT_EQ(twice.frames(), 2 * SongFrames);
    EXPECT_TRUE(std::equal(once.pcm.begin(), once.pcm.end(), twice.pcm.begin()));

    // Restart position 1: the second time through is the second order only.
    ASSERT_TRUE(writeXmFile(threeVoiceSong(1), song_.string()));
    const WavFile restarted = render("--repeat 3");
    EXPECT_EQ(restarted.frames(), SongFrames + 2 * (SongFrames / 2));
}

TEST_F(RenderCommandTest, SoloIsMutingAllTheOthers) {
    const WavFile full = render("");
    const WavFile solo = render("--solo 2");
    const WavFile muted = render("--mute 1,3-4");
    EXPECT_EQ(solo.pcm, muted.pcm);
    EXPECT_NE(solo.pcm, full.pcm);
    EXPECT_NE(solo.pcm, std::vector<uint8_t>(solo.pcm.size(), 0));
    // Every channel muted: silence of the song's full length.
    const WavFile silent = render("--mute 1-4");
    EXPECT_EQ(silent.pcm, std::vector<uint8_t>(SongFrames * 4, 0));
    // The channel that never plays changes nothing when muted.
    EXPECT_EQ(render("--mute 4").pcm, full.pcm);
}

TEST_F(RenderCommandTest, ChannelListsAreCheckedAgainstTheSong) {
    const std::string render = "render " + quoted(song_) + " -o x.wav ";
    EXPECT_EQ(runTool(dir_, render + "--mute 5").exitCode, 1);
    EXPECT_EQ(runTool(dir_, render + "--mute 5").err,
              "korvanthe-xm: " + song_.string() + ": no channel 5 (the song has 4)\n");
    for (const char* refused : {"--solo 0", "--solo 3-1", "--mute 1,,2", "--mute 33", "--mute x"}) {
        const ToolRun run = runTool(dir_, render + refused);
        EXPECT_EQ(run.exitCode, 2) << refused;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
}

TEST_F(RenderCommandTest, SeveralFilesGoIntoAFolder) {
    const fs::path other = dir_ / "other.xm";
    ASSERT_TRUE(writeXmFile(threeVoiceSong(1), other.string()));
    const WavFile three = render("", "three_alone.wav");
    const fs::path folder = dir_ / "wavs";
    const ToolRun run = runTool(dir_, "render " + quoted(song_) + " " + quoted(other) + " -o " +
                                          quoted(folder) + " --rate 22050");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readWav(folder / "other.wav").frames(), SongFrames / 2);
    const WavFile batch = readWav(folder / "three.wav");
    EXPECT_EQ(batch.sampleRate, 22050u);
    EXPECT_EQ(batch.frames(), three.frames() / 2);

    // A song that fails does not stop the others, and the exit code says so.
    const ToolRun partly = runTool(dir_, "render " + quoted(dir_ / "missing.xm") + " " +
                                             quoted(song_) + " -o " + quoted(dir_ / "partly"));
    EXPECT_EQ(partly.exitCode, 1);
    EXPECT_NE(partly.err.find("missing.xm: no such file"), std::string::npos) << partly.err;
    EXPECT_EQ(readWav(dir_ / "partly" / "three.wav").pcm, three.pcm);
    EXPECT_EQ(runTool(dir_, "render " + quoted(song_) + " " + quoted(other) + " -o -").exitCode, 2);

    // One file into a folder named by its trailing slash.
    ASSERT_EQ(
        runTool(dir_, "render " + quoted(song_) + " -o " + quoted(dir_ / "one") + "/").exitCode, 0);
    EXPECT_EQ(readWav(dir_ / "one" / "three.wav").pcm, three.pcm);
}

TEST_F(RenderCommandTest, TooLongForAWavFileIsRefusedBeforeRendering) {
    // A day at 192 kHz is 16.6 G frames; a WAV file holds 1.07 G.
    const fs::path output = dir_ / "day.wav";
    const ToolRun run = runTool(dir_, "render " + quoted(song_) +
                                          " --seconds 86400 --rate 192000 -o " + quoted(output));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "korvanthe-xm: " + output.string() +
                           ": too long for a WAV file (at most 1:33:12 at 192000 Hz)\n");
    EXPECT_FALSE(fs::exists(output));
}

} // namespace
} // namespace korvanthe::xmtool
