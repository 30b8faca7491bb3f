#include <algorithm>
#include <utility>
#include <vector>

#include "tests/fuzz/fuzz_targets.h"
#include "tests/fuzz/temp_file.h"
#include "timeline/effect_registry.h"
#include "timeline/flash_effect.h"
#include "timeline/random_effect.h"
#include "timeline/script_reader.h"
#include "timeline/script_table.h"
#include "timeline/scroll_effect.h"
#include "timeline/text_effect.h"
#include "timeline/timeline_update.h"

namespace korvanthe::fuzzing {

namespace {

// The stamps carry the low 8 bits of order and row: these are the positions
// the frame loop can ever ask for.
constexpr int32_t AudiblePositions = 256;

struct DemoEffects {
    RandomEffect random;
    FlashEffect flash;
    TextEffect text;
    ScrollEffect scroll;
};

// The demo's four effects under their names, reset as at start-up.
void registerDemoEffects(DemoEffects& effects) {
    clearEffectRegistry();
    registerEffect(effects.random, "random");
    registerEffect(effects.flash, "flash");
    registerEffect(effects.text, "text");
    registerEffect(effects.scroll, "scroll");
    resetAllEffects();
}

bool audible(const ScriptEntry& entry) {
    return entry.order >= 0 && entry.order < AudiblePositions && entry.row >= 0 &&
           entry.row < AudiblePositions;
}

} // namespace

void fuzzScript(const uint8_t* data, size_t size) {
    DemoEffects effects;
    registerDemoEffects(effects);
    const std::string path = writeScratchFile("script.scp", data, size);
    const int stored = loadScript(path.c_str());
    require(stored >= 0 && stored <= MaxScriptEntries && stored == scriptTable.count,
            "entry count");

    // Every position that an entry names, in play order, as the frame loop
    // would meet them (walking all 65536 would only repeat the empty ones).
    std::vector<std::pair<int32_t, int32_t>> positions;
    for (int e = 0; e < scriptTable.count; ++e) {
        const ScriptEntry& entry = scriptTable.entries[e];
        require(entry.name[sizeof(entry.name) - 1] == 0, "name not terminated");
        require(!entry.fired, "entry fired before delivery");
        if (audible(entry)) {
            positions.emplace_back(entry.order, entry.row);
        }
    }
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    deliverScriptEntries(0, 0); // the frame right after playback starts
    for (const auto& [order, row] : positions) {
        deliverScriptEntries(order, row);
    }
    for (int e = 0; e < scriptTable.count; ++e) {
        const ScriptEntry& entry = scriptTable.entries[e];
        require(entry.fired == audible(entry), "an audible entry did not fire, or another did");
    }
    // A second pass finds nothing left to fire.
    const Effect* registered[] = {&effects.random, &effects.flash, &effects.text, &effects.scroll};
    bool activeBefore[4];
    for (int i = 0; i < 4; ++i) {
        activeBefore[i] = registered[i]->active;
    }
    for (const auto& [order, row] : positions) {
        deliverScriptEntries(order, row);
    }
    for (int i = 0; i < 4; ++i) {
        require(registered[i]->active == activeBefore[i], "an entry fired twice");
    }
    clearEffectRegistry();
}

} // namespace korvanthe::fuzzing
