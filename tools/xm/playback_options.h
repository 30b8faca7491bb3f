// The options that `render` and `play` share: the output rate, where the song
// starts, how often it plays and which channels sound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "audio/song_map.h"
#include "audio/song_position.h"
#include "module/module.h"
#include "tools/xm/commands.h"

namespace korvanthe {

constexpr int32_t DefaultRate = 44100;
constexpr int32_t LowestRate = 8000;
constexpr int32_t HighestRate = 192000;
constexpr int32_t MostRepeats = 1000;

struct PlaybackOptions {
    int32_t sampleRate = DefaultRate;
    SongPosition start;  // where the song starts (order 0, row 0 unless --start)
    bool hasEnd = false; // render --end
    SongPosition end;
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

// Whether the options fit the song: channels it has. False with a one-line
// reason. (Whether the song has the start and end positions only its map can
// tell: startSongRender refuses those.)
bool playbackOptionsFit(const Module& song, const PlaybackOptions& options, std::string& reason);

// The one line that says which of the options' positions the song does not
// have and what it has instead ("--start 9:0: order 9 is not in the song:
// its orders are 0 to 7").
std::string positionRefusalLine(const SongMap& map, const Module& song,
                                const PlaybackOptions& options, PositionRefusal refusal);

// Reads a position option's value (audio/song_position.h) into position;
// gives 0 or the exit code of a usage error.
int takePositionValue(const std::string& option, const std::string& value, SongPosition& position,
                      const XmCommand& command);

} // namespace korvanthe
