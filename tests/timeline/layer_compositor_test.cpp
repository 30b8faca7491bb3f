// The compositor: black without effects, layers bottom to top, registration
// order within a layer, and each effect's clock.
#include "timeline/layer_compositor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gl.h"
#include "tests/timeline/render_fixture.h"
#include "tests/timeline/timeline_fixture.h"
#include "timeline/script_reader.h"
#include "timeline/timeline_update.h"

namespace korvanthe {
namespace {

using Log = std::vector<std::string>;

// Paints the whole screen opaque and logs its name: the last drawn is seen.
class PaintEffect final : public Effect {
  public:
    PaintEffect(uint32_t colour, Log& log) : colour_(colour), log_(&log) {}
    void reset() override {}
    void handleEvent(const EffectEvent&) override {}
    void render() override {
        log_->push_back(name);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
        glDisable(GL_DEPTH_TEST);
        glColor3ub(colour_ >> 16, colour_ >> 8, colour_);
        glRecti(-1, -1, 1, 1);
    }

  private:
    uint32_t colour_;
    Log* log_;
};

using LayerCompositor = testing::RenderTest;

TEST_F(LayerCompositor, NoActiveEffectGivesBlack) {
    Log log;
    PaintEffect idle(0xFFFFFF, log);
    registerEffect(idle, "idle"); // registered, never started
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    drawLayers();
    std::vector<uint32_t> pixels = frame();
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0u), 640 * 480);
    EXPECT_TRUE(log.empty());
}

TEST_F(LayerCompositor, LayersBottomToTopRegistrationOrderWithinOne) {
    Log log;
    PaintEffect red(0xFF0000, log), green(0x00FF00, log), blue(0x0000FF, log), white(0xFFFFFF, log),
        grey(0x808080, log);
    for (auto [effect, name, layer] : {std::tuple{&red, "red", 2},
                                       {&green, "green", 1},
                                       {&blue, "blue", 40},
                                       {&white, "white", -1},
                                       {&grey, "grey", 1}}) {
        registerEffect(*effect, name);
        effect->active = true;
        effect->layer = layer;
        effect->elapsed = 777;
    }
    drawLayers();
    EXPECT_EQ(log, (Log{"green", "grey", "red"}));
    EXPECT_EQ(readPixel(320, 240), 0xFF0000u);
    EXPECT_EQ(blue.elapsed, 777); // never drawn, never timed
    EXPECT_EQ(white.elapsed, 777);
    red.layer = 0; // as a "layer" command would: now under layer 1
    log.clear();
    drawLayers();
    EXPECT_EQ(log, (Log{"red", "green", "grey"}));
    EXPECT_EQ(readPixel(320, 240), 0x808080u);
}

TEST_F(LayerCompositor, ElapsedCountsFromResetTimerOrElseFromTheRawClock) {
    Log log;
    PaintEffect timed(0xFF0000, log), untimed(0x00FF00, log);
    registerEffect(timed, "timed");
    registerEffect(untimed, "untimed");
    loadScript(testing::ScriptFile("0:0 timed resettimer 0 0 0\n0:0 timed start 0 0 0\n"
                                   "0:0 untimed start 0 0 0\n0:5 timed resettimer 0 0 0\n")
                   .path.c_str());
    setVirtualMilliseconds(1000);
    updateFrame(0, 0);
    EXPECT_EQ(timed.elapsed, 0);
    EXPECT_EQ(untimed.elapsed, 1000);
    advanceVirtualMilliseconds(123);
    updateFrame(0, 1);
    EXPECT_EQ(timed.elapsed, 123);
    EXPECT_EQ(untimed.elapsed, 1123);
    setVirtualMilliseconds(0xFFFFFF00u);
    updateFrame(0, 5);
    setVirtualMilliseconds(0x100); // the clock wraps
    updateFrame(0, 6);
    EXPECT_EQ(timed.elapsed, 0x200);
}

} // namespace
} // namespace korvanthe
