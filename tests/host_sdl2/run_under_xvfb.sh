#!/bin/sh
# Runs a window test on its own virtual X server (a 16:9 screen, so that
# fullscreen shows the picture's side bars) with a window manager, as on a
# desktop: fullscreen requests go through the window manager.
#   run_under_xvfb.sh [--no-window-manager] TEST [ARGS...]
# --no-window-manager leaves the X server bare, as a kiosk or a plain
# `xvfb-run` has it: nobody resizes windows. Exit 77, which CTest counts as
# skipped, where a tool is missing.
if [ "$1" = "--inside-bare" ]; then
    shift
    exec "$@"
fi
if [ "$1" = "--inside" ]; then
    shift
    openbox >/dev/null 2>&1 &
    manager=$!
    # The test's window must not be mapped before the manager runs. A minute
    # is far longer than the manager takes to start, even on a loaded machine.
    started=$(date +%s)
    until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
        if [ $(($(date +%s) - started)) -ge 60 ]; then
            echo "the window manager did not start: not after $(($(date +%s) - started)) s"
            kill $manager
            exit 1
        fi
        sleep 0.1
    done
    "$@"
    status=$?
    kill $manager
    exit $status
fi

manager=openbox
[ "$1" = "--no-window-manager" ] && manager=""
for tool in xvfb-run Xvfb xdotool xprop $manager; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "$tool not found: window test skipped"
        exit 77
    fi
done
# The test must not land on the developer's own screen or sound card.
unset WAYLAND_DISPLAY
export SDL_VIDEODRIVER=x11
export SDL_AUDIODRIVER=dummy
# Under the sanitizers: the system's X, D-Bus and GLX libraries, some loaded
# and unloaded by SDL at run time, keep allocations to the end of the process
# that no suppression can name; the leak check of our own code runs in the
# headless tests.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
inside=--inside
if [ "$1" = "--no-window-manager" ]; then
    shift
    inside=--inside-bare
fi
exec xvfb-run -a -s "-screen 0 1280x720x24" sh "$0" $inside "$@"
