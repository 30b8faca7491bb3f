// The folder that holds the running program's executable, for finding the
// files installed beside it (host/data_files.h). Linux reads /proc/self/exe,
// Windows asks the module's file name. Any thread.
#pragma once

#include <filesystem>
#include <system_error>

namespace korvanthe {

// Absolute; empty when the system does not say.
std::filesystem::path platformExecutableFolder();

// Linux's answer, which names the executable itself with links resolved;
// empty elsewhere. The backends ask it first.
inline std::filesystem::path procExecutableFolder() {
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && executable.is_absolute()) {
        return executable.parent_path();
    }
    return {};
}

} // namespace korvanthe
