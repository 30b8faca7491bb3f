# Packages of what `cmake --install` lays out: a Debian package and a .tar.gz
# (`cpack` in a Release build directory, or `cmake --build DIR --target package`).
# Every install destination is relative, so the same tree works under /usr,
# /usr/local, /opt/korvanthe or an unpacked tarball's folder.
set(KORVANTHE_PACKAGE_MAINTAINER "Korvanthe developers <korvanthe@example.org>"
  CACHE STRING "Maintainer named in the Debian package")

set(CPACK_PACKAGE_NAME korvanthe)
set(CPACK_PACKAGE_VENDOR "Korvanthe")
set(CPACK_PACKAGE_CONTACT "${KORVANTHE_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "real-time audiovisual demo with its own XM module player")
# Debian shows the description as it is: lines kept under 80 columns.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Korvanthe is a 640 x 480 OpenGL demo: four visual effects start, stop and"
  "change layer on a timeline keyed to the song position the listener hears,"
  "while an original tracker song plays through its own XM module player and"
  "software mixer. Everything it shows and plays is generated from source."
  ""
  "Programs: korvanthe (the demo), korvanthe-xm (inspects, renders and plays"
  "XM files) and korvanthe-capture (records the demo to PNG frames and WAV,"
  "or to MP4 through ffmpeg).")
# Archives unpack into one folder named after the package; the programs run
# from its bin/ as they are.
set(CPACK_PACKAGE_FILE_NAME
  "korvanthe-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}")
string(TOLOWER "${CPACK_PACKAGE_FILE_NAME}" CPACK_PACKAGE_FILE_NAME)
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_STRIP_FILES ON)

# Three Debian packages, one per install component: korvanthe (the demo and
# its tools, which link the player statically and need neither library
# package), libkorvanthe-xm1 (the shared library) and libkorvanthe-xm-dev
# (header, static library, pkg-config and CMake files, manual page). The
# tarball holds all three trees in one.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL demo runtime dev)
set(CPACK_DEBIAN_DEMO_PACKAGE_NAME korvanthe)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libkorvanthe-xm${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libkorvanthe-xm-dev)
# The packages' descriptions, each after the project's summary line (which
# CPack puts first); the demo's is the project's own.
set(CPACK_DEBIAN_DEMO_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
string(JOIN "\n" CPACK_DEBIAN_RUNTIME_DESCRIPTION
  "The XM module player of Korvanthe as a shared library."
  "libkorvanthe-xm loads, renders and plays XM songs through a small C"
  "interface, with the song position of every block of sound and of the"
  "sound heard now.")
string(JOIN "\n" CPACK_DEBIAN_DEV_DESCRIPTION
  "Development files of the XM module player of Korvanthe:"
  "The header korvanthe/xm.h, the static library, korvanthe-xm.pc for"
  "pkg-config, the CMake package KorvantheXM and the manual page"
  "korvanthe-xm(3).")

# NAME_<version>_<arch>.deb; the dependencies are those of the shared
# libraries the programs link (dpkg-shlibdeps, from dpkg-dev), so they follow
# the build rather than a hand-kept list.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The library package gets its shlibs file and the ldconfig trigger.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# Not linked, so not found by dpkg-shlibdeps: SDL opens libGL.so.1 at run time
# for the demo's window, and through it come Mesa's GLX and drivers (which
# the capture's EGL uses too).
set(CPACK_DEBIAN_DEMO_PACKAGE_DEPENDS libgl1)
# korvanthe-capture writes MP4 through the ffmpeg program; PNG frames and WAV
# need nothing.
set(CPACK_DEBIAN_DEMO_PACKAGE_RECOMMENDS ffmpeg)
set(CPACK_DEBIAN_DEMO_PACKAGE_SECTION misc)
# The library opens libSDL2 when a song is first played rather than linking it.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS libsdl2-2.0-0)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS
  "libkorvanthe-xm${PROJECT_VERSION_MAJOR} (= ${PROJECT_VERSION}), libstdc++-12-dev | libstdc++-dev")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/")

include(CPack)
