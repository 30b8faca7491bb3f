# Shared part of the MinGW-w64 toolchain files: compilers, search roots and
# static linking. KORVANTHE_MINGW_TRIPLE names the target, e.g. i686-w64-mingw32.
set(CMAKE_C_COMPILER ${KORVANTHE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORVANTHE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KORVANTHE_MINGW_TRIPLE}-windres)

# Headers and libraries come from the MinGW tree only, never from the host's
# /usr/include (SDL, EGL and libpng there are Linux builds).
set(CMAKE_FIND_ROOT_PATH /usr/${KORVANTHE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} /usr/${KORVANTHE_MINGW_TRIPLE}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# Windows Vista (6.0) is the oldest system the programs run on: the thread
# runtime the -posix compilers link in (winpthreads, behind std::mutex and
# std::thread) imports GetTickCount64, which Vista brought. The headers offer
# nothing newer, and the executables' headers claim 6.0, so that what they
# claim and what they import agree (the linker's default claims older
# systems: 4.0 for i686, 5.2 for x86_64).
set(CMAKE_C_FLAGS_INIT "${CMAKE_C_FLAGS_INIT} -D_WIN32_WINNT=0x0600")
set(CMAKE_CXX_FLAGS_INIT "${CMAKE_CXX_FLAGS_INIT} -D_WIN32_WINNT=0x0600")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--major-subsystem-version,6,--minor-subsystem-version,0")
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,--major-os-version,6,--minor-os-version,0")
