#!/bin/sh
# Runs a 32-bit Windows program under Wine (Debian's wine32:i386): the i686
# cross build's test runner (CMake's cross-compiling emulator) and the
# Windows CI stage use it. The prefix is a 32-bit one (WINEARCH=win32), which
# needs no 64-bit Wine. WINEPREFIX should name a throw-away folder; without
# one, a fresh prefix is made under the temporary folder once per user and
# reused.
if [ -z "$WINEPREFIX" ]; then
    WINEPREFIX="${TMPDIR:-/tmp}/korvanthe-wine32-$(id -u)"
    export WINEPREFIX
fi
export WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec /usr/lib/wine/wine "$@"
