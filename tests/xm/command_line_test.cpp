// korvanthe-xm's command line: help and version, one-line usage errors, the
// duration that info reports and how trace shows a channel without a note.
// Runs the built tool.
#include "tests/xm/xm_tool.h"

namespace korvanthe::xmtool {
namespace {

class CommandLineTest : public ToolTest {
  protected:
    ToolRun run(const std::string& arguments) { return runTool(dir_, arguments); }
};

TEST_F(CommandLineTest, HelpListsEveryCommandAndExamples) {
    const ToolRun help = run("--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(run("-h").out, help.out);
    EXPECT_EQ(run("help").out, help.out);
    for (const char* line : {"\n  play FILE [options] ", "\n  render FILE... -o OUT [options] ",
                             "\n  info FILE [--json] ", "\n  trace FILE --ticks N ",
                             "\n  --version ", "\nexamples:\n"}) {
        EXPECT_NE(help.out.find(line), std::string::npos) << line;
    }
    // Without a command: the same, as an error.
    const ToolRun bare = run("");
    EXPECT_EQ(bare.exitCode, 2);
    EXPECT_EQ(bare.err, help.out);
}

TEST_F(CommandLineTest, EachCommandHasItsOwnHelp) {
    for (const char* command : {"play", "render", "info", "trace"}) {
        const ToolRun asked = run(std::string(command) + " --help");
        EXPECT_EQ(asked.exitCode, 0) << command;
        EXPECT_EQ(asked.out.rfind(std::string("usage: korvanthe-xm ") + command, 0), 0u)
            << asked.out;
        EXPECT_EQ(run(std::string("help ") + command).out, asked.out) << command;
        EXPECT_EQ(run(std::string(command) + " -h").out, asked.out) << command;
        // Help wins over whatever else is on the line.
        EXPECT_EQ(run(std::string(command) + " --bogus --help").out, asked.out) << command;
    }
    const std::string render = run("help render").out;
    for (const char* option : {"\n  -o, --output OUT ", "\n  --rate HZ ", "\n  --start POS ", "\n  --end POS ",
                               "\n  --repeat N ", "\n  --mute LIST ", "\n  --solo LIST ",
                               "\n  --seconds S ", "\n  --positions LOG ", "\nexamples:\n"}) {
        EXPECT_NE(render.find(option), std::string::npos) << option;
    }
}

TEST_F(CommandLineTest, VersionIsTheProjectsVersion) {
    const ToolRun version = run("--version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, std::string("korvanthe-xm ") + KORVANTHE_VERSION + "\n");
}

TEST_F(CommandLineTest, UnknownWordsGetOneLineAndExitTwo) {
    const std::string song = quoted(song_);
    const struct {
        std::string arguments;
        std::string message;
    } cases[] = {
        {"frobnicate", "korvanthe-xm: unknown command \"frobnicate\" (see korvanthe-xm --help)\n"},
        {"--frobnicate",
         "korvanthe-xm: unknown option \"--frobnicate\" (see korvanthe-xm --help)\n"},
        {"help frobnicate",
         "korvanthe-xm: unknown command \"frobnicate\" (see korvanthe-xm --help)\n"},
        {"render " + song + " -o x.wav --loud",
         "korvanthe-xm: unknown option \"--loud\" (see korvanthe-xm render --help)\n"},
        {"info --xml " + song,
         "korvanthe-xm: unknown option \"--xml\" (see korvanthe-xm info --help)\n"},
        {"play " + song + " --rate", "korvanthe-xm: --rate needs a value (see korvanthe-xm play "
                                     "--help)\n"},
        {"trace " + song, "korvanthe-xm: no tick count given (--ticks N) (see korvanthe-xm trace "
                          "--help)\n"},
        {"render " + song, "korvanthe-xm: no output given (-o OUT.wav, - for standard output) "
                           "(see korvanthe-xm render --help)\n"},
    };
    for (const auto& example : cases) {
        const ToolRun result = run(example.arguments);
        EXPECT_EQ(result.exitCode, 2) << example.arguments;
        EXPECT_EQ(result.err, example.message) << example.arguments;
        EXPECT_EQ(result.out, "") << example.arguments;
    }
}

TEST_F(CommandLineTest, InfoTellsTheDurationRenderFinds) {
    const ToolRun text = run("info " + quoted(song_));
    ASSERT_EQ(text.exitCode, 0) << text.err;
    // 169344 frames / 44100 Hz = 3.84 s.
    EXPECT_NE(text.out.find("\nDuration: 0:03.840 (169344 frames at 44100 Hz)\n"),
              std::string::npos)
        << text.out;
    const ToolRun json = run("info --json " + quoted(song_));
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_NE(json.out.find("\"endFound\": true, \"durationFrames\": 169344, \"durationRate\": "
                            "44100, \"durationSeconds\": 3.840,"),
              std::string::npos)
        << json.out;
    const ToolRun rendered = run("render " + quoted(song_) + " -o " + quoted(dir_ / "out.wav"));
    ASSERT_EQ(rendered.exitCode, 0);
    EXPECT_EQ(readWav(dir_ / "out.wav").frames(), 169344u);
}

TEST_F(CommandLineTest, TraceShowsAChannelWithoutANoteAsEmpty) {
    const ToolRun trace = run("trace " + quoted(song_) + " --ticks 1");
    ASSERT_EQ(trace.exitCode, 0) << trace.err;
    // Order 0, row 0, tick 0: channels 1 and 2 have notes, 3 and 4 none yet
    // (3 plays from row 4, 4 never).
    std::vector<std::string> lines;
    for (size_t start = 0, end = 0; (end = trace.out.find('\n', start)) != std::string::npos;
         start = end + 1) {
        lines.push_back(trace.out.substr(start, end - start));
    }
    ASSERT_EQ(lines.size(), 5u) << trace.out;
    EXPECT_EQ(lines[1].substr(0, 22), "  0   0   0  1 C-4   1");
    EXPECT_EQ(lines[2].substr(0, 22), "  0   0   0  2 E-5   1");
    EXPECT_EQ(lines[3].substr(0, 22), "  0   0   0  3 ---  --");
    EXPECT_EQ(lines[4].substr(0, 22), "  0   0   0  4 ---  --");
    // Once row 4 has played, channel 3 shows its note.
    const ToolRun later = run("trace " + quoted(song_) + " --ticks 25");
    EXPECT_NE(later.out.find("\n  0   4   0  3 G-4   1"), std::string::npos) << later.out;
}

} // namespace
} // namespace korvanthe::xmtool
