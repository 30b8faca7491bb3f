// The subcommands of korvanthe-xm and what they share: each command gets the
// words after its name and gives the process exit code (0 success, 1 a file
// that cannot be used, 2 a usage error).
#pragma once

#include <string>
#include <vector>

#include "module/module.h"
#include "module/xm_loader.h"

namespace korvanthe {

using CommandArguments = std::vector<std::string>;

struct XmCommand {
    const char* name;
    const char* usage; // the words after "korvanthe-xm", e.g. "info FILE [--json]"
    int (*run)(const CommandArguments& arguments);
};

constexpr int ExitFileError = 1;
constexpr int ExitUsageError = 2;

int runInfoCommand(const CommandArguments& arguments);
int runRenderCommand(const CommandArguments& arguments);
int runTraceCommand(const CommandArguments& arguments);
int runPlayCommand(const CommandArguments& arguments);

// Prints "korvanthe-xm: FILE: reason" on stderr; gives ExitFileError.
int reportFileError(const std::string& path, const std::string& reason);

// Prints the message and "usage: korvanthe-xm USAGE" on stderr; gives ExitUsageError.
int reportUsageError(const std::string& message, const char* usage);

// Loads an XM file through the standard file callbacks. On failure gives null
// and sets `reason` to one line saying why (missing file, directory, refused
// song). Release the result with freeModule.
Module* loadSongFile(const std::string& path, XmLoadReport& report, std::string& reason);

} // namespace korvanthe
