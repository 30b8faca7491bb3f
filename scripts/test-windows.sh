#!/usr/bin/env bash
# Runs the x86_64 Windows build under Wine on a virtual X server:
#   1. every unit test (CTest with Wine as the cross-compiling emulator);
#   2. the waveOut backend against ALSA's default device routed to a file:
#      the bytes that reach the file must be the rendered ring, in order;
#   3. the demo from its release zip: it opens its window fullscreen (the
#      640 x 480 screen lets the mode switch succeed), draws changing frames,
#      survives a Space toggle and ends with exit code 0 on Escape; once
#      without a sound device (it runs silent) and once with the file device
#      (its sound reaches the file).
#
#   bash scripts/test-windows.sh [BUILD_DIR]   (default build-windows-x86_64,
#                                              made by scripts/build-windows.sh)
# Needs wine64, xvfb, xdotool and ffmpeg (for the screen grabs).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [[ "${1:-}" != "--inside" ]]; then
    build=$(cd "${1:-$here/../build-windows-x86_64}" && pwd)
    for tool in /usr/lib/wine/wine64 xvfb-run xdotool ffmpeg; do
        command -v "$tool" >/dev/null || { echo "$tool not found" >&2; exit 1; }
    done
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    status=0
    xvfb-run -a -s "-screen 0 640x480x24" bash "$0" --inside "$build" "$work" || status=$?
    exit $status
fi

build=$2
work=$3
export WINEPREFIX=$work/wine WINEDEBUG=-all
export HOME=$work/home # Wine's and ALSA's settings, never the user's
mkdir -p "$HOME" "$WINEPREFIX"
wine=$here/wine64-run.sh
failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

# A prefix booted once, with its server kept running: every test program
# then starts in a fraction of a second, and no service Wine starts holds on
# to a test's output.
echo "--- Wine prefix"
trap '/usr/lib/wine/wineserver -k 2>/dev/null; /usr/lib/wine/wineserver -w' EXIT
/usr/lib/wine/wineserver -p
/usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1

echo "--- unit tests under Wine"
ctest --test-dir "$build" -j2 --timeout 600 --output-on-failure || fail "unit tests under Wine"

# ALSA's default device writes whatever it plays, raw, to a file.
route_sound_to() {
    printf 'pcm.!default { type file; slave.pcm "null"; file "%s"; format "raw" }\n' "$1" \
        >"$HOME/.asoundrc"
}
no_sound_device() {
    rm -f "$HOME/.asoundrc"
}

echo "--- waveOut: the ring reaches the device in order"
mkdir -p "$work/ring"
route_sound_to "$work/ring/played.raw"
(cd "$work/ring" && "$wine" "$build/bin/win32-waveout-ring.exe" play \
    "$build/bin/soundtrack.xm" ring.raw 2>/dev/null) || fail "waveOut loop"
"$wine" "$build/bin/win32-waveout-ring.exe" compare "$work/ring/ring.raw" \
    "$work/ring/played.raw" || fail "waveOut bytes"

# The demo, run from its unpacked release folder.
release_zip=$(ls "$build"/release/korvanthe-windows-*.zip)
(cd "$work" && cmake -E tar xf "$release_zip")
demo_dir=$(ls -d "$work"/korvanthe-windows-*/)

grab() { # the whole screen, raw RGB
    ffmpeg -loglevel error -f x11grab -video_size 640x480 -i "$DISPLAY" -frames:v 1 \
        -f rawvideo -pix_fmt rgb24 -y "$1"
}
lit_bytes() {
    tr -d '\000' <"$1" | wc -c
}
wait_until_lit() { # grabs until a good part of the screen is lit (20 s at most)
    for _ in $(seq 1 40); do
        grab "$1"
        [[ $(lit_bytes "$1") -gt 92160 ]] && return 0
        sleep 0.5
    done
    return 1
}
wait_for_window() {
    local tries=0
    until xdotool search --name '^Korvanthe$' >/dev/null 2>&1; do
        tries=$((tries + 1))
        if xdotool search --name '^Error$' >/dev/null 2>&1; then
            echo "the display refused the mode switch: answering Yes (windowed)"
            xdotool search --name '^Error$' windowfocus --sync key Return || true
        fi
        kill -0 "$1" 2>/dev/null || return 1
        [[ $tries -lt 120 ]] || return 1
        sleep 0.25
    done
}

run_demo() { # label
    local label=$1 log=$work/demo-$1.log pid status
    (cd "$demo_dir" && exec "$wine" ./korvanthe.exe) >"$log" 2>&1 &
    pid=$!
    if ! wait_for_window $pid; then
        fail "demo ($label): no window"
        kill $pid 2>/dev/null || true
        return
    fi
    # Start-up (pictures, timeline, one second's wait, the first ring) and,
    # under a loaded machine, Wine's first frames take a while.
    wait_until_lit "$work/a.rgb" || fail "demo ($label): the screen stays dark"
    sleep 1
    grab "$work/b.rgb"
    echo "demo ($label): lit bytes $(lit_bytes "$work/a.rgb") and $(lit_bytes "$work/b.rgb") of 921600"
    cmp -s "$work/a.rgb" "$work/b.rgb" && fail "demo ($label): the picture does not change"
    # Space: fullscreen off, a new window and context, the pictures again.
    xdotool key space
    sleep 1
    xdotool search --name '^Korvanthe$' >/dev/null || fail "demo ($label): no window after Space"
    wait_until_lit "$work/c.rgb" || fail "demo ($label): dark after Space"
    echo "demo ($label): lit bytes after Space $(lit_bytes "$work/c.rgb")"
    xdotool key Escape
    status=0
    for _ in $(seq 1 40); do
        kill -0 $pid 2>/dev/null || break
        sleep 0.25
    done
    if kill -0 $pid 2>/dev/null; then
        fail "demo ($label): still running 10 s after Escape"
        kill $pid
    fi
    wait $pid || status=$?
    echo "demo ($label): exit code $status"
    [[ $status -eq 0 ]] || fail "demo ($label): exit code $status"
}

echo "--- demo without a sound device"
no_sound_device
run_demo silent

echo "--- demo with its sound going to a file"
route_sound_to "$work/demo-sound.raw"
run_demo sound
sound_bytes=$(wc -c <"$work/demo-sound.raw" 2>/dev/null || echo 0)
echo "demo (sound): $sound_bytes bytes reached the device, $(lit_bytes "$work/demo-sound.raw" 2>/dev/null || echo 0) of them non-zero"
[[ $(lit_bytes "$work/demo-sound.raw" 2>/dev/null || echo 0) -gt 176400 ]] ||
    fail "demo (sound): the device got no sound"

if [[ $failures -gt 0 ]]; then
    echo "$failures Windows check(s) failed" >&2
    exit 1
fi
echo "Windows checks passed"
