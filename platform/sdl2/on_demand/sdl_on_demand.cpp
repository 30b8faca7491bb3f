// SDL for a program that seldom needs it. korvanthe-xm renders, traces and
// describes songs without SDL; only `play` opens the sound device through
// the sdl2 backend. Linked to libSDL2, every start of the program loaded SDL
// and the fifty libraries SDL is linked to, about 15 ms of CPU: more than a
// tenth of a ten-minute render. Instead the program links these definitions
// of the SDL functions the backend's sound, clock and thread code call; each
// opens libSDL2 the first time one of them is called and passes the call on.
//
// A program linking this must not link libSDL2 as well (platform/sdl2/
// CMakeLists.txt sees to it). A backend call of an SDL function missing here
// fails to link: add it below. Without libSDL2 on the machine SDL's calls
// fail as SDL reports failures (the sound device does not open), and the
// clock runs on the standard library's.
#include <SDL.h>
#include <dlfcn.h>

#include <chrono>
#include <thread>

namespace {

#if defined(__APPLE__)
constexpr const char* SdlLibraryName = "libSDL2-2.0.0.dylib";
#else
constexpr const char* SdlLibraryName = "libSDL2-2.0.so.0"; // the name SDL 2 keeps for its ABI
#endif

void* sdlLibrary() {
    static void* const library = dlopen(SdlLibraryName, RTLD_NOW | RTLD_LOCAL);
    return library;
}

// SDL's own definition of `name`, or null without libSDL2. Thread-safe: each
// caller keeps the result in a function-local static.
template <typename Function> Function sdlFunction(const char* name) {
    void* library = sdlLibrary();
    return library != nullptr ? reinterpret_cast<Function>(dlsym(library, name)) : nullptr;
}

#define KORVANTHE_SDL_FUNCTION(name) static const auto real = sdlFunction<decltype(&name)>(#name)

// The clock without SDL: milliseconds since the first call.
Uint32 standardTicks() {
    static const auto start = std::chrono::steady_clock::now();
    return static_cast<Uint32>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now() - start)
                                   .count());
}

} // namespace

extern "C" {

int SDL_InitSubSystem(Uint32 flags) {
    KORVANTHE_SDL_FUNCTION(SDL_InitSubSystem);
    return real != nullptr ? real(flags) : -1;
}

void SDL_QuitSubSystem(Uint32 flags) {
    KORVANTHE_SDL_FUNCTION(SDL_QuitSubSystem);
    if (real != nullptr) {
        real(flags);
    }
}

SDL_AudioDeviceID SDL_OpenAudioDevice(const char* device, int isCapture,
                                      const SDL_AudioSpec* desired, SDL_AudioSpec* obtained,
                                      int allowedChanges) {
    KORVANTHE_SDL_FUNCTION(SDL_OpenAudioDevice);
    return real != nullptr ? real(device, isCapture, desired, obtained, allowedChanges) : 0;
}

void SDL_CloseAudioDevice(SDL_AudioDeviceID device) {
    KORVANTHE_SDL_FUNCTION(SDL_CloseAudioDevice);
    if (real != nullptr) {
        real(device);
    }
}

void SDL_LockAudioDevice(SDL_AudioDeviceID device) {
    KORVANTHE_SDL_FUNCTION(SDL_LockAudioDevice);
    if (real != nullptr) {
        real(device);
    }
}

void SDL_UnlockAudioDevice(SDL_AudioDeviceID device) {
    KORVANTHE_SDL_FUNCTION(SDL_UnlockAudioDevice);
    if (real != nullptr) {
        real(device);
    }
}

void SDL_PauseAudioDevice(SDL_AudioDeviceID device, int pauseOn) {
    KORVANTHE_SDL_FUNCTION(SDL_PauseAudioDevice);
    if (real != nullptr) {
        real(device, pauseOn);
    }
}

int SDL_SetThreadPriority(SDL_ThreadPriority priority) {
    KORVANTHE_SDL_FUNCTION(SDL_SetThreadPriority);
    return real != nullptr ? real(priority) : -1;
}

Uint32 SDL_GetTicks(void) {
    KORVANTHE_SDL_FUNCTION(SDL_GetTicks);
    return real != nullptr ? real() : standardTicks();
}

void SDL_Delay(Uint32 milliseconds) {
    KORVANTHE_SDL_FUNCTION(SDL_Delay);
    if (real != nullptr) {
        real(milliseconds);
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

} // extern "C"
