# Cross-compiles for 32-bit Windows with Debian's MinGW-w64 (package mingw-w64).
# The -posix compilers have std::thread; -static links their runtime into
# each executable, so it runs without extra DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KORVANTHE_MINGW_TRIPLE i686-w64-mingw32)
# SSE2 arithmetic, as on x86_64: the x87 unit's extended precision would
# change the player's float results.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# Test programs run under 32-bit Wine where it is installed (Debian
# wine32:i386, with the i386 architecture added).
if(EXISTS /usr/lib/wine/wine)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../../scripts/wine32-run.sh)
endif()
