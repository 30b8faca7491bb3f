# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (package mingw-w64).
# The -posix compilers have std::thread; -static links their runtime into
# each executable, so it runs without extra DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KORVANTHE_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# Test programs run under Wine where it is installed (Debian wine64).
if(EXISTS /usr/lib/wine/wine64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../../scripts/wine64-run.sh)
endif()
