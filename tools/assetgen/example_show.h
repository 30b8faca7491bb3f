// The example show that "Make your own demo" starts from
// (korvanthe-assetgen --example FOLDER): a short song cut from the
// soundtrack, a short script that uses every effect and command, and the
// demo's own pictures, for an author to change one file at a time.
#pragma once

#include <vector>

#include "tools/assetgen/timeline_script.h"
#include "tools/xm_writer/xm_writer.h"

namespace korvanthe::assetgen {

// The intro, its arpeggio, a drop and the ending of the soundtrack, then its
// closing silence (order 4, looping onto itself): about half a minute.
XmSong makeExampleSong();

// The example's timeline, for makeExampleSong's orders 0 to 3.
std::vector<ScriptLine> makeExampleTimeline();

} // namespace korvanthe::assetgen
