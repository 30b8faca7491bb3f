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

# korvanthe_<version>_<arch>.deb; the dependencies are those of the shared
# libraries the programs link (dpkg-shlibdeps, from dpkg-dev), so they follow
# the build rather than a hand-kept list.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not linked, so not found by dpkg-shlibdeps: SDL opens libGL.so.1 at run time
# for the demo's window, and through it come Mesa's GLX and drivers (which
# the capture's EGL uses too).
set(CPACK_DEBIAN_PACKAGE_DEPENDS libgl1)
# korvanthe-capture writes MP4 through the ffmpeg program; PNG frames and WAV
# need nothing.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS ffmpeg)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/")

include(CPack)
