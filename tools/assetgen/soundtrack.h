// The demo's song, "soundtrack.xm", composed from the song plan.
#pragma once

#include "tools/xm_writer/xm_writer.h"

namespace korvanthe::assetgen {

constexpr int SoundtrackChannels = 12;
constexpr int SoundtrackSpeed = 6;
constexpr int SoundtrackBpm = 128;

// The whole song: header, orders, patterns and instruments.
XmSong makeSoundtrack();

} // namespace korvanthe::assetgen
