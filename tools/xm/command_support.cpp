#include <cstdio>
#include <filesystem>
#include <system_error>

#include "module/file_callbacks.h"
#include "tools/xm/commands.h"

namespace korvanthe {

int reportFileError(const std::string& path, const std::string& reason) {
    std::fprintf(stderr, "korvanthe-xm: %s: %s\n", path.c_str(), reason.c_str());
    return ExitFileError;
}

int reportUsageError(const std::string& message, const char* usage) {
    std::fprintf(stderr, "korvanthe-xm: %s\nusage: korvanthe-xm %s\n", message.c_str(), usage);
    return ExitUsageError;
}

Module* loadSongFile(const std::string& path, XmLoadReport& report, std::string& reason) {
    std::error_code error;
    std::filesystem::file_status status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) {
        reason = "no such file";
        return nullptr;
    }
    if (std::filesystem::is_directory(status)) {
        reason = "is a directory";
        return nullptr;
    }
    useStandardFileCallbacks();
    Module* module = createModule(path.c_str(), &report);
    if (module == nullptr) {
        reason = loadErrorText(report.error);
    }
    return module;
}

} // namespace korvanthe
