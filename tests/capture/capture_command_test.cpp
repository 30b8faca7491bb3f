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

} // namespace
} // namespace korvanthe
