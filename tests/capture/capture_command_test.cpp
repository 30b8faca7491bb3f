// korvanthe-capture as a person runs it: what it says for --help and
// --version, which outputs it refuses before doing any work, and that every
// failure of the video path names the output the person gave. A stand-in
// "ffmpeg" on the PATH fails on purpose; the real one, where installed,
// checks that each container gets codecs it can hold.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace korvanthe {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1; // exit code; -1 when it did not exit
    std::string out;
    std::string err;
};

std::string fileText(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

class CaptureCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        folder =
            fs::temp_directory_path() / ("korvanthe-capture-command-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder / "work");
    }
    void TearDown() override { fs::remove_all(folder); }

    // Runs the tool in an empty working folder (no song: a silent capture),
    // with pathPrefix put before the PATH.
    Outcome capture(const std::string& arguments, const std::string& pathPrefix = "") {
        std::string command = "cd '" + (folder / "work").string() + "' && ";
        if (!pathPrefix.empty()) {
            command += "PATH='" + pathPrefix + "':\"$PATH\" ";
        }
        command += "'" KORVANTHE_BINARY_DIR "/bin/korvanthe-capture' " + arguments + " >'" +
                   (folder / "out.txt").string() + "' 2>'" + (folder / "err.txt").string() + "'";
        const int status = std::system(command.c_str());
        Outcome run;
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = fileText(folder / "out.txt");
        run.err = fileText(folder / "err.txt");
        return run;
    }

    // An "ffmpeg" that leaves a mark and fails at once, as a broken or
    // mis-built one would.
    std::string failingFfmpeg() {
        const fs::path bin = folder / "bin";
        fs::create_directories(bin);
        std::ofstream(bin / "ffmpeg")
            << "#!/bin/sh\ntouch '" << (folder / "ffmpeg-ran").string() << "'\nexit 3\n";
        fs::permissions(bin / "ffmpeg", fs::perms::owner_all);
        return bin.string();
    }

    // The show's files (as built beside the tool) in the working folder.
    bool showInTheWorkingFolder() {
        const fs::path show = fs::path(KORVANTHE_BINARY_DIR) / "bin";
        for (const char* name : {"soundtrack.xm", "random.scp", "gridtile.tga", "picture0.raw",
                                 "picture1.raw", "picture2.raw", "korvanthe.raw", "tallstrip.raw",
                                 "random.raw"}) {
            std::error_code error;
            fs::create_symlink(show / name, folder / "work" / name, error);
            if (error) {
                return false;
            }
        }
        return true;
    }

    fs::path folder;
};

TEST_F(CaptureCommand, HelpListsEveryOptionWithExamplesAndVersionNamesTheRelease) {
    const Outcome help = capture("--help");
    EXPECT_EQ(help.status, 0);
    for (const char* option :
         {"\n  -o OUT ", "\n  --fps N ", "\n  --seconds S ", "\n  -h, --help ", "\n  --version ",
          "\nexamples:\n", "korvanthe-capture -o demo.mp4\n"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
    const Outcome version = capture("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "korvanthe-capture " KORVANTHE_VERSION "\n");
    EXPECT_EQ(version.err, "");
}

TEST_F(CaptureCommand, RefusesAnOutputItDoesNotWriteAndMakesNothing) {
    const Outcome run = capture("-o c.avi --seconds 0.1");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.rfind("korvanthe-capture: c.avi: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(".mp4, .mkv or .webm"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(folder / "work" / "c.avi"));
}

TEST_F(CaptureCommand, AnExistingFolderWithAVideoLikeNameGetsFrames) {
    fs::create_directories(folder / "work" / "c.avi");
    const Outcome run = capture("-o c.avi --fps 10 --seconds 0.2");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::is_regular_file(folder / "work" / "c.avi" / "frame_000001.png"));
    EXPECT_TRUE(fs::is_regular_file(folder / "work" / "c.avi" / "soundtrack.wav"));
}

TEST_F(CaptureCommand, AnUnwritableVideoPathIsNamedBeforeFfmpegStarts) {
    const std::string output = (folder / "missing" / "c.mp4").string();
    const Outcome run = capture("-o '" + output + "' --fps 10 --seconds 0.1", failingFfmpeg());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("korvanthe-capture: " + output + ": cannot write there: "),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(fs::exists(folder / "ffmpeg-ran"));
}

TEST_F(CaptureCommand, AFailingFfmpegIsReportedWithTheOutputNamed) {
    const Outcome run = capture("-o c.mkv --fps 10 --seconds 0.1", failingFfmpeg());
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(fs::exists(folder / "ffmpeg-ran"));
    EXPECT_NE(run.err.find("korvanthe-capture: c.mkv: ffmpeg failed with exit status 3"),
              std::string::npos)
        << run.err;
    // Neither the pipe's nor the intermediate files' names: those mean
    // nothing to the person who asked for c.mkv.
    EXPECT_EQ(run.err.find("Broken pipe"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(".picture"), std::string::npos) << run.err;
    EXPECT_TRUE(fs::is_empty(folder / "work"));
}

TEST_F(CaptureCommand, EachVideoContainerGetsCodecsItHolds) {
    if (std::system("command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null") != 0) {
        GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
    }
    const struct {
        const char* output;
        const char* streams;
    } cases[] = {
        {"c.mp4", "h264\naac\n"},
        {"c.mkv", "h264\naac\n"},
        {"c.webm", "vp9\nopus\n"},
    };
    for (const auto& c : cases) {
        const Outcome run = capture(std::string("-o ") + c.output + " --fps 10 --seconds 0.3");
        ASSERT_EQ(run.status, 0) << c.output << ": " << run.err;
        const fs::path video = folder / "work" / c.output;
        const std::string probe = "ffprobe -v error -show_entries stream=codec_name -of csv=p=0 '" +
                                  video.string() + "' >'" + (folder / "probe.txt").string() + "'";
        ASSERT_EQ(std::system(probe.c_str()), 0) << c.output;
        EXPECT_EQ(fileText(folder / "probe.txt"), c.streams) << c.output;
    }
    // Only the videos: the intermediate files are gone.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder / "work"), fs::directory_iterator()), 3);
}

TEST_F(CaptureCommand, AStretchIsTheWholeCapturesFramesAndSoundAtTheSameMoments) {
    ASSERT_TRUE(showInTheWorkingFolder());
    const Outcome whole = capture("-o whole/ --fps 5 --seconds 14");
    ASSERT_EQ(whole.status, 0) << whole.err;
    const std::string wholeSound = fileText(folder / "work" / "whole" / "soundtrack.wav");
    struct Row {
        const char* options;
        int firstFrame; // the whole capture's frame the stretch begins with
        int frames;
    };
    // At 5 fps frame k is at k / 5 s. At BPM 128 a tick is 861 frames and a
    // row of 6 ticks 5166: order 1 begins after order 0's 64 rows, at sound
    // frame 330624, and its row 8 at 371952 (8.434 s), so the stretch begins
    // with frame 43 (8.6 s) and ends before frame 68 (13.6 s, the first at or
    // after 13.5 s); 9.3 s falls between frames 46 and 47.
    const Row table[] = {
        {"--from 1:8 --to 0:13.50", 43, 68 - 43},
        {"--from 9.3s --seconds 2", 47, 10},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.options);
        fs::remove_all(folder / "work" / "part");
        const Outcome part = capture(std::string("-o part/ --fps 5 ") + row.options);
        ASSERT_EQ(part.status, 0) << part.err;
        for (int frame = 0; frame < row.frames; ++frame) {
            char name[32];
            std::snprintf(name, sizeof name, "frame_%06d.png", frame);
            char wholeName[32];
            std::snprintf(wholeName, sizeof wholeName, "frame_%06d.png", row.firstFrame + frame);
            ASSERT_TRUE(fileText(folder / "work" / "part" / name) ==
                        fileText(folder / "work" / "whole" / wholeName))
                << "frame " << frame << " of the stretch is not frame " << row.firstFrame + frame
                << " of the whole capture";
        }
        char after[32];
        std::snprintf(after, sizeof after, "frame_%06d.png", row.frames);
        EXPECT_FALSE(fs::exists(folder / "work" / "part" / after)) << "one frame too many";
        const std::string sound = fileText(folder / "work" / "part" / "soundtrack.wav");
        const size_t first = static_cast<size_t>(row.firstFrame) * 44100 / 5 * 4;
        ASSERT_EQ(sound.size() - 44, static_cast<size_t>(row.frames) * 44100 / 5 * 4);
        EXPECT_TRUE(sound.substr(44) == wholeSound.substr(44 + first, sound.size() - 44));
    }
    const Outcome refused = capture("-o none/ --from 30:0");
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("--from 30:0: the song's orders are 0 to 19"), std::string::npos)
        << refused.err;
    EXPECT_FALSE(fs::exists(folder / "work" / "none"));
}

} // namespace
} // namespace korvanthe
