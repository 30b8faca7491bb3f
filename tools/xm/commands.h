// The subcommands of korvanthe-xm and what they share: each command gets the
// words after its name and gives the process exit code (0 success, 1 a file
// that cannot be used, 2 a usage error).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "module/module.h"
#include "module/xm_loader.h"

namespace korvanthe {

using CommandArguments = std::vector<std::string>;

struct XmCommand {
    const char* name;
    const char* synopsis;      // the words after "korvanthe-xm", e.g. "info FILE [--json]"
    const char* summary;       // what it does, in a few words, for the list of commands
    const char* description;   // a few lines on what it does
    const char* options;       // one line per option ("  --json  ..."), or ""
    bool takesPlaybackOptions; // --rate, --start, --repeat, --mute and --solo
    const char* examples;      // one command line per line, or ""
    int (*run)(const CommandArguments& arguments);
};

extern const XmCommand infoCommand;
extern const XmCommand renderCommand;
extern const XmCommand playCommand;
extern const XmCommand traceCommand;

constexpr int ExitFileError = 1;
constexpr int ExitUsageError = 2;

// Prints "korvanthe-xm: FILE: reason" on stderr; gives ExitFileError.
int reportFileError(const std::string& path, const std::string& reason);

// Prints one line, "korvanthe-xm: MESSAGE (see korvanthe-xm COMMAND --help)",
// on stderr; gives ExitUsageError.
int reportUsageError(const std::string& message, const XmCommand& command);

// A whole decimal number from lowest to highest, or false.
bool parseWholeNumber(const std::string& text, int64_t lowest, int64_t highest, int64_t& number);

// Whether stream is a terminal (a person watching rather than a pipe or file).
bool isTerminal(FILE* stream);

// Song time as minutes, seconds and milliseconds, "2:23.650"; or cut to
// tenths ("2:23.6", what a moving clock can show) or whole seconds ("2:23").
enum class SongTimeDigits { Seconds, Tenths, Milliseconds };
std::string songTime(int64_t frames, int32_t sampleRate,
                     SongTimeDigits digits = SongTimeDigits::Milliseconds);

// Loads an XM file through the standard file callbacks. On failure gives null
// and sets `reason` to one line saying why (missing file, directory, refused
// song). Release the result with freeModule.
Module* loadSongFile(const std::string& path, XmLoadReport& report, std::string& reason);

} // namespace korvanthe
