// The options that `render` and `play` share: the output rate, where the song
// starts, how often it plays and which channels sound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "module/module.h"
#include "tools/xm/commands.h"

namespace korvanthe {

constexpr int32_t DefaultRate = 44100;
constexpr int32_t LowestRate = 8000;
constexpr int32_t HighestRate = 192000;
constexpr int32_t MostRepeats = 1000;

struct PlaybackOptions {
    int32_t sampleRate = DefaultRate;
    int32_t startOrder = 0; // order entry as the positions log and play show it (0 first)
    int32_t repeats = 1;    // times the song plays through
    uint32_t muted = 0;     // bit i: channel i + 1, as trackers number channels
    uint32_t solo = 0;      // nonzero: only these channels sound
};

// The channels that are silenced: the muted ones and, with a solo list, all
// that are not in it.
inline uint32_t silencedChannels(const PlaybackOptions& options) {
    return options.muted | (options.solo != 0 ? ~options.solo : 0u);
}

// One line per option, for the commands' help.
extern const char* const PlaybackOptionsHelp;

// When arguments[index] is one of the shared options, takes it and its value
// (moving index onto the value) and gives 0, or the exit code of a usage
// error; gives -1 for any other word.
int takePlaybackOption(const CommandArguments& arguments, size_t& index, PlaybackOptions& options,
                       const XmCommand& command);

// "1,3-5" as a channel mask (bit 0 channel 1); false for anything else,
// including channels outside 1..32.
bool parseChannelList(const std::string& text, uint32_t& channels);

// Whether the options fit the song: a start order within its order list and
// channels it has. False with a one-line reason.
bool playbackOptionsFit(const Module& song, const PlaybackOptions& options, std::string& reason);

} // namespace korvanthe
