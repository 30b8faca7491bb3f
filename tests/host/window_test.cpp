// The window code against the headless window system: the picture it reads
// back, the key table, the frame pump's stop conditions, the fullscreen
// toggle both ways and every creation failure's message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/textures.h"
#include "host/window.h"
#include "platform/gl.h"
#include "platform/headless/egl_window.h"

namespace korvanthe {
namespace {

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        closeHeadlessContext();
        resetHeadlessWindowSystem();
        windowState = WindowState{};
        forgetPictures();
    }
    void TearDown() override { closeWindow(); }

    bool open(bool fullscreen = false) {
        return createDisplay(640, 480, 32, "Korvanthe", fullscreen);
    }

    static std::vector<std::string> boxTexts() {
        std::vector<std::string> texts;
        for (const HeadlessBox& box : headlessMessageBoxes()) {
            texts.push_back(box.text);
        }
        return texts;
    }

    static std::array<GLint, 4> viewport() {
        std::array<GLint, 4> box{};
        glGetIntegerv(GL_VIEWPORT, box.data());
        return box;
    }

    static void clearTo(float red, float green, float blue) {
        glClearColor(red, green, blue, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
};

TEST_F(WindowTest, OpensAContextWhoseClearColourReadsBack) {
    ASSERT_TRUE(open());
    clearTo(1.0f, 0.0f, 0.0f);
    std::vector<uint32_t> pixels;
    readPixels(pixels);
    ASSERT_EQ(pixels.size(), 640u * 480u);
    EXPECT_EQ(pixels.front(), 0xFF0000u);
    EXPECT_EQ(pixels.back(), 0xFF0000u);
    EXPECT_TRUE(boxTexts().empty());
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 640, 480}));
}

TEST_F(WindowTest, ReadPixelsPutsTheTopRowFirst) {
    ASSERT_TRUE(open());
    clearTo(0.0f, 0.0f, 0.0f);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 640, 480, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glColor3f(0.0f, 1.0f, 0.0f);
    glBegin(GL_QUADS); // the top ten rows, y growing downwards
    glVertex2f(0, 0);
    glVertex2f(0, 10);
    glVertex2f(640, 10);
    glVertex2f(640, 0);
    glEnd();
    std::vector<uint32_t> pixels;
    readPixels(pixels);
    EXPECT_EQ(pixels[5 * 640 + 320], 0x00FF00u);
    EXPECT_EQ(pixels[20 * 640 + 320], 0u);
    EXPECT_EQ(readPixel(320, 5), 0x00FF00u);
    EXPECT_EQ(readPixel(320, 470), 0u);
}

TEST_F(WindowTest, PumpFrameStopsOnQuitEscapeOrCloseRequest) {
    struct Case {
        const char* what;
        void (*inject)();
        int framesGoingOn; // pumps that return true before the stop
    };
    const Case cases[] = {
        {"quit", [] { injectQuit(); }, 0},
        {"escape down", [] { injectKey(keyEscape, true); }, 0},
        // The close request posts a quit request that the next pump takes.
        {"close box", [] { injectCloseRequest(); }, 1},
        {"escape after other keys",
         [] {
             injectKey('A', true);
             injectKey('A', false);
             injectKey(keyEscape, true);
         },
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        ASSERT_TRUE(open());
        c.inject();
        for (int frame = 0; frame < c.framesGoingOn; ++frame) {
            EXPECT_TRUE(pumpFrame());
        }
        EXPECT_FALSE(pumpFrame());
        TearDown();
    }
}

TEST_F(WindowTest, EscapeStopsBeforeTheSwapSoTheLastFrameIsNotShown) {
    ASSERT_TRUE(open());
    EXPECT_TRUE(pumpFrame()); // nothing waiting: shows a frame
    EXPECT_EQ(headlessSwapCount(), 1);
    injectKey(keyEscape, true);
    EXPECT_FALSE(pumpFrame());
    EXPECT_EQ(headlessSwapCount(), 1);
    // Still held: every later pump stops too, even with no message waiting.
    EXPECT_FALSE(pumpFrame());
}

TEST_F(WindowTest, KeysSetAndClearTheirEntriesOnePerPump) {
    ASSERT_TRUE(open());
    injectKey('A', true);
    injectKey('A', false);
    injectKey(300, true); // outside the table: ignored
    EXPECT_TRUE(pumpFrame());
    EXPECT_TRUE(windowState.keyDown['A']);
    EXPECT_TRUE(pumpFrame());
    EXPECT_FALSE(windowState.keyDown['A']);
    EXPECT_TRUE(pumpFrame());
}

TEST_F(WindowTest, ResizeSetsTheViewportAndAZeroHeightCountsAsOne) {
    ASSERT_TRUE(open());
    injectResize(320, 0);
    EXPECT_TRUE(pumpFrame());
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 320, 1}));
    injectResize(400, 300);
    EXPECT_TRUE(pumpFrame());
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 400, 300}));
}

TEST_F(WindowTest, FullscreenOnAWiderScreenCentresThePictureAtFullHeight) {
    ASSERT_TRUE(open(true));
    EXPECT_TRUE(headlessFullscreen());
    EXPECT_FALSE(headlessCursorShown());
    injectResize(1920, 1080);
    EXPECT_TRUE(pumpFrame());
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{240, 0, 1440, 1080}));
    injectResize(1280, 1024); // narrower than 4:3: full width instead
    EXPECT_TRUE(pumpFrame());
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 32, 1280, 960}));
}

TEST_F(WindowTest, SpaceTogglesInPlaceAndBackKeepingTheContext) {
    ASSERT_TRUE(open(true));
    const std::vector<uint32_t> picture = {0x0000FFu};
    setPicture(0, picture, 1, 1);
    const unsigned int name = textures[0];
    injectKey(keySpace, true);
    EXPECT_TRUE(pumpFrame());
    EXPECT_FALSE(windowState.fullscreen);
    EXPECT_FALSE(headlessFullscreen());
    EXPECT_TRUE(headlessCursorShown());
    EXPECT_FALSE(windowState.keyDown[keySpace]); // the toggle clears the key
    injectKey(keySpace, true);                   // an auto-repeat toggles again
    EXPECT_TRUE(pumpFrame());
    EXPECT_TRUE(windowState.fullscreen);
    EXPECT_TRUE(headlessFullscreen());
    EXPECT_EQ(textures[0], name);
    EXPECT_EQ(glIsTexture(name), GL_TRUE);
}

// Draws slot 0 over the whole viewport and reads the centre pixel.
uint32_t drawSlotZero() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 1, 0, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, textures[0]);
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(0, 0);
    glTexCoord2f(1, 0);
    glVertex2f(1, 0);
    glTexCoord2f(1, 1);
    glVertex2f(1, 1);
    glTexCoord2f(0, 1);
    glVertex2f(0, 1);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    return readPixel(320, 240);
}

TEST_F(WindowTest, ToggleThatReplacesTheContextUploadsThePicturesAgain) {
    setHeadlessTogglesInPlace(false);
    ASSERT_TRUE(open(false));
    const std::vector<uint32_t> picture = {0x123456u};
    setPicture(0, picture, 1, 1);
    ASSERT_EQ(drawSlotZero(), 0x123456u);
    injectKey(keySpace, true);
    EXPECT_TRUE(pumpFrame());
    EXPECT_TRUE(windowState.fullscreen);
    EXPECT_TRUE(headlessWindowExists());
    EXPECT_EQ(drawSlotZero(), 0x123456u);
    EXPECT_TRUE(boxTexts().empty());
}

TEST_F(WindowTest, FullscreenRefusedRunsWindowedOnYes) {
    setHeadlessFullscreenAvailable(false);
    ASSERT_TRUE(open(true));
    EXPECT_FALSE(windowState.fullscreen);
    ASSERT_EQ(headlessMessageBoxes().size(), 1u);
    const HeadlessBox& box = headlessMessageBoxes()[0];
    EXPECT_EQ(box.text, "Failed to go fullscreen. Run windowed?");
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.style, MessageBoxStyle::StopYesNo);
}

TEST_F(WindowTest, FullscreenRefusedAndDeclinedClosesWithoutAWindow) {
    setHeadlessFullscreenAvailable(false);
    setHeadlessQuestionAnswer(MessageBoxAnswer::No);
    EXPECT_FALSE(open(true));
    EXPECT_EQ(boxTexts(), (std::vector<std::string>{"Failed to go fullscreen. Run windowed?",
                                                    "Program will now close."}));
    EXPECT_TRUE(windowState.fullscreen);
    EXPECT_TRUE(windowState.classRegistered);
    EXPECT_FALSE(headlessWindowExists());
}

TEST_F(WindowTest, ToggleIntoARefusedFullscreenEndsOnNo) {
    ASSERT_TRUE(open(false));
    setHeadlessFullscreenAvailable(false);
    setHeadlessQuestionAnswer(MessageBoxAnswer::No);
    injectKey(keySpace, true);
    EXPECT_FALSE(pumpFrame());
    EXPECT_EQ(boxTexts().back(), "Program will now close.");
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
}

TEST_F(WindowTest, ClassRegistrationRefusedReportsAndStops) {
    setHeadlessClassRegistrationWorks(false);
    EXPECT_FALSE(open(false));
    EXPECT_EQ(boxTexts(), std::vector<std::string>{"Failed to register window class."});
}

TEST_F(WindowTest, DirectContextForDrawingTests) {
    ASSERT_TRUE(openHeadlessContext());
    ASSERT_TRUE(openHeadlessContext()); // the same context again
    clearTo(0.0f, 0.0f, 1.0f);
    EXPECT_EQ(readPixel(0, 0), 0x0000FFu);
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 640, 480}));
    closeHeadlessContext();
    std::vector<uint32_t> pixels{1, 2, 3};
    readPixels(pixels);
    EXPECT_TRUE(pixels.empty());
}

} // namespace
} // namespace korvanthe
