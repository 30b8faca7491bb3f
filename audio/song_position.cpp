#include "audio/song_position.h"

#include <cstdio>

namespace korvanthe {

namespace {

// Reads the decimal digits at text[index...] into value; false when there are
// none or the value passes `limit`.
bool readDigits(const std::string& text, size_t& index, int64_t limit, int64_t& value) {
    const size_t first = index;
    value = 0;
    while (index < text.size() && text[index] >= '0' && text[index] <= '9') {
        value = value * 10 + (text[index] - '0');
        if (value > limit) {
            return false;
        }
        ++index;
    }
    return index > first;
}

// Seconds with up to three decimals from text[index...], as milliseconds.
bool readSeconds(const std::string& text, size_t& index, int64_t limit, int64_t& milliseconds) {
    int64_t whole = 0;
    if (!readDigits(text, index, limit, whole)) {
        return false;
    }
    int64_t fraction = 0;
    if (index < text.size() && text[index] == '.') {
        ++index;
        int64_t scale = 100;
        const size_t first = index;
        while (index < text.size() && text[index] >= '0' && text[index] <= '9') {
            if (scale == 0) {
                return false; // below a millisecond
            }
            fraction += (text[index] - '0') * scale;
            scale /= 10;
            ++index;
        }
        if (index == first) {
            return false;
        }
    }
    milliseconds = whole * 1000 + fraction;
    return true;
}

} // namespace

bool parseSongPosition(const std::string& text, SongPosition& position) {
    const size_t colon = text.find(':');
    const bool decimals = text.find('.') != std::string::npos;
    size_t index = 0;
    if (!text.empty() && text.back() == 's') {
        // "83.5s": seconds.
        int64_t milliseconds = 0;
        if (colon != std::string::npos ||
            !readSeconds(text, index, LongestMilliseconds / 1000, milliseconds) ||
            index != text.size() - 1 || milliseconds > LongestMilliseconds) {
            return false;
        }
        position = SongPosition::time(milliseconds);
        return true;
    }
    int64_t first = 0;
    if (colon != std::string::npos && decimals) {
        // "1:23.5": minutes, then two digits of seconds and their decimals.
        int64_t milliseconds = 0;
        if (!readDigits(text, index, LongestMilliseconds / 60000, first) || index != colon ||
            text.find('.') != colon + 3) {
            return false;
        }
        ++index;
        if (!readSeconds(text, index, 59, milliseconds) || index != text.size()) {
            return false;
        }
        const int64_t total = first * 60000 + milliseconds;
        if (total > LongestMilliseconds) {
            return false;
        }
        position = SongPosition::time(total);
        return true;
    }
    // "12" or "12:32": an order entry, and a row (0 without one).
    int64_t row = 0;
    if (decimals || !readDigits(text, index, 255, first)) {
        return false;
    }
    if (index < text.size()) {
        if (index != colon) {
            return false;
        }
        ++index;
        if (!readDigits(text, index, 255, row) || index != text.size()) {
            return false;
        }
    }
    position = SongPosition::orderRow(static_cast<int32_t>(first), static_cast<int32_t>(row));
    return true;
}

std::string describeSongPosition(const SongPosition& position) {
    char text[48];
    switch (position.kind) {
    case SongPosition::Kind::OrderRow:
        std::snprintf(text, sizeof text, "%d:%d", position.order, position.row);
        break;
    case SongPosition::Kind::Milliseconds:
        std::snprintf(text, sizeof text, "%lld:%02lld.%03lld",
                      static_cast<long long>(position.milliseconds / 60000),
                      static_cast<long long>(position.milliseconds / 1000 % 60),
                      static_cast<long long>(position.milliseconds % 1000));
        break;
    case SongPosition::Kind::Frame:
        std::snprintf(text, sizeof text, "%lld frames", static_cast<long long>(position.frames));
        break;
    }
    return text;
}

} // namespace korvanthe
