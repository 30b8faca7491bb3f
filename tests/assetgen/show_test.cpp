// The generated show, replayed frame by frame at 60 Fps against the song's
// row times: no more than three flashes in any one second, words never over
// the lattice or the scroll, and the closing picture at the end.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "tests/assetgen/show_replay.h"
#include "tools/assetgen/song_plan.h"
#include "tools/assetgen/timeline_script.h"

namespace korvanthe {
namespace {

constexpr int Fps = 60;
// The text step that shows the greetings, which close the show.
constexpr int ClosingStep = assetgen::SlotGreetings - assetgen::SlotIntro;

const std::vector<testing::ShowFrame>& show() {
    static const std::vector<testing::ShowFrame> frames =
        testing::replayShow(assetgen::makeTimeline(), testing::soundtrackRender(), Fps);
    return frames;
}

TEST(Show, NoMoreThanThreeFlashesInAnySecond) {
    ASSERT_FALSE(show().empty());
    const testing::ShowBrightness brightness;
    std::vector<double> level;
    for (const testing::ShowFrame& frame : show()) {
        level.push_back(brightness.at(frame));
    }
    const testing::FlashCount count = testing::countFlashes(level, Fps);
    const testing::ShowFrame& worst = show()[static_cast<size_t>(count.mostAt)];
    std::printf("at most %d flashes in one second, from %.2f s (%d:%d)\n", count.most,
                static_cast<double>(count.mostAt) / Fps, worst.order, worst.row);
    EXPECT_LE(count.most, 3) << "from " << static_cast<double>(count.mostAt) / Fps << " s, at "
                             << worst.order << ":" << worst.row;
}

TEST(Show, CountsTheFlashesItIsShown) {
    // The rule itself: a flash every 250 ms is four in a second, one every
    // 400 ms is not; changes smaller than a tenth, or between bright states,
    // are no flashes.
    auto curve = [](int periodFrames, double low, double high) {
        std::vector<double> level(static_cast<size_t>(3 * Fps), low);
        for (size_t i = 0; i < level.size(); i += static_cast<size_t>(periodFrames)) {
            for (int k = 0; k < 15 && i + k < level.size(); ++k) {
                level[i + k] = high - (high - low) * k / 15.0;
            }
        }
        return level;
    };
    EXPECT_EQ(testing::countFlashes(curve(15, 0.0, 1.0), Fps).most, 4);
    EXPECT_LE(testing::countFlashes(curve(24, 0.0, 1.0), Fps).most, 3);
    EXPECT_EQ(testing::countFlashes(curve(15, 0.3, 0.38), Fps).most, 0);
    EXPECT_EQ(testing::countFlashes(curve(15, 0.85, 1.0), Fps).most, 0);
}

TEST(Show, WordsAreShownOnlyOverBlack) {
    // Everything is drawn additively: a picture with words is legible only
    // with nothing else under it (the flash passes over everything).
    for (const testing::ShowFrame& frame : show()) {
        if (frame.text.drawn()) {
            ASSERT_FALSE(frame.random.drawn())
                << "lattice under the text at " << frame.order << ":" << frame.row;
            ASSERT_FALSE(frame.scroll.drawn())
                << "scroll under the text at " << frame.order << ":" << frame.row;
        }
        // The title and the credits scroll through on their own too.
        if (frame.scroll.drawn() && (frame.scroll.texture == assetgen::SlotCredits ||
                                     frame.scroll.texture == assetgen::SlotTitle)) {
            ASSERT_FALSE(frame.random.drawn())
                << "lattice under scrolling words at " << frame.order << ":" << frame.row;
        }
    }
}

TEST(Show, EndsOnTheClosingPictureInSilence) {
    ASSERT_FALSE(show().empty());
    const testing::ShowFrame& last = show().back();
    EXPECT_EQ(last.order, assetgen::silenceOrder());
    EXPECT_TRUE(last.text.drawn());
    EXPECT_EQ(last.text.step, ClosingStep);
    EXPECT_FALSE(last.random.drawn());
    EXPECT_FALSE(last.scroll.drawn());
    // The closing picture arrives with the ending and stays from then on.
    const int ending = assetgen::silenceOrder() - 1;
    bool arrived = false;
    for (const testing::ShowFrame& frame : show()) {
        if (frame.text.drawn() && frame.text.step == ClosingStep) {
            if (!arrived) {
                EXPECT_EQ(frame.order, ending);
            }
            arrived = true;
        } else {
            ASSERT_FALSE(arrived) << "the closing picture left at " << frame.order << ":"
                                  << frame.row;
        }
    }
    EXPECT_TRUE(arrived);
}

} // namespace
} // namespace korvanthe
