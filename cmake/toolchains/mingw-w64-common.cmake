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

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
