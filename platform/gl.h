// The OpenGL 1.1 and GLU declarations for code above platform/. On Windows the
// system headers expect two calling-convention macros that windows.h would
// bring; they are given here so that drawing code never includes windows.h.
#pragma once

#if defined(_WIN32) && !defined(APIENTRY)
#define APIENTRY __stdcall
#define KORVANTHE_DEFINED_APIENTRY
#endif
#if defined(_WIN32) && !defined(WINGDIAPI)
#define WINGDIAPI __declspec(dllimport)
#endif
#if defined(_WIN32) && !defined(CALLBACK)
#define CALLBACK __stdcall
#endif

#include <GL/gl.h>
#include <GL/glu.h>
