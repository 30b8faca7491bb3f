// Author mode: the demo as the tool a demo maker builds a show with. The demo
// runs in a window from the files of one folder, the song moves under keys
// (every move exact, audio/block_streaming.h), the timeline follows each move
// as the song's own time drives it (timeline/song_timeline.h), the window's
// title and a terminal line say where the song is, and an edited script,
// picture or song is taken in while the demo runs.
//
// First thread, inside the main sequence (host/main_sequence.h), which calls
// these in place of its ordinary timeline steps while author mode is on.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "audio/song_position.h"

namespace korvanthe {

struct DemoFilePaths;

struct AuthorSettings {
    bool enabled = false;
    std::filesystem::path folder; // empty: the files the demo finds as usual
    bool hasStart = false;
    SongPosition start; // where the song starts
    // On a web page: its packed files never change and it has no terminal,
    // so neither the watch nor the status line (the page shows the
    // position itself).
    bool onPage = false;
};

// Turns author mode on (or off) for the next runMainSequence.
void setAuthorSettings(const AuthorSettings& settings);
const AuthorSettings& authorSettings();

// The keys, for --help: one line each.
const char* authorKeysHelp();

// After the song is loaded, before it plays: maps the song, starts the
// timeline on it and moves to the start asked for. Gives false, with one line
// on stderr, when the start is a position the song lacks.
bool startAuthorMode(const DemoFilePaths& paths);

// One frame: the keys typed since the last one, a look at the files (a few
// times a second), the timeline brought to the song frame heard now and the
// layers drawn for it, the title and the terminal line. Context current.
void authorFrame();

// Ends it: the terminal line is left with a line end.
void stopAuthorMode();

// What the title shows now ("Korvanthe - 12:32 1:38.2 paused"); for tests.
std::string authorTitle();

} // namespace korvanthe
