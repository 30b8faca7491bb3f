// The folder that holds the running program's executable, for finding the
// files installed beside it (host/data_files.h). Linux reads /proc/self/exe,
// Windows asks the module's file name. Any thread.
#pragma once

#include <filesystem>

namespace korvanthe {

// Absolute; empty when the system does not say.
std::filesystem::path platformExecutableFolder();

} // namespace korvanthe
