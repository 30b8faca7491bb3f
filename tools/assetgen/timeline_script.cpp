#include "tools/assetgen/timeline_script.h"

#include <algorithm>

#include "tools/assetgen/song_plan.h"

namespace korvanthe::assetgen {

namespace {

// Texture slots as the demo fills them.
enum Slot { SlotGridTile = 0, SlotCredits = 3, SlotTitle = 4, SlotTallStrip = 5 };

// Layers: the lattice at the bottom, the scroll above it, the text above
// that, the flash on top. Any layer past 31 hides an effect without
// stopping its clock.
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
    void scroll(int slot) {
        add("scroll", "texture", slot);
        add("scroll", "resettimer");
        add("scroll", "start");
    }
    // The lattice in view again; with `approach` the camera rushes in from afar.
    void lattice(bool approach) {
        add("random", "layer", LayerLattice);
        add("random", "param", 0, approach ? 1 : 0);
        add("random", "resettimer");
    }

  private:
    std::vector<ScriptLine>& lines_;
    int order_ = 0;
    int row_ = 0;
};

void flashBars(Timeline& t, int order, int fromBar) {
    for (int bar = fromBar; bar < 4; ++bar) {
        t.at(order, bar * RowsPerBar);
        t.flash();
    }
}

void flashAccents(Timeline& t, int order, Part part) {
    for (int row : rollAccentRows(part)) {
        t.at(order, row);
        t.flash();
    }
}

void choreograph(Timeline& t, int order, const Section& section) {
    switch (section.part) {
    case Part::Intro:
        break;
    case Part::IntroArp:
        // The arpeggio enters: the two intro lines.
        t.at(order, 0);
        t.flash();
        t.showText();
        t.at(order, 28);
        t.add("text", "stop");
        t.at(order, 32);
        t.flash();
        t.nextText();
        t.at(order, 60);
        t.add("text", "stop");
        break;
    case Part::Build:
        // The kick: the camera rushes in again, the credits arrive.
        t.at(order, 0);
        t.flash();
        t.lattice(true);
        t.at(order, 4);
        t.nextText();
        flashBars(t, order, 1);
        break;
    case Part::BuildRoll:
        t.at(order, 0);
        t.flash();
        t.at(order, 16);
        t.add("text", "stop");
        t.scroll(SlotGridTile);
        flashAccents(t, order, section.part);
        // Darkness before the drop: only the flashes remain.
        t.at(order, 40);
        t.add("random", "layer", LayerHidden);
        t.at(order, 44);
        t.add("scroll", "layer", LayerHidden);
        break;
    case Part::Drop:
        t.at(order, 0);
        t.flash();
        if (section.variation == 0 || section.variation == 2) {
            t.lattice(false);
        }
        if (order == 4) {
            // The first drop: the title.
            t.add("scroll", "stop");
            t.add("scroll", "layer", LayerScroll);
            t.nextText();
        } else if (section.variation == 1) {
            t.add("text", "stop");
            t.scroll(SlotTallStrip);
            t.at(order, 32);
            t.add("scroll", "texture", SlotGridTile);
        } else if (section.variation == 0) {
            // The hook comes back: so does the title, briefly.
            t.showText();
            t.add("scroll", "texture", SlotTallStrip);
            t.at(order, 16);
            t.add("text", "stop");
        } else if (section.variation == 2) {
            t.scroll(order == 13 ? SlotTallStrip : SlotTitle);
            t.at(order, 32);
            t.add("scroll", "texture", order == 13 ? SlotTitle : SlotGridTile);
        } else {
            t.add("scroll", "texture", SlotGridTile);
            t.at(order, 32);
            t.add("scroll", "texture", SlotTallStrip);
        }
        flashBars(t, order, 1);
        break;
    case Part::DropFill:
        t.at(order, 0);
        t.flash();
        flashBars(t, order, 1);
        // Everything stops with the band; the roll flashes alone.
        t.at(order, 56);
        t.add("random", "layer", LayerHidden);
        t.add("scroll", "stop");
        flashAccents(t, order, section.part);
        break;
    case Part::Groove:
        t.at(order, 0);
        if (section.variation == 0) {
            t.flash();
            t.lattice(true);
            t.add("scroll", "layer", LayerAboveLattice);
            t.scroll(SlotTitle);
            t.at(order, 32);
            t.add("scroll", "texture", SlotTallStrip);
        } else {
            t.add("scroll", "texture", SlotGridTile);
            t.at(order, 32);
            t.add("scroll", "texture", SlotCredits);
            t.at(order, 48);
            t.add("random", "layer", LayerHidden);
        }
        // Flashes on the half-time backbeat.
        for (int bar = 0; bar < 4; ++bar) {
            t.at(order, bar * RowsPerBar + 8);
            t.flash();
        }
        break;
    case Part::Breakdown:
        t.at(order, 0);
        if (section.variation == 0) {
            t.flash();
            t.add("scroll", "stop");
            t.lattice(false);
            t.nextText(); // the tall strip, still and large
            t.at(order, 48);
            t.add("text", "stop");
        } else {
            // The scroll moves under the lattice, which now lies on top.
            t.add("scroll", "layer", LayerScroll);
            t.add("random", "layer", LayerAboveLattice);
            t.scroll(SlotTallStrip);
            t.at(order, 32);
            t.add("random", "param", 0, 1);
            t.add("random", "resettimer");
            t.at(order, 48);
            t.add("scroll", "texture", SlotGridTile);
        }
        break;
    case Part::FinalBuild:
        t.at(order, 0);
        t.flash();
        t.add("scroll", "texture", SlotGridTile);
        flashAccents(t, order, section.part);
        t.at(order, 48);
        t.add("scroll", "stop");
        t.at(order, 56);
        t.add("random", "layer", LayerHidden);
        break;
    case Part::Outro:
        // The greetings, over a last flight into the lattice.
        t.at(order, 0);
        t.flash();
        t.lattice(true);
        t.nextText();
        break;
    case Part::Ending:
        t.at(order, 0);
        t.flash();
        t.at(order, 40);
        t.add("text", "stop");
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
