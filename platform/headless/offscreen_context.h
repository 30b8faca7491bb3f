// The OpenGL context behind the headless window (platform/headless/
// offscreen_window.cpp), one implementation per system: EGL surfaceless on
// Mesa (egl_context.cpp) and WGL on a hidden window (platform/win32/
// wgl_offscreen_context.cpp). The virtual window, its framebuffer object and
// read-back are the same on both; only getting a context differs.
//
// Opening goes in the window system's own steps so that a test can make any
// one of them fail: each function below is one WindowStep and reports whether
// it worked. On a system where a step means nothing it simply succeeds.
// Internal to the headless backend; first thread only.
#pragma once

namespace korvanthe {

// WindowStep::CreateWindow: whatever carries the context (WGL: a hidden
// window whose pixel format the context takes; EGL: nothing).
bool createContextCarrier();
// WindowStep::DeviceContext: the display connection (EGL, kept open across
// windows) or the carrier's device context (WGL).
bool openContextDevice();
// WindowStep::ChoosePixelFormat: whether a format for a compatibility
// context exists.
bool offscreenPixelFormatAvailable();
// WindowStep::SetPixelFormat: settles the format (WGL) or the API (EGL).
bool selectOffscreenPixelFormat();
// WindowStep::CreateContext.
bool createOffscreenContext();
// WindowStep::MakeCurrent, also used to return to an existing context.
bool makeOffscreenContextCurrent();

bool offscreenContextExists();

// Makes no context current. When this context is the current one,
// whileCurrent runs first so that what belongs to the context (the
// framebuffer object) can be deleted. False when there is nothing to release
// from.
bool releaseOffscreenContext(void (*whileCurrent)());
// Deletes the context; false when there was none or deleting failed.
bool deleteOffscreenContext();
// Gives back the device opened by openContextDevice where that means
// anything; false when there was none.
bool releaseContextDevice();
// Gives back the device and the carrier, if still held.
void destroyContextCarrier();

// Entry points beyond OpenGL 1.1, for the current context; null if missing.
void* offscreenProcAddress(const char* name);

// For the message when no context can be had: how this system gets one.
const char* offscreenContextDescription();

} // namespace korvanthe
