#include "tools/assetgen/timeline_script.h"

#include <algorithm>
#include <initializer_list>

#include "tools/assetgen/song_plan.h"

namespace korvanthe::assetgen {

namespace {

// Layers: the scroll at the bottom, the lattice above it, the text above
// that, the flash on top. Any layer past 31 hides an effect without
// stopping its clock.
//
// Everything is drawn additively, so a picture with words is shown only over
// black: the lattice and the scroll leave while it is up. And no more than
// three flashes come in any one second (photosensitive viewers): the flash
// marks a bar or a drop, never every hit of a roll, and never the arrival
// of a picture, whose zoom would be lost under the white.
constexpr int LayerScroll = 1;
constexpr int LayerLattice = 2;
constexpr int LayerAboveLattice = 3;
constexpr int LayerText = 5;
constexpr int LayerFlash = 9;
constexpr int LayerHidden = 40;

class Timeline {
  public:
    explicit Timeline(std::vector<ScriptLine>& lines) : lines_(lines) {}
    void at(int order, int row) {
        order_ = order;
        row_ = row;
    }
    void add(const char* effect, const char* command, int p1 = 0, int p2 = 0) {
        lines_.push_back({order_, row_, effect, command, p1, p2, 0});
    }
    // The white flash, restarted.
    void flash() { add("flash", "resettimer"); }
    // The text zooms in with its next picture.
    void nextText() {
        add("text", "param");
        showText();
    }
    void showText() {
        add("text", "resettimer");
        add("text", "start");
    }
    void scroll(int slot, int layer = LayerScroll) {
        add("scroll", "texture", slot);
        add("scroll", "layer", layer);
        add("scroll", "resettimer");
        add("scroll", "start");
    }
    // The lattice in view again; with `approach` the camera rushes in from afar.
    void lattice(bool approach, int layer = LayerLattice) {
        add("random", "layer", layer);
        add("random", "param", 0, approach ? 1 : 0);
        add("random", "resettimer");
    }
    void hideLattice() { add("random", "layer", LayerHidden); }
    void hideScroll() { add("scroll", "layer", LayerHidden); }
    // Words on black: nothing else stays on screen under them.
    void wordsAlone(bool nextPicture) {
        hideLattice();
        hideScroll();
        if (nextPicture) {
            nextText();
        } else {
            showText();
        }
    }

  private:
    std::vector<ScriptLine>& lines_;
    int order_ = 0;
    int row_ = 0;
};

void flashRows(Timeline& t, int order, std::initializer_list<int> rows) {
    for (int row : rows) {
        t.at(order, row);
        t.flash();
    }
}

void choreograph(Timeline& t, int order, const Section& section) {
    switch (section.part) {
    case Part::Intro:
        break;
    case Part::IntroArp:
        // The arpeggio enters: the two intro lines, each on its own.
        t.at(order, 0);
        t.wordsAlone(false);
        t.at(order, 28);
        t.add("text", "stop");
        t.lattice(false);
        t.at(order, 32);
        t.wordsAlone(true);
        t.at(order, 60);
        t.add("text", "stop");
        t.lattice(true);
        break;
    case Part::Build:
        // The kick: the camera rushes in again; the credits from the second bar.
        t.at(order, 0);
        t.flash();
        t.lattice(true);
        t.at(order, 16);
        t.wordsAlone(true);
        flashRows(t, order, {32, 48});
        break;
    case Part::BuildRoll:
        // The roll: the grid scrolls alone, faster flashes, then darkness.
        t.at(order, 16);
        t.add("text", "stop");
        t.scroll(SlotGridTile);
        flashRows(t, order, {16, 32, 40});
        t.at(order, 44);
        t.hideScroll();
        break;
    case Part::Drop:
        if (order == 4) {
            // The first drop: the title arrives out of the dark, then the
            // lattice rushes in under the hook.
            t.at(order, 0);
            t.add("scroll", "stop");
            t.wordsAlone(true);
            t.at(order, 32);
            t.add("text", "stop");
            t.lattice(true);
            flashRows(t, order, {16, 32, 48});
        } else if (section.variation == 0) {
            // The hook comes back: so does the title, briefly, alone.
            t.at(order, 0);
            t.wordsAlone(false);
            t.at(order, 16);
            t.add("text", "stop");
            t.flash();
            t.lattice(true, LayerAboveLattice);
            t.scroll(SlotTallStrip);
            flashRows(t, order, {32, 48});
        } else if (section.variation == 1) {
            // The strip runs under a steady lattice.
            t.at(order, 0);
            t.flash();
            t.scroll(SlotTallStrip);
            t.at(order, 32);
            t.add("scroll", "texture", SlotGridTile);
            flashRows(t, order, {16, 32, 48});
        } else if (section.variation == 2) {
            // The second drop: the title scrolls through, alone, for half of
            // each; the lattice takes the other half.
            const bool titleFirst = order != 13;
            t.at(order, 0);
            t.flash();
            if (titleFirst) {
                t.hideLattice();
                t.scroll(SlotTitle);
            } else {
                t.lattice(false);
                t.scroll(SlotTallStrip);
            }
            t.at(order, 32);
            t.flash();
            if (titleFirst) {
                t.lattice(true, LayerAboveLattice);
                t.scroll(SlotGridTile);
            } else {
                t.hideLattice();
                t.scroll(SlotTitle);
            }
            flashRows(t, order, {16, 48});
        } else {
            // The grid tile and the strip in turn, over a lattice seen from
            // afar again.
            t.at(order, 0);
            t.flash();
            t.lattice(true);
            t.scroll(SlotGridTile);
            t.at(order, 32);
            t.add("scroll", "texture", SlotTallStrip);
            flashRows(t, order, {16, 32, 48});
        }
        break;
    case Part::DropFill:
        // The lattice alone; everything stops with the band, and the roll
        // gets two flashes.
        t.at(order, 0);
        t.flash();
        t.add("scroll", "stop");
        t.lattice(false);
        flashRows(t, order, {16, 32});
        t.at(order, 56);
        t.hideLattice();
        flashRows(t, order, {56, 60});
        break;
    case Part::Groove:
        t.at(order, 0);
        if (section.variation == 0) {
            // Half time: the strip over the lattice, then the grid.
            t.lattice(true);
            t.scroll(SlotTallStrip, LayerAboveLattice);
            t.at(order, 32);
            t.add("scroll", "texture", SlotGridTile);
        } else {
            t.add("scroll", "texture", SlotGridTile);
            // The credits roll by once more, alone.
            t.at(order, 32);
            t.hideLattice();
            t.scroll(SlotCredits);
        }
        // Flashes on the half-time backbeat.
        flashRows(t, order, {8, 24, 40, 56});
        break;
    case Part::Breakdown:
        t.at(order, 0);
        if (section.variation == 0) {
            // No drums: the tall strip, still and large, alone; no flash.
            t.add("scroll", "stop");
            t.wordsAlone(true);
            t.at(order, 48);
            t.add("text", "stop");
            t.lattice(false);
        } else {
            // The scroll moves under the lattice, which now lies on top.
            t.lattice(false, LayerAboveLattice);
            t.scroll(SlotTallStrip);
            t.at(order, 32);
            t.lattice(true, LayerAboveLattice);
            t.at(order, 48);
            t.add("scroll", "texture", SlotGridTile);
        }
        break;
    case Part::FinalBuild:
        t.at(order, 0);
        t.flash();
        t.add("scroll", "texture", SlotGridTile);
        flashRows(t, order, {32, 40, 48});
        t.at(order, 48);
        t.add("scroll", "stop");
        t.at(order, 56);
        t.hideLattice();
        break;
    case Part::Outro:
        // The hook once more, softly: a last, slow flight into the lattice.
        t.at(order, 0);
        t.flash();
        t.add("scroll", "stop");
        t.lattice(true);
        t.at(order, 32);
        t.lattice(false, LayerAboveLattice);
        t.scroll(SlotTallStrip);
        break;
    case Part::Ending:
        // The closing picture, the greetings, arrives with the last chord and
        // stays through the silence after it.
        t.at(order, 0);
        t.add("scroll", "stop");
        t.wordsAlone(true);
        break;
    }
}

} // namespace

std::vector<ScriptLine> makeTimeline() {
    std::vector<ScriptLine> lines;
    Timeline t(lines);
    // Start-up: layers, and the lattice flying in out of the dark.
    t.at(0, 0);
    t.add("scroll", "layer", LayerScroll);
    t.add("text", "layer", LayerText);
    t.add("flash", "layer", LayerFlash);
    t.add("flash", "start");
    t.add("random", "layer", LayerLattice);
    t.add("random", "param", 0, 1);
    t.add("random", "resettimer");
    t.add("random", "start");

    const std::vector<Section>& plan = songPlan();
    for (size_t order = 0; order < plan.size(); ++order) {
        choreograph(t, static_cast<int>(order), plan[order]);
    }
    std::stable_sort(lines.begin(), lines.end(), [](const ScriptLine& a, const ScriptLine& b) {
        return a.order != b.order ? a.order < b.order : a.row < b.row;
    });
    return lines;
}

std::string formatScript(const std::vector<ScriptLine>& lines) {
    std::string text;
    for (const ScriptLine& line : lines) {
        text += std::to_string(line.order) + ":" + std::to_string(line.row) + " " + line.effect +
                " " + line.command + " " + std::to_string(line.p1) + " " + std::to_string(line.p2) +
                " " + std::to_string(line.p3) + "\n";
    }
    return text;
}

} // namespace korvanthe::assetgen
