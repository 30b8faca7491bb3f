// The show as a viewer sees it, without drawing it: the generated timeline
// played against the song's row times, frame by frame, through the demo's own
// reader, delivery and effects, and the whole picture's mean brightness estimated
// from what each effect adds. Also the flash count of a brightness curve,
// by the same rule as scripts/count-flashes.sh applies to captured frames.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/frame_clock.h"
#include "platform/headless/virtual_clock.h"
#include "tests/assetgen/soundtrack_render.h"
#include "tests/support/process_id.h"
#include "timeline/effect_registry.h"
#include "timeline/flash_effect.h"
#include "timeline/random_effect.h"
#include "timeline/script_reader.h"
#include "timeline/scroll_effect.h"
#include "timeline/text_effect.h"
#include "timeline/timeline_update.h"
#include "tools/assetgen/pictures.h"
#include "tools/assetgen/timeline_script.h"

namespace korvanthe::testing {

// One effect's state as the timeline leaves it (the fields the commands set).
struct EffectState {
    bool active = false;
    int layer = 0;
    int64_t startMs = 0;
    int approach = 0; // random
    int step = 0;     // text
    int texture = 0;  // scroll
    bool drawn() const { return active && layer >= 0 && layer <= 31; }
};

struct ShowFrame {
    int order = 0;
    int row = 0;
    int64_t nowMs = 0;
    EffectState random, flash, text, scroll;
};

// Replays `lines` over the rendered song at `fps` as the demo does: the script
// as the generator writes it, read by the demo's reader and delivered to the
// demo's four effects. The position of each frame is the stamp of the block
// sounding at the frame's time. Nothing when the reader refuses any line.
inline std::vector<ShowFrame> replayShow(const std::vector<assetgen::ScriptLine>& lines,
                                         const SoundtrackRender& render, int fps) {
    std::vector<ShowFrame> frames;
    if (render.blocks.empty()) {
        return frames;
    }
    // A name of this process's own: tests of several builds run at once.
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("korvanthe-show-" + std::to_string(processId()) + ".scp");
    {
        std::ofstream file(path, std::ios::binary);
        file << assetgen::formatScript(lines);
    }
    const int entries = loadScript(path.string().c_str());
    std::filesystem::remove(path);
    if (entries != static_cast<int>(lines.size())) {
        return frames;
    }

    RandomEffect random;
    FlashEffect flash;
    TextEffect text;
    ScrollEffect scroll;
    // Registered as the demo registers them, so in slots 0 to 3.
    clearEffectRegistry();
    registerEffect(random, "random");
    registerEffect(flash, "flash");
    registerEffect(text, "text");
    registerEffect(scroll, "scroll");
    resetAllEffects();
    auto stateOf = [](const Effect& effect, int slot) {
        EffectState state;
        state.active = effect.active;
        state.layer = effect.layer;
        state.startMs = effectRegistry.effectStartTime[static_cast<size_t>(slot)];
        state.texture = effect.texture;
        return state;
    };

    const int64_t songFrames = static_cast<int64_t>(render.pcm.size() / 2);
    size_t block = 0;
    for (int64_t frame = 0; soundFrameOfVideoFrame(frame, fps) < songFrames; ++frame) {
        const int64_t soundFrame = soundFrameOfVideoFrame(frame, fps);
        while (block + 1 < render.blocks.size() &&
               render.blocks[block + 1].firstFrame <= soundFrame) {
            ++block;
        }
        ShowFrame state;
        state.order = render.blocks[block].order;
        state.row = render.blocks[block].row;
        state.nowMs = clockOfVideoFrame(frame, fps);
        setVirtualMilliseconds(clockOfVideoFrame(frame, fps));
        // The first frame also delivers the entries at 0:0, as the demo's
        // first call does before it asks for a position.
        if (frame == 0) {
            deliverScriptEntries(0, 0);
        }
        deliverScriptEntries(state.order, state.row);
        state.random = stateOf(random, 0);
        state.random.approach = random.approach;
        state.flash = stateOf(flash, 1);
        state.text = stateOf(text, 2);
        state.text.step = text.step;
        state.scroll = stateOf(scroll, 3);
        frames.push_back(state);
    }
    // The effects go out of scope here; the registry must not keep them.
    clearEffectRegistry();
    return frames;
}

// What the pictures add to the mean brightness (luma, 0 to 1).
class ShowBrightness {
  public:
    ShowBrightness() {
        const std::vector<assetgen::PictureFile> files = assetgen::makePictures();
        for (size_t slot = 0; slot < files.size() && slot < pictureMean_.size(); ++slot) {
            // A Targa has an 18-byte header and stores blue first; the others are raw RGB.
            const bool targa = files[slot].fileName.ends_with(".tga");
            const std::vector<uint8_t>& bytes = files[slot].bytes;
            std::vector<double> luma;
            for (size_t i = targa ? 18 : 0; i + 2 < bytes.size(); i += 3) {
                const double red = bytes[i + (targa ? 2 : 0)] / 255.0;
                const double blue = bytes[i + (targa ? 0 : 2)] / 255.0;
                luma.push_back(0.299 * red + 0.587 * bytes[i + 1] / 255.0 + 0.114 * blue);
            }
            double plainSum = 0;
            for (double value : luma) {
                plainSum += value;
            }
            pictureMean_[slot] = luma.empty() ? 0 : plainSum / luma.size();
            for (int count = 1; count <= 10; ++count) {
                // The zoom's copies all cover the screen: their sum scales the
                // picture by count x (10 - count) / 10, clipped at white.
                const double gain = count * (10 - count) * 0.1;
                double sum = 0;
                for (double value : luma) {
                    sum += std::min(1.0, value * gain);
                }
                zoomMean_[slot][static_cast<size_t>(count)] = luma.empty() ? 0 : sum / luma.size();
            }
        }
    }

    // The lattice's mean, about a fifth of full scale; while the camera is
    // still beyond the far plane of its rush it shows nothing.
    static constexpr double latticeMean = 0.2;

    double at(const ShowFrame& frame) const {
        double level = 0;
        if (frame.random.drawn()) {
            const int64_t t = frame.nowMs - frame.random.startMs;
            level += frame.random.approach != 0 && t - 1000 < -100 ? 0 : latticeMean;
        }
        if (frame.scroll.drawn() && frame.scroll.texture >= 0 &&
            frame.scroll.texture < static_cast<int>(pictureMean_.size())) {
            level += pictureMean_[static_cast<size_t>(frame.scroll.texture)];
        }
        const int textSlot = assetgen::SlotIntro + frame.text.step;
        if (frame.text.drawn() && frame.text.step >= 0 &&
            textSlot < static_cast<int>(zoomMean_.size())) {
            const int64_t t = frame.nowMs - frame.text.startMs;
            const int count = std::max(1, static_cast<int>(10 - 0.02 * static_cast<double>(t)));
            if (count < 10) {
                level += zoomMean_[static_cast<size_t>(textSlot)][static_cast<size_t>(count)];
            }
        }
        if (frame.flash.drawn()) {
            const double t = static_cast<double>(frame.nowMs - frame.flash.startMs);
            level += std::max(0.0, 1 - 0.004 * t);
        }
        return std::min(1.0, level);
    }

  private:
    std::array<double, assetgen::PictureLayouts.size()> pictureMean_{};
    std::array<std::array<double, 11>, assetgen::PictureLayouts.size()> zoomMean_{};
};

struct FlashCount {
    int most = 0;       // flashes in the worst one-second window
    int64_t mostAt = 0; // its first frame
};

// A flash is a pair of opposing changes of the brightness, each of at least a
// tenth of full scale, the darker state below 0.8. The changes are the legs
// between the turns of the curve, found with a tenth as hysteresis; a window
// of one second holding n such legs holds n / 2 flashes.
inline FlashCount countFlashes(const std::vector<double>& level, int fps) {
    constexpr double step = 0.1;
    std::vector<int64_t> legs;
    if (level.empty()) {
        return {};
    }
    double low = level[0], high = level[0], turn = 0, extreme = 0;
    int direction = 0;
    int64_t extremeAt = 0;
    auto record = [&] {
        if (std::min(turn, extreme) < 0.8) {
            legs.push_back(extremeAt);
        }
    };
    for (size_t i = 1; i < level.size(); ++i) {
        const double v = level[i];
        if (direction == 0) {
            low = std::min(low, v);
            high = std::max(high, v);
            if (v - low >= step) {
                direction = 1, turn = low, extreme = v, extremeAt = static_cast<int64_t>(i);
            } else if (high - v >= step) {
                direction = -1, turn = high, extreme = v, extremeAt = static_cast<int64_t>(i);
            }
        } else if (direction * (v - extreme) > 0) {
            extreme = v, extremeAt = static_cast<int64_t>(i);
        } else if (direction * (extreme - v) >= step) {
            record();
            turn = extreme, direction = -direction, extreme = v,
            extremeAt = static_cast<int64_t>(i);
        }
    }
    if (direction != 0) {
        record();
    }
    FlashCount result;
    size_t first = 0;
    for (size_t j = 0; j < legs.size(); ++j) {
        while (legs[j] - legs[first] >= fps) {
            ++first;
        }
        const int count = static_cast<int>((j - first + 1) / 2);
        if (count > result.most) {
            result.most = count;
            result.mostAt = legs[first];
        }
    }
    return result;
}

} // namespace korvanthe::testing
