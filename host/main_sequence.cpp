#include "host/main_sequence.h"

#include <memory>
#include <new>
#include <span>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <vector>

#include "audio/player.h"
#include "host/author_mode.h"
#include "host/data_files.h"
#include "host/images.h"
#include "host/quit_request.h"
#include "host/textures.h"
#include "host/window.h"
#include "platform/clock.h"
#include "timeline/effect_registry.h"
#include "timeline/flash_effect.h"
#include "timeline/random_effect.h"
#include "timeline/script_reader.h"
#include "timeline/scroll_effect.h"
#include "timeline/text_effect.h"
#include "timeline/timeline_update.h"

namespace korvanthe {

namespace {

constexpr uint32_t StartDelayMilliseconds = 1000;
// The wait before the song is cut into slices, so that a quit signal ends it
// within a slice. Counted, not measured: on the headless backend's virtual
// clock no time passes while the sequence waits.
constexpr uint32_t StartDelaySlices = 20;

// The four effects in creation order, which is also the order of their
// destruction. A null entry is an effect that could not be allocated.
struct DemoEffects {
    RandomEffect* random = nullptr;
    FlashEffect* flash = nullptr;
    TextEffect* text = nullptr;
    ScrollEffect* scroll = nullptr;
};

DemoEffects createEffects() {
    DemoEffects effects;
    effects.random = new (std::nothrow) RandomEffect();
    effects.flash = new (std::nothrow) FlashEffect();
    effects.text = new (std::nothrow) TextEffect();
    effects.scroll = new (std::nothrow) ScrollEffect();
    return effects;
}

// Registry order decides the delivery order of script events and the drawing
// order within a layer: random, flash, text, scroll.
void registerEffects(const DemoEffects& effects) {
    if (effects.random != nullptr) {
        registerEffect(*effects.random, "random");
    }
    if (effects.flash != nullptr) {
        registerEffect(*effects.flash, "flash");
    }
    if (effects.text != nullptr) {
        registerEffect(*effects.text, "text");
    }
    if (effects.scroll != nullptr) {
        registerEffect(*effects.scroll, "scroll");
    }
}

void destroyEffects(DemoEffects& effects) {
    // The registry would otherwise keep pointers to the freed objects.
    clearEffectRegistry();
    delete effects.random;
    delete effects.flash;
    delete effects.text;
    delete effects.scroll;
    effects = DemoEffects{};
}

bool readPicture(const PictureFile& picture, const std::string& path, std::span<uint32_t> pixels) {
    if (picture.reader == PictureReader::Targa) {
        return readTarga(path.c_str(), pixels);
    }
    return readRawRGB(path.c_str(), pixels, picture.width, picture.height);
}

// For the sync measurement (scripts/measure-sync.sh) only: with
// KORVANTHE_POSITION_LOG=FILE, every frame appends "NANOSECONDS ORDER ROW",
// the monotonic clock when the frame read the position and what it read.
// Line-buffered: a quit signal ends the demo without flushing its files.
// Off, it costs one null test a frame.
void logPosition(int32_t order, int32_t row) {
    static std::FILE* const log = [] {
        const char* path = std::getenv("KORVANTHE_POSITION_LOG");
        std::FILE* file = path != nullptr && path[0] != '\0' ? std::fopen(path, "w") : nullptr;
        if (file != nullptr) {
            std::setvbuf(file, nullptr, _IOLBF, 0);
        }
        return file;
    }();
    if (log != nullptr) {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        std::fprintf(log, "%lld %d %d\n",
                     static_cast<long long>(
                         std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()),
                     order, row);
    }
}

// False when a quit signal cut the wait short.
bool waitBeforeTheSong() {
    for (uint32_t slice = 0; slice < StartDelaySlices; ++slice) {
        if (quitRequested()) {
            return false;
        }
        platformSleep(StartDelayMilliseconds / StartDelaySlices);
    }
    return !quitRequested();
}

// The player goes first (its thread stops), then the window with its
// context, and only then the effects: no effect runs without a context.
void shutDown(DemoEffects& effects) {
    stopAuthorMode();
    playerStop();
    closeWindow();
    forgetPictures();
    destroyEffects(effects);
}

void callHook(const std::function<void(int64_t)>& hook, int64_t frame) {
    if (hook) {
        hook(frame);
    }
}

} // namespace

DemoFilePaths::DemoFilePaths() {
    for (size_t i = 0; i < PictureFiles.size(); ++i) {
        pictures[i] = PictureFiles[i].fileName;
    }
}

DemoFilePaths findDemoFiles(const DataFileLookup& lookup) {
    if (!lookup.folder.empty()) {
        // One folder, and nothing else: the show being made.
        DemoFilePaths paths;
        paths.song = (lookup.folder / songFileName).string();
        paths.script = (lookup.folder / scriptFileName).string();
        for (size_t i = 0; i < PictureFiles.size(); ++i) {
            paths.pictures[i] = (lookup.folder / PictureFiles[i].fileName).string();
        }
        return paths;
    }
    std::vector<std::string> names{songFileName, scriptFileName};
    for (const PictureFile& picture : PictureFiles) {
        names.push_back(picture.fileName);
    }
    std::error_code error;
    const std::filesystem::path working = std::filesystem::current_path(error);
    const DataFileSearch search = findDataFiles(names, working, lookup.executableFolder);
    DemoFilePaths paths;
    paths.song = search.files[0].path;
    paths.script = search.files[1].path;
    for (size_t i = 0; i < PictureFiles.size(); ++i) {
        paths.pictures[i] = search.files[2 + i].path;
    }
    if (lookup.report) {
        for (const std::string& line : describeDataFileSearch(search)) {
            std::fprintf(stderr, "%s: %s\n", lookup.programName.c_str(), line.c_str());
        }
    }
    return paths;
}

bool loadPictures(const DemoFilePaths& paths) {
    bool complete = true;
    for (size_t i = 0; i < PictureFiles.size(); ++i) {
        const PictureFile& picture = PictureFiles[i];
        const size_t count =
            static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
        // Zero-filled, so that pixels a short file does not hold stay black.
        std::unique_ptr<uint32_t[]> pixels(new (std::nothrow) uint32_t[count]());
        if (!pixels) {
            // Without memory for the pixels the slot stays empty (name 0):
            // the effects then draw their plain colour instead of the picture.
            complete = false;
            continue;
        }
        const std::span<uint32_t> view(pixels.get(), count);
        complete = readPicture(picture, paths.pictures[i], view) && complete;
        setPicture(picture.slot, view, picture.width, picture.height);
    }
    return complete;
}

namespace {

// The sequence between its start and its finish: one for the program.
struct RunningSequence {
    DemoEffects effects;
    MainSequenceHooks hooks;
    int64_t framesDrawn = 0; // frame 0 included; the next frame's number
};

RunningSequence running;

} // namespace

bool startMainSequence(int& status, const MainSequenceHooks& hooks, const DataFileLookup& lookup) {
    running = RunningSequence{};
    running.hooks = hooks;
    DemoEffects& effects = running.effects;
    effects = createEffects();
    const bool author = authorSettings().enabled;
    // Author mode works in a window; Space still makes it fullscreen.
    if (!createDisplay(DisplayWidth, DisplayHeight, DisplayBits, displayTitle, !author)) {
        destroyEffects(effects);
        status = ExitNoDisplay;
        return false;
    }
    // Looked up once the window stands: without a display, the one line that
    // says so is all the user gets.
    const DemoFilePaths paths = findDemoFiles(lookup);
    // A song that does not load is not reported: the demo then runs silent
    // and the position stays at 0:0.
    playerLoad(paths.song.c_str());
    loadPictures(paths);
    registerEffects(effects);
    resetAllEffects();
    loadScript(paths.script.c_str());
    if (author) {
        // No second's wait: the author came to work on the show.
        if (!startAuthorMode(paths)) {
            shutDown(effects);
            status = ExitBadStart;
            return false;
        }
    } else if (!waitBeforeTheSong()) {
        shutDown(effects);
        status = ExitEnded;
        return false;
    }
    if (running.hooks.beforePlay) {
        running.hooks.beforePlay();
    }
    playerPlay();

    // The entries at 0:0 fire before the first query, even before the song
    // is audible.
    callHook(running.hooks.beforeFrame, 0);
    if (author) {
        authorFrame();
    } else if (running.hooks.position) {
        int32_t order = 0;
        int32_t row = 0;
        running.hooks.position(order, row);
        updateFrame(order, row);
    } else {
        updateFrame(0, 0);
    }
    callHook(running.hooks.afterFrame, 0);
    running.framesDrawn = 1;
    return true;
}

bool stepMainSequence() {
    // Each pass shows the frame drawn in the pass before and draws the next.
    if (!pumpFrame()) {
        return false;
    }
    const int64_t frame = running.framesDrawn;
    callHook(running.hooks.beforeFrame, frame);
    if (authorSettings().enabled) {
        authorFrame();
    } else {
        // Two separate queries, order first: the pair may straddle a block
        // boundary, and the timeline simply looks the pair up.
        int32_t order = 0;
        int32_t row = 0;
        if (running.hooks.position) {
            running.hooks.position(order, row);
        } else {
            order = playerCurrentOrder();
            row = playerCurrentRow();
        }
        logPosition(order, row);
        updateFrame(order, row);
    }
    callHook(running.hooks.afterFrame, frame);
    ++running.framesDrawn;
    return true;
}

int64_t mainSequenceFramesDrawn() {
    return running.framesDrawn;
}

int finishMainSequence() {
    // A window lost in a toggle that could not open the other one ended
    // the loop, not the user.
    const bool windowLost = !windowState.renderContextExists;
    shutDown(running.effects);
    running = RunningSequence{};
    return windowLost ? ExitNoDisplay : ExitEnded;
}

int runMainSequence(const MainSequenceHooks& hooks, const DataFileLookup& lookup) {
    int status = ExitEnded;
    if (!startMainSequence(status, hooks, lookup)) {
        return status;
    }
    while (stepMainSequence()) {
    }
    return finishMainSequence();
}

} // namespace korvanthe
