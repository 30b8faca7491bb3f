// The headless window: an offscreen 640 x 480 OpenGL compatibility context
// that renders into a framebuffer object which the caller reads back. The
// context comes from EGL's surfaceless platform on Mesa, or from WGL on a
// hidden window on Windows (platform/headless/offscreen_context.h); this
// header, named after the first of the two, fronts both.
//
// There is no screen and nobody to press keys: the caller injects key
// presses and quit requests, message boxes print to stderr and are answered
// by the caller's choice, and the clock is virtual
// (platform/headless/virtual_clock.h).
//
// Two ways in:
// - Drawing tests and the capture tool: openHeadlessContext(), draw,
//   readPixels(...), closeHeadlessContext().
// - Tests of the window code: createDisplay/pumpFrame/closeWindow
//   (host/window.h), with the inject... and setHeadless... functions below.
// Both use the same single context; openHeadlessContext reuses a context
// that createDisplay made.
// First thread only, like every window operation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/window_system.h"
#include "timeline/screen_size.h"

namespace korvanthe {

// The demo's screen size.
inline constexpr int HeadlessWidth = ScreenWidth;
inline constexpr int HeadlessHeight = ScreenHeight;

// Makes a 640 x 480 offscreen compatibility context current on the calling
// thread, with the framebuffer object bound and the viewport (0, 0, 640, 480).
// True when it exists afterwards (repeated calls keep the same context).
// False, with a line on stderr, when EGL or Mesa cannot give one.
bool openHeadlessContext();

// Releases the context that openHeadlessContext made. Textures go with it.
void closeHeadlessContext();

// Reads the framebuffer back as 640 x 480 words 0x00RRGGBB, row 0 the top of
// the picture (as on screen), each row left to right. Empty without context.
void readPixels(std::vector<uint32_t>& pixels);

// One pixel of the framebuffer, 0x00RRGGBB; x from the left, y from the top.
uint32_t readPixel(int x, int y);

// Queues messages for platformPeekMessage, which hands out one per call.
void injectKey(int virtualKey, bool down);
void injectCloseRequest();
void injectQuit();
void injectResize(int width, int height);

// Test controls of the window system's answers. resetHeadlessWindowSystem
// puts them back to: fullscreen available, the question answered Yes, no
// failing step, toggles in place, no messages, no shown box, swap count 0.
void resetHeadlessWindowSystem();
void setHeadlessFullscreenAvailable(bool available);
void setHeadlessQuestionAnswer(MessageBoxAnswer answer);
void setHeadlessFailingStep(WindowStep step); // the creation step that fails
void setHeadlessTogglesInPlace(bool inPlace); // false: a toggle replaces the context
void setHeadlessClassRegistrationWorks(bool works);

// What the window system saw.
struct HeadlessBox {
    std::string text;
    std::string caption;
    MessageBoxStyle style;
};
const std::vector<HeadlessBox>& headlessMessageBoxes();
int headlessSwapCount();
bool headlessWindowExists();
bool headlessFullscreen(); // the display is in fullscreen use
bool headlessCursorShown();
const std::string& headlessWindowTitle(); // the last title set (the request's until then)

} // namespace korvanthe
