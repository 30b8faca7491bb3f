#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "module/file_callbacks.h"
#include "tools/xm/commands.h"
#include "tools/xm/memory_warmup.h"

namespace korvanthe {

int reportFileError(const std::string& path, const std::string& reason) {
    std::fprintf(stderr, "korvanthe-xm: %s: %s\n", path.c_str(), reason.c_str());
    return ExitFileError;
}

int reportUsageError(const std::string& message, const XmCommand& command) {
    std::fprintf(stderr, "korvanthe-xm: %s (see korvanthe-xm %s --help)\n", message.c_str(),
                 command.name);
    return ExitUsageError;
}

bool parseWholeNumber(const std::string& text, int64_t lowest, int64_t highest, int64_t& number) {
    if (text.empty() || text[0] == ' ' || text[0] == '+') {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != 0 || value < lowest || value > highest) {
        return false;
    }
    number = value;
    return true;
}

bool isTerminal(FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

std::string songTime(int64_t frames, int32_t sampleRate, SongTimeDigits digits) {
    const int64_t milliseconds = sampleRate > 0 ? frames * 1000 / sampleRate : 0;
    char text[48];
    const auto minutes = static_cast<long long>(milliseconds / 60000);
    const auto seconds = static_cast<long long>(milliseconds / 1000 % 60);
    const auto thousandths = static_cast<long long>(milliseconds % 1000);
    switch (digits) {
    case SongTimeDigits::Seconds:
        std::snprintf(text, sizeof text, "%lld:%02lld", minutes, seconds);
        break;
    case SongTimeDigits::Tenths:
        std::snprintf(text, sizeof text, "%lld:%02lld.%lld", minutes, seconds, thousandths / 100);
        break;
    case SongTimeDigits::Milliseconds:
        std::snprintf(text, sizeof text, "%lld:%02lld.%03lld", minutes, seconds, thousandths);
        break;
    }
    return text;
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
    const uintmax_t bytes = std::filesystem::file_size(path, error);
    if (!error) {
        warmMemoryForSong(bytes);
    }
    useStandardFileCallbacks();
    Module* module = createModule(path.c_str(), &report);
    if (module == nullptr) {
        reason = loadErrorText(report.error);
    }
    return module;
}

} // namespace korvanthe
