// The keys of `korvanthe-xm play`, read from the terminal without waiting for
// Enter: the arrow keys, Page Up and Down and Home arrive as escape sequences
// (or, on Windows, as two codes) and come out as one key each.
#pragma once

#include <memory>

namespace korvanthe {

enum class PlayKey {
    None,
    Quit,          // q, Escape
    Pause,         // Space
    Back,          // Left: 5 seconds back
    Forward,       // Right: 5 seconds on
    PreviousOrder, // Page Up, Up
    NextOrder,     // Page Down, Down
    Start,         // Home
    LoopPattern,   // l: loop the pattern heard (again: stop looping)
    LoopFrom,      // a: the loop's start here
    LoopTo,        // b: the loop's end here
    Help,          // h, ?
};

// While it lives, the terminal hands keys over one by one and unechoed; the
// terminal's own settings come back when it goes. Without a terminal on the
// standard input there are no keys.
class PlayKeys {
  public:
    PlayKeys();
    ~PlayKeys();
    PlayKeys(const PlayKeys&) = delete;
    PlayKeys& operator=(const PlayKeys&) = delete;

    // Whether keys are read (the standard input is a terminal).
    bool active() const;

    // The next key typed, None when there is none yet. Never waits. A lone
    // Escape is Quit; one that begins a sequence is part of that key; keys
    // play does not know are passed over.
    PlayKey next();

  private:
    struct Terminal;
    std::unique_ptr<Terminal> terminal_;
};

// The key that the bytes at the start of text[0..length) stand for, as a
// terminal sends them, and how many bytes it took (0: an incomplete escape
// sequence that needs more). A lone Escape only counts as one when nothing
// follows it (final). Pure, for the tests.
PlayKey decodePlayKey(const char* text, int length, bool final, int* used);

} // namespace korvanthe
