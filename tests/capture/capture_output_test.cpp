// What -o names: a video by its extension, a folder by its form or by being
// one, and a refusal for every other name.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "tools/capture/capture_options.h"

namespace korvanthe {
namespace {

namespace fs = std::filesystem;

struct Case {
    const char* output;
    CaptureOutput kind;
};

TEST(CaptureOutput, NamesDecideBetweenVideoFolderAndRefusal) {
    const Case cases[] = {
        // videos, by extension in any case
        {"demo.mp4", CaptureOutput::mp4},
        {"demo.MP4", CaptureOutput::mp4},
        {"out/demo.mkv", CaptureOutput::matroska},
        {"demo.webm", CaptureOutput::webm},
        {"a.b/demo.WebM", CaptureOutput::webm},
        // folders: a trailing slash, or no extension in the last name
        {"frames", CaptureOutput::frames},
        {"frames/", CaptureOutput::frames},
        {"c.avi/", CaptureOutput::frames},
        {"demo.mp4/", CaptureOutput::frames},
        {"a.b/frames", CaptureOutput::frames},
        {".frames", CaptureOutput::frames}, // a hidden name has no extension
        // refused: any other extension, or nothing at all
        {"c.avi", CaptureOutput::refused},
        {"demo.mp4.tmp", CaptureOutput::refused},
        {"frames.png", CaptureOutput::refused},
        {"frame.", CaptureOutput::refused},
        {"", CaptureOutput::refused},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(captureOutputKind(c.output), c.kind) << '"' << c.output << '"';
    }
}

TEST(CaptureOutput, AnExistingFolderIsAFolderWhateverItsName) {
    const fs::path folder =
        fs::temp_directory_path() / ("korvanthe-capture-output-" + std::to_string(::getpid()));
    fs::create_directories(folder / "c.avi");
    fs::create_directories(folder / "old.mp4");
    EXPECT_EQ(captureOutputKind((folder / "c.avi").string()), CaptureOutput::frames);
    EXPECT_EQ(captureOutputKind((folder / "old.mp4").string()), CaptureOutput::frames);
    EXPECT_EQ(captureOutputKind((folder / "new.avi").string()), CaptureOutput::refused);
    fs::remove_all(folder);
}

bool parse(std::vector<std::string> words, CaptureOptions& options, std::string& error) {
    words.insert(words.begin(), "korvanthe-capture");
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    return parseCaptureOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

TEST(CaptureOptions, TakesVideoAndFolderOutputsAndRefusesOthersNamingThem) {
    CaptureOptions options;
    std::string error;
    ASSERT_TRUE(parse({"-o", "demo.webm", "--fps", "30"}, options, error)) << error;
    EXPECT_TRUE(writesVideo(options));
    EXPECT_EQ(options.outputKind, CaptureOutput::webm);
    EXPECT_EQ(options.fps, 30);

    options = {};
    ASSERT_TRUE(parse({"-o", "frames"}, options, error)) << error;
    EXPECT_FALSE(writesVideo(options));

    options = {};
    error.clear();
    EXPECT_FALSE(parse({"-o", "c.avi"}, options, error));
    EXPECT_EQ(error.rfind("c.avi: ", 0), 0u) << error;
    for (const char* accepted : {".mp4", ".mkv", ".webm", "folder"}) {
        EXPECT_NE(error.find(accepted), std::string::npos) << error;
    }
}

TEST(CaptureOptions, HelpAndVersionNeedNoOutput) {
    CaptureOptions options;
    std::string error;
    ASSERT_TRUE(parse({"--version"}, options, error)) << error;
    EXPECT_TRUE(options.version);
    options = {};
    ASSERT_TRUE(parse({"--fps", "30", "-h"}, options, error)) << error;
    EXPECT_TRUE(options.help);
}

} // namespace
} // namespace korvanthe
