#include "tools/xm/playback_options.h"

#include <string_view>

namespace korvanthe {

const char* const PlaybackOptionsHelp =
    "  --rate HZ          output rate, 8000 to 192000 (default 44100)\n"
    "  --start POS        start there, exactly as the song plays there from its start:\n"
    "                     ORDER or ORDER:ROW (the first time the song reaches it; 0\n"
    "                     is the first, as the status line shows them), or a time,\n"
    "                     M:SS.s or S.ss followed by s (1:23.5, 83.5s)\n"
    "  --repeat N         play the song N times (default once); each time after the\n"
    "                     first goes on where the song does: at its restart position\n"
    "  --mute LIST        silence channels, numbered from 1: e.g. 2 or 1,3-5\n"
    "  --solo LIST        silence every channel but these\n";

int takePlaybackOption(const CommandArguments& arguments, size_t& index, PlaybackOptions& options,
                       const XmCommand& command) {
    const std::string& word = arguments[index];
    if (word != "--rate" && word != "--start" && word != "--repeat" && word != "--mute" &&
        word != "--solo") {
        return -1;
    }
    if (index + 1 >= arguments.size()) {
        return reportUsageError(word + " needs a value", command);
    }
    const std::string& value = arguments[++index];
    int64_t number = 0;
    if (word == "--rate") {
        if (!parseWholeNumber(value, LowestRate, HighestRate, number)) {
            return reportUsageError("--rate takes 8000 to 192000 Hz, not \"" + value + "\"",
                                    command);
        }
        options.sampleRate = static_cast<int32_t>(number);
    } else if (word == "--start") {
        return takePositionValue(word, value, options.start, command);
    } else if (word == "--repeat") {
        if (!parseWholeNumber(value, 1, MostRepeats, number)) {
            return reportUsageError("--repeat takes 1 to 1000 times, not \"" + value + "\"",
                                    command);
        }
        options.repeats = static_cast<int32_t>(number);
    } else {
        uint32_t& list = word == "--mute" ? options.muted : options.solo;
        uint32_t channels = 0;
        if (!parseChannelList(value, channels)) {
            return reportUsageError(word + " takes channels from 1 to 32 such as 1,3-5, not \"" +
                                        value + "\"",
                                    command);
        }
        list |= channels;
    }
    return 0;
}

namespace {

// A channel number 1..MaxChannels at the start of text; moves text past it.
bool takeChannel(std::string_view& text, int& channel) {
    size_t digits = 0;
    channel = 0;
    while (digits < text.size() && digits < 3 && text[digits] >= '0' && text[digits] <= '9') {
        channel = channel * 10 + (text[digits] - '0');
        ++digits;
    }
    text.remove_prefix(digits);
    return digits > 0 && channel >= 1 && channel <= MaxChannels;
}

} // namespace

bool parseChannelList(const std::string& text, uint32_t& channels) {
    std::string_view rest = text;
    uint32_t mask = 0;
    for (;;) {
        int first = 0;
        if (!takeChannel(rest, first)) {
            return false;
        }
        int last = first;
        if (!rest.empty() && rest.front() == '-') {
            rest.remove_prefix(1);
            if (!takeChannel(rest, last) || last < first) {
                return false;
            }
        }
        for (int channel = first; channel <= last; ++channel) {
            mask |= 1u << (channel - 1);
        }
        if (rest.empty()) {
            break;
        }
        if (rest.front() != ',') {
            return false;
        }
        rest.remove_prefix(1);
    }
    channels = mask;
    return true;
}

int takePositionValue(const std::string& option, const std::string& value, SongPosition& position,
                      const XmCommand& command) {
    if (!parseSongPosition(value, position)) {
        return reportUsageError(option + " takes ORDER, ORDER:ROW or a time such as 1:23.5 or "
                                         "83.5s, not \"" +
                                    value + "\"",
                                command);
    }
    return 0;
}

std::string positionRefusalLine(const SongMap& map, const Module& song,
                                const PlaybackOptions& options, PositionRefusal refusal) {
    int64_t frame = 0;
    const bool startRefused =
        !options.hasEnd || songPositionFrame(map, song, options.start, &frame) != PositionRefusal::None;
    const SongPosition& position = startRefused ? options.start : options.end;
    const char* option = startRefused ? "--start " : "--end ";
    if (!startRefused && songPositionFrame(map, song, options.end, &frame) == PositionRefusal::None) {
        return std::string(option) + describeSongPosition(position) + ": comes no later than --start " +
               describeSongPosition(options.start);
    }
    return std::string(option) + describeSongPosition(position) + ": " +
           describePositionRefusal(map, song, position, refusal);
}

bool playbackOptionsFit(const Module& song, const PlaybackOptions& options, std::string& reason) {
    const int channelCount = song.channelCount < MaxChannels ? song.channelCount : MaxChannels;
    const uint32_t named = options.muted | options.solo;
    for (int channel = channelCount; channel < MaxChannels; ++channel) {
        if ((named & (1u << channel)) != 0) {
            reason = "no channel " + std::to_string(channel + 1) + " (the song has " +
                     std::to_string(channelCount) + ")";
            return false;
        }
    }
    return true;
}

} // namespace korvanthe
