// The demo's timeline, "random.scp": which effect does what at which order
// and row of the song, generated from the same plan as the song.
#pragma once

#include <string>
#include <vector>

namespace korvanthe::assetgen {

struct ScriptLine {
    int order;
    int row;
    std::string effect;  // "random", "flash", "text" or "scroll"
    std::string command; // "resettimer", "texture", "param", "layer", "start" or "stop"
    int p1 = 0;
    int p2 = 0;
    int p3 = 0;
};

// Every entry, ordered by song position; entries of one position keep the
// order in which they must fire.
std::vector<ScriptLine> makeTimeline();

// The script file: one entry per line, "order:row effect command p1 p2 p3".
std::string formatScript(const std::vector<ScriptLine>& lines);

} // namespace korvanthe::assetgen
