#include "tools/assetgen/example_show.h"

#include "tools/assetgen/score.h"
#include "tools/assetgen/song_plan.h"
#include "tools/assetgen/soundtrack.h"

namespace korvanthe::assetgen {

namespace {

// The soundtrack's orders the example plays, in its order: each pattern
// ends by running out of rows or by a break to the next order, so any
// sequence of them plays through.
constexpr int ExampleOrders[] = {0, 1, 4, 18};

} // namespace

XmSong makeExampleSong() {
    const XmSong whole = makeSoundtrack();
    XmSong song = whole;
    song.name = "Example";
    song.orders.clear();
    song.patterns.clear();
    for (const int order : ExampleOrders) {
        song.orders.push_back(static_cast<uint8_t>(song.patterns.size()));
        song.patterns.push_back(whole.patterns[whole.orders[static_cast<size_t>(order)]]);
    }
    // The closing silence, its jump back onto itself moved to its new order.
    const auto silence = static_cast<uint8_t>(song.patterns.size());
    song.orders.push_back(silence);
    song.patterns.push_back(whole.patterns[whole.orders[static_cast<size_t>(silenceOrder())]]);
    XmCell& jump = song.patterns.back().at(SilenceRows - 1, ChannelKick);
    jump.parameter = silence;
    song.restartPosition = silence;
    return song;
}

std::vector<ScriptLine> makeExampleTimeline() {
    // Layers: the scroll under the lattice, the text over both, the flash
    // on top; 40 hides an effect without stopping it.
    return {
        // The lattice flies from the start; the flash waits, dark, for its
        // first resettimer.
        {0, 0, "random", "layer", 2},
        {0, 0, "random", "resettimer"},
        {0, 0, "random", "start"},
        {0, 0, "flash", "layer", 9},
        {0, 0, "flash", "start"},
        {0, 0, "text", "layer", 5},
        {0, 0, "scroll", "layer", 1},
        // Halfway through the intro the lattice leaves and the first
        // picture (picture0.raw) zooms in on black.
        {0, 32, "random", "layer", 40},
        {0, 32, "text", "resettimer"},
        {0, 32, "text", "start"},
        // The arpeggio: the picture goes, the lattice rushes in from afar.
        {1, 0, "text", "stop"},
        {1, 0, "random", "layer", 2},
        {1, 0, "random", "param", 0, 1},
        {1, 0, "random", "resettimer"},
        {1, 32, "flash", "resettimer"},
        // The drop: a flash, the tall strip scrolling under the lattice.
        {2, 0, "flash", "resettimer"},
        {2, 0, "scroll", "texture", 5},
        {2, 0, "scroll", "resettimer"},
        {2, 0, "scroll", "start"},
        {2, 32, "flash", "resettimer"},
        {2, 32, "random", "param", 0, 0},
        // The ending: on black, the title (korvanthe.raw, three pictures on
        // from picture0.raw) zooms in and stays.
        {3, 0, "scroll", "stop"},
        {3, 0, "random", "stop"},
        {3, 0, "text", "param"},
        {3, 0, "text", "param"},
        {3, 0, "text", "param"},
        {3, 0, "text", "resettimer"},
        {3, 0, "text", "start"},
    };
}

} // namespace korvanthe::assetgen
