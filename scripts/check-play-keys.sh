#!/usr/bin/env bash
# The keys of `korvanthe-xm play`, heard: plays our soundtrack on a
# pseudo-terminal into a private PulseAudio null sink, records the sink's
# monitor, and sends keys as a person would: Space, a second later Space
# again, then Page Down. The recording must hold exactly the song's frames in
# order up to the pause, digital silence for the pause, the song on from the
# very next frame (none repeated, none dropped), and after the jump exactly
# the song from the first frame of the next order entry (as
# `korvanthe-xm render --start ORDER` renders it).
#
#   scripts/check-play-keys.sh [--build DIR]
#
# Exit status 0 when all of it holds, 1 otherwise. Needs: pulseaudio,
# python3, the build's korvanthe-xm, korvanthe-sync-record and soundtrack.xm.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build="$here/../build"
[ "${1:-}" = --build ] && build=$2
bin=$(cd "$build/bin" 2>/dev/null && pwd) || { echo "check-play-keys: $build/bin: no such folder" >&2; exit 1; }
for file in korvanthe-xm korvanthe-sync-record soundtrack.xm; do
    [ -e "$bin/$file" ] || { echo "check-play-keys: $bin/$file is not built" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/check-play-keys.XXXXXX")
server_pid=
recorder_pid=
cleanup() {
    [ -n "$recorder_pid" ] && kill "$recorder_pid" 2>/dev/null
    stop_private_pulse
    rm -rf "$work"
}
trap cleanup EXIT
# shellcheck source=private-pulse.sh
source "$here/private-pulse.sh"
start_private_pulse sync || { echo "check-play-keys: the PulseAudio server did not start" >&2; exit 1; }

song="$bin/soundtrack.xm"
"$bin/korvanthe-xm" render "$song" -o "$work/song.wav"
# The first frame of each order entry: the whole render less what a render
# from that order gives.
orders=$("$bin/korvanthe-xm" info "$song" | sed -n 's/^Song length: //p')
: >"$work/order-frames"
for order in $(seq 0 $((orders - 1))); do
    if "$bin/korvanthe-xm" render "$song" --start "$order" -o "$work/from.wav" 2>/dev/null; then
        echo "$order $(( ($(stat -c %s "$work/song.wav") - $(stat -c %s "$work/from.wav")) / 4 ))" \
            >>"$work/order-frames"
    fi
done

# Plays, keys and all, recording the sink's monitor into $1.raw; checks it.
attempt() {
    "$bin/korvanthe-sync-record" sync.monitor "$1.raw" "$1.times" 40 2>"$1.recorder" &
    recorder_pid=$!
    # A minute for the recorder to start: far longer than it takes, even on
    # a loaded machine.
    local started=$SECONDS
    until grep -q recording "$1.recorder" 2>/dev/null || [ $((SECONDS - started)) -ge 60 ]; do
        sleep 0.05
    done
    local status=0
    python3 "$here/play_keys_check.py" drive "$1.keys" -- "$bin/korvanthe-xm" play "$song" ||
        status=$?
    kill "$recorder_pid" 2>/dev/null || true
    wait "$recorder_pid" 2>/dev/null || true
    recorder_pid=
    if [ "$status" -ne 0 ]; then
        echo "check-play-keys: korvanthe-xm play failed ($status)" >&2
        return 1
    fi
    python3 "$here/play_keys_check.py" analyse "$work/song.wav" "$1.raw" "$work/order-frames" \
        "$1.keys"
}

# A stream that ran dry on a busy machine is heard as a gap that is not the
# program's: a failed run gets one more, and a real fault fails both.
attempt "$work/first" || { echo "(once more)"; attempt "$work/second"; }
