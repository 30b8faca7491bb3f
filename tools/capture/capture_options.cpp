#include "tools/capture/capture_options.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace korvanthe {

namespace {

constexpr int HighestFps = 240;
constexpr double LongestSeconds = 3600;

bool parseNumber(const std::string& text, double& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end != text.c_str() && *end == 0;
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

CaptureOutput captureOutputKind(const std::string& output) {
    if (output.empty()) {
        return CaptureOutput::refused;
    }
    std::error_code ignored;
    if (output.back() == '/' || std::filesystem::is_directory(output, ignored)) {
        return CaptureOutput::frames;
    }
    // A leading dot names a hidden file, not an extension: ".mp4" is a folder.
    const std::string extension = lowerCase(std::filesystem::path(output).extension().string());
    if (extension.empty()) {
        return CaptureOutput::frames;
    }
    if (extension == ".mp4") {
        return CaptureOutput::mp4;
    }
    if (extension == ".mkv") {
        return CaptureOutput::matroska;
    }
    if (extension == ".webm") {
        return CaptureOutput::webm;
    }
    return CaptureOutput::refused;
}

bool writesVideo(const CaptureOptions& options) {
    return options.outputKind != CaptureOutput::frames &&
           options.outputKind != CaptureOutput::refused;
}

bool parseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "-h" || word == "--help") {
            options.help = true;
            return true;
        }
        if (word == "--version") {
            options.version = true;
            return true;
        }
        if (word != "-o" && word != "--fps" && word != "--seconds" && word != "--from" &&
            word != "--to") {
            error = "unknown argument \"" + word + "\"";
            return false;
        }
        if (i + 1 >= argc) {
            error = word + " needs a value";
            return false;
        }
        const std::string value = argv[++i];
        double number = 0;
        if (word == "-o") {
            options.output = value;
        } else if (word == "--from" || word == "--to") {
            SongPosition& position = word == "--from" ? options.from : options.to;
            if (!parseSongPosition(value, position)) {
                error = word + " needs ORDER, ORDER:ROW or a time such as 1:23.5 or 83.5s, got \"" +
                        value + "\"";
                return false;
            }
            (word == "--from" ? options.hasFrom : options.hasTo) = true;
        } else if (word == "--fps") {
            if (!parseNumber(value, number) || number != static_cast<int>(number) || number < 1 ||
                number > HighestFps) {
                error = "--fps needs a whole number from 1 to 240, got \"" + value + "\"";
                return false;
            }
            options.fps = static_cast<int>(number);
        } else {
            if (!parseNumber(value, number) || !(number > 0) || number > LongestSeconds) {
                error = "--seconds needs a number above 0 and at most 3600, got \"" + value + "\"";
                return false;
            }
            options.seconds = number;
        }
    }
    if (options.output.empty()) {
        error = "no output given (-o OUT)";
        return false;
    }
    if (options.hasTo && options.seconds > 0) {
        error = "--to and --seconds cannot be used together";
        return false;
    }
    options.outputKind = captureOutputKind(options.output);
    if (options.outputKind == CaptureOutput::refused) {
        error = options.output +
                ": not an output korvanthe-capture writes; give a .mp4, .mkv or .webm file, or a "
                "folder (ending in '/', existing, or a name without an extension)";
        return false;
    }
    return true;
}

} // namespace korvanthe
