// A folder holding a show of one's own (the song, the script and the seven
// pictures, under the names the demo reads), checked before it is published:
// the web site packs exactly these files, and a show that reads with
// warnings would play differently from what its author saw.
#pragma once

#include <filesystem>
#include <string>

namespace korvanthe {

// The first thing wrong with the show in `folder`, as one line naming the
// file and the reason ("show/picture1.raw: a 512 x 256 raw picture is 393216
// bytes; this file has 1000", "show/random.scp:3: expected ..."); empty when
// every file is there and reads without a warning. In the demo's order: the
// song, the script, then the pictures.
std::string showFolderProblem(const std::filesystem::path& folder);

} // namespace korvanthe
