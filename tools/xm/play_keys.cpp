#include "tools/xm/play_keys.h"

#include <cstring>

namespace korvanthe {

namespace {

constexpr char Escape = 27;

struct Sequence {
    const char* bytes; // after the Escape
    PlayKey key;
};

// What xterm, the Linux console and their kin send.
constexpr Sequence Sequences[] = {
    {"[A", PlayKey::PreviousOrder}, {"OA", PlayKey::PreviousOrder},
    {"[B", PlayKey::NextOrder},     {"OB", PlayKey::NextOrder},
    {"[C", PlayKey::Forward},       {"OC", PlayKey::Forward},
    {"[D", PlayKey::Back},          {"OD", PlayKey::Back},
    {"[5~", PlayKey::PreviousOrder}, {"[6~", PlayKey::NextOrder},
    {"[H", PlayKey::Start},         {"OH", PlayKey::Start},
    {"[1~", PlayKey::Start},        {"[7~", PlayKey::Start},
};

PlayKey plainKey(char key) {
    switch (key) {
    case 'q':
    case 'Q':
        return PlayKey::Quit;
    case ' ':
        return PlayKey::Pause;
    case 'l':
    case 'L':
        return PlayKey::LoopPattern;
    case 'a':
    case 'A':
        return PlayKey::LoopFrom;
    case 'b':
    case 'B':
        return PlayKey::LoopTo;
    case 'h':
    case 'H':
    case '?':
        return PlayKey::Help;
    default:
        return PlayKey::None;
    }
}

} // namespace

PlayKey decodePlayKey(const char* text, int length, bool final, int* used) {
    *used = 0;
    if (length <= 0) {
        return PlayKey::None;
    }
    if (text[0] != Escape) {
        *used = 1;
        return plainKey(text[0]);
    }
    if (length == 1) {
        *used = final ? 1 : 0;
        return final ? PlayKey::Quit : PlayKey::None;
    }
    const int rest = length - 1;
    bool partial = false;
    for (const Sequence& sequence : Sequences) {
        const int size = static_cast<int>(std::strlen(sequence.bytes));
        if (rest >= size && std::memcmp(text + 1, sequence.bytes, static_cast<size_t>(size)) == 0) {
            *used = 1 + size;
            return sequence.key;
        }
        if (rest < size && std::memcmp(text + 1, sequence.bytes, static_cast<size_t>(rest)) == 0) {
            partial = true;
        }
    }
    if (partial && !final) {
        return PlayKey::None; // wait for the rest
    }
    // A sequence play does not know: passed over up to its last byte (a
    // letter or ~), or the Escape alone when something else follows.
    if (text[1] == '[' || text[1] == 'O') {
        int end = 2;
        while (end < length && !((text[end] >= '@' && text[end] <= '~') && text[end] != '[')) {
            ++end;
        }
        if (end >= length && !final) {
            return PlayKey::None;
        }
        *used = end < length ? end + 1 : length;
        return PlayKey::None;
    }
    *used = 1;
    return PlayKey::Quit;
}

} // namespace korvanthe
