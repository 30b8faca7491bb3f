// A place in a song, as a person names one: an order entry and a row, or a
// time from the song's start. Pure values and text; the song map
// (audio/song_map.h) finds the frame a position stands for.
#pragma once

#include <cstdint>
#include <string>

namespace korvanthe {

struct SongPosition {
    enum class Kind : uint8_t {
        OrderRow,     // the first time the song reaches `row` of order entry `order`
        Frame,        // output frame `frames` from the start (at the playing rate)
        Milliseconds, // `milliseconds` from the start: the frame floor(ms x rate / 1000)
    };
    Kind kind = Kind::OrderRow;
    int32_t order = 0;
    int32_t row = 0;
    int64_t frames = 0;
    int64_t milliseconds = 0;

    static SongPosition orderRow(int32_t order, int32_t row) {
        SongPosition position;
        position.order = order;
        position.row = row;
        return position;
    }
    static SongPosition frame(int64_t frames) {
        SongPosition position;
        position.kind = Kind::Frame;
        position.frames = frames;
        return position;
    }
    static SongPosition time(int64_t milliseconds) {
        SongPosition position;
        position.kind = Kind::Milliseconds;
        position.milliseconds = milliseconds;
        return position;
    }
};

// The latest time a position may name: a day, past every song's end, and
// far from overflowing milliseconds x rate.
inline constexpr int64_t LongestMilliseconds = int64_t{24} * 3600 * 1000;

// Reads a position as the tools take it: "ORDER" (row 0 of that order
// entry), "ORDER:ROW", a time "M:SS.s" (minutes, then two digits of seconds
// below 60 and up to three decimals: a colon with decimals is a time, one
// without is an order and a row) or seconds "S.sss" followed by "s" ("83.5s",
// "90s"). Decimal numbers; orders and rows count from 0, as the tools show
// them, up to 255. False, with the position unchanged, for anything else
// (signs, spaces, more than three decimals, times beyond a day).
bool parseSongPosition(const std::string& text, SongPosition& position);

// The position as the tools print it: "12:32" for an order and row, "1:23.500"
// for a time, "3682350 frames" for a frame.
std::string describeSongPosition(const SongPosition& position);

} // namespace korvanthe
