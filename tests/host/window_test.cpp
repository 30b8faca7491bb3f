// The window code against the headless window system: the picture it reads
// back, the frame pump's stop conditions and key table, the fullscreen toggle
// both ways, and every failure's message.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "host/textures.h"
#include "host/window.h"
#include "platform/gl.h"
#include "platform/headless/egl_window.h"
#include "timeline/screen_projection.h"

namespace korvanthe {
namespace {

using Viewport = std::array<GLint, 4>;

Viewport viewport() {
    Viewport box{};
    glGetIntegerv(GL_VIEWPORT, box.data());
    return box;
}

std::vector<std::string> boxTexts() {
    std::vector<std::string> texts;
    for (const HeadlessBox& box : headlessMessageBoxes()) {
        texts.push_back(box.text);
    }
    return texts;
}

// Fills the top `rows` screen rows (y growing downwards) with slot 0's
// texture, or green without one; returns the pixel at the centre of the
// first row.
uint32_t drawTopRows(int rows, bool textured) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    setScreenPixelProjection();
    glDisable(GL_DEPTH_TEST);
    if (textured) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, textures[0]);
        glColor3f(1, 1, 1);
    } else {
        glColor3f(0, 1, 0);
    }
    glBegin(GL_QUADS);
    glVertex2i(0, 0);
    glVertex2i(0, rows);
    glVertex2i(640, rows);
    glVertex2i(640, 0);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    return readPixel(320, 0);
}

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        closeHeadlessContext();
        resetHeadlessWindowSystem();
        windowState = WindowState{};
        forgetPictures();
    }
    void TearDown() override { closeWindow(); }

    static bool open(bool fullscreen) {
        return createDisplay(640, 480, 32, "Korvanthe", fullscreen);
    }
};

TEST_F(WindowTest, OpensAContextThatReadsBackTopRowFirst) {
    ASSERT_TRUE(open(false));
    EXPECT_EQ(viewport(), (Viewport{0, 0, 640, 480}));
    EXPECT_EQ(drawTopRows(10, false), 0x00FF00u);
    std::vector<uint32_t> pixels;
    readPixels(pixels);
    ASSERT_EQ(pixels.size(), 640u * 480u);
    EXPECT_EQ(pixels[9 * 640], 0x00FF00u);
    EXPECT_EQ(pixels[10 * 640], 0u);
    EXPECT_EQ(readPixel(639, 479), 0u);
    EXPECT_TRUE(boxTexts().empty());
}

TEST_F(WindowTest, PumpFrameStopsOnQuitEscapeOrCloseRequest) {
    struct Case {
        const char* what;
        void (*inject)();
        int framesGoingOn; // pumps that return true before the stop
    };
    const Case cases[] = {
        {"quit", [] { injectQuit(); }, 0},
        {"escape down", [] { injectKey(KeyEscape, true); }, 0},
        // The close request posts a quit request that the next pump takes.
        {"close box", [] { injectCloseRequest(); }, 1},
        // One message per pump; a key outside the table is ignored.
        {"escape after other keys",
         [] {
             injectKey('A', true);
             injectKey(300, true);
             injectKey(KeyEscape, true);
         },
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        ASSERT_TRUE(open(false));
        c.inject();
        for (int frame = 0; frame < c.framesGoingOn; ++frame) {
            EXPECT_TRUE(pumpFrame());
        }
        EXPECT_FALSE(pumpFrame());
        TearDown();
    }
    EXPECT_TRUE(windowState.keyDown['A']);
}

TEST_F(WindowTest, EscapeStopsBeforeTheSwapUntilReleased) {
    ASSERT_TRUE(open(false));
    EXPECT_TRUE(pumpFrame()); // nothing waiting: shows a frame
    EXPECT_EQ(headlessSwapCount(), 1);
    injectKey(KeyEscape, true);
    EXPECT_FALSE(pumpFrame()); // the last frame drawn is not shown
    EXPECT_FALSE(pumpFrame()); // still held, no message waiting
    EXPECT_EQ(headlessSwapCount(), 1);
    injectKey(KeyEscape, false);
    EXPECT_TRUE(pumpFrame());
}

TEST_F(WindowTest, ResizeSetsTheViewport) {
    struct Case {
        bool fullscreen;
        int width, height;
        Viewport expected;
    };
    const Case cases[] = {
        {false, 400, 300, {0, 0, 400, 300}},
        {false, 320, 0, {0, 0, 320, 1}}, // a height of 0 counts as 1
        // Fullscreen on a screen of another shape: the picture at full
        // height (or full width when narrower), centred.
        {true, 1920, 1080, {240, 0, 1440, 1080}},
        {true, 1280, 1024, {0, 32, 1280, 960}},
        {true, 640, 480, {0, 0, 640, 480}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        SetUp();
        ASSERT_TRUE(open(c.fullscreen));
        injectResize(c.width, c.height);
        EXPECT_TRUE(pumpFrame());
        EXPECT_EQ(viewport(), c.expected);
        TearDown();
    }
}

TEST_F(WindowTest, SpaceTogglesInPlaceAndBackKeepingTheContext) {
    ASSERT_TRUE(open(true));
    EXPECT_FALSE(headlessCursorShown());
    setPicture(0, std::vector<uint32_t>{0x0000FFu}, 1, 1);
    const unsigned int name = textures[0];
    injectKey(KeySpace, true);
    EXPECT_TRUE(pumpFrame());
    EXPECT_FALSE(windowState.fullscreen);
    EXPECT_FALSE(headlessFullscreen());
    EXPECT_TRUE(headlessCursorShown());
    EXPECT_FALSE(windowState.keyDown[KeySpace]); // the toggle clears the key
    injectKey(KeySpace, true);                   // so an auto-repeat toggles again
    EXPECT_TRUE(pumpFrame());
    EXPECT_TRUE(headlessFullscreen());
    EXPECT_EQ(textures[0], name);
    EXPECT_EQ(drawTopRows(1, true), 0x0000FFu);
}

TEST_F(WindowTest, ToggleThatReplacesTheContextUploadsThePicturesAgain) {
    setHeadlessTogglesInPlace(false);
    ASSERT_TRUE(open(false));
    setPicture(0, std::vector<uint32_t>{0x123456u}, 1, 1);
    ASSERT_EQ(drawTopRows(1, true), 0x123456u);
    injectKey(KeySpace, true);
    EXPECT_TRUE(pumpFrame());
    EXPECT_TRUE(windowState.fullscreen);
    EXPECT_TRUE(headlessWindowExists());
    EXPECT_EQ(drawTopRows(1, true), 0x123456u);
    EXPECT_TRUE(boxTexts().empty());
}

TEST_F(WindowTest, RefusedFullscreenAsksAndRunsWindowedOnlyOnYes) {
    setHeadlessFullscreenAvailable(false);
    ASSERT_TRUE(open(true));
    EXPECT_FALSE(windowState.fullscreen);
    ASSERT_EQ(headlessMessageBoxes().size(), 1u);
    const HeadlessBox& box = headlessMessageBoxes()[0];
    EXPECT_EQ(box.text, "Failed to go fullscreen. Run windowed?");
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.style, MessageBoxStyle::StopYesNo);

    // Toggling into it again and declining ends the frame loop.
    setHeadlessQuestionAnswer(MessageBoxAnswer::No);
    injectKey(KeySpace, true);
    EXPECT_FALSE(pumpFrame());
    EXPECT_EQ(boxTexts().back(), "Program will now close.");
}

TEST_F(WindowTest, RefusedFullscreenDeclinedAtStartOpensNothing) {
    setHeadlessFullscreenAvailable(false);
    setHeadlessQuestionAnswer(MessageBoxAnswer::No);
    EXPECT_FALSE(open(true));
    EXPECT_EQ(boxTexts(), (std::vector<std::string>{"Failed to go fullscreen. Run windowed?",
                                                    "Program will now close."}));
    EXPECT_TRUE(windowState.fullscreen);
    EXPECT_TRUE(windowState.classRegistered);
    EXPECT_FALSE(headlessWindowExists());
}

TEST_F(WindowTest, EachCreationFailureClosesFirstThenReportsItsStep) {
    struct Case {
        WindowStep step;
        const char* message;
    };
    const Case cases[] = {
        {WindowStep::CreateWindow, "Failed to create window."},
        {WindowStep::DeviceContext, "Failed to create OpenGL device context."},
        {WindowStep::ChoosePixelFormat, "Failed to find pixel format."},
        {WindowStep::SetPixelFormat, "Failed to set pixel format."},
        {WindowStep::CreateContext, "Failed to create Render Context."},
        {WindowStep::MakeCurrent, "Failed to make Render Context current."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        SetUp();
        setHeadlessFailingStep(c.step);
        EXPECT_FALSE(open(false));
        EXPECT_EQ(boxTexts(), std::vector<std::string>{c.message});
        EXPECT_FALSE(headlessWindowExists());
        EXPECT_FALSE(windowState.classRegistered);
        EXPECT_FALSE(pumpFrame());
        closeWindow(); // the main sequence's close: nothing left, nothing to report
        EXPECT_EQ(boxTexts().size(), 1u);
    }

    SetUp();
    setHeadlessClassRegistrationWorks(false);
    EXPECT_FALSE(open(false));
    EXPECT_EQ(boxTexts(), std::vector<std::string>{"Failed to register window class."});
}

} // namespace
} // namespace korvanthe
