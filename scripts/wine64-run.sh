#!/bin/sh
# Runs a 64-bit Windows program under Wine: the cross build's test runner
# (CMake's cross-compiling emulator) and the Windows CI stage use it.
# WINEPREFIX should name a throw-away folder; without one, a fresh prefix is
# made under the temporary folder once per user and reused.
if [ -z "$WINEPREFIX" ]; then
    WINEPREFIX="${TMPDIR:-/tmp}/korvanthe-wine64-$(id -u)"
    export WINEPREFIX
fi
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec /usr/lib/wine/wine64 "$@"
