// Reads the timeline script into the entry table.
#pragma once

#include <string>
#include <vector>

#include "timeline/script_table.h"

namespace korvanthe {

// Replaces the entry table with the entries of the text file at `path`, each
// "order:row name command p1 p2 p3" (whitespace, line breaks included,
// separates the fields). Returns the number of entries stored.
// Bad input never stops the program; each case writes one warning line naming
// the file (and the line) to stderr:
//  - a missing file or one without entries gives an empty timeline;
//  - text that does not fit the format ends the reading there, keeping the
//    entries before it;
//  - an entry whose name or command word is longer than 31 characters is
//    skipped;
//  - entries beyond the 260th are not stored.
// Trailing whitespace after the last entry adds nothing. First thread.
int loadScript(const char* path);

// loadScript's reading into a table of the caller's, with the warning lines
// (each "FILE:LINE: warning: ..." or "FILE: warning: ...") appended to
// `warnings` instead of printed. True when there was nothing to warn about:
// every byte of the file read into entries.
bool readScript(const char* path, ScriptTable& table, std::vector<std::string>& warnings);

} // namespace korvanthe
