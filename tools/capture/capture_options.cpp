#include "tools/capture/capture_options.h"

#include <cerrno>
#include <cstdlib>

namespace korvanthe {

namespace {

constexpr int highestFps = 240;
constexpr double longestSeconds = 3600;

bool parseNumber(const std::string& text, double& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end != text.c_str() && *end == 0;
}

} // namespace

bool writesVideo(const CaptureOptions& options) {
    const std::string& out = options.output;
    return out.size() > 4 && out.compare(out.size() - 4, 4, ".mp4") == 0;
}

bool parseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "-h" || word == "--help") {
            options.help = true;
            return true;
        }
        if (word != "-o" && word != "--fps" && word != "--seconds") {
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
        } else if (word == "--fps") {
            if (!parseNumber(value, number) || number != static_cast<int>(number) || number < 1 ||
                number > highestFps) {
                error = "--fps needs a whole number from 1 to 240, got \"" + value + "\"";
                return false;
            }
            options.fps = static_cast<int>(number);
        } else {
            if (!parseNumber(value, number) || !(number > 0) || number > longestSeconds) {
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
    return true;
}

} // namespace korvanthe
