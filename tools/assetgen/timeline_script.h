// The demo's timeline, "random.scp": which effect does what at which order
// and row of the song, generated from the same plan as the song.
#pragma once

#include <string>
#include <vector>

namespace korvanthe::assetgen {

// Texture slots as the demo fills them, one per picture in PictureLayouts'
// order. The text effect draws slot SlotIntro + step, the number of "param"
// entries it has been given.
enum Slot {
    SlotGridTile = 0,  // gridtile.tga
    SlotIntro = 1,     // picture0.raw
    SlotCode = 2,      // picture1.raw
    SlotCredits = 3,   // picture2.raw
    SlotTitle = 4,     // korvanthe.raw
    SlotTallStrip = 5, // tallstrip.raw
    SlotGreetings = 6, // random.raw
};

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
