#!/usr/bin/env bash
# Counts general flashes in captured frames: a flash is a pair of opposing
# changes of the whole picture's mean brightness, each at least a tenth of
# full scale, the darker state below 80 %. Prints the largest count found in
# any one-second window and where it is; fails when it is above the limit.
#
#   scripts/count-flashes.sh CAPTURE FPS [LIMIT]
#
# CAPTURE is what korvanthe-capture wrote: a folder of frame_000000.png, ...
# or a video, at FPS frames per second. LIMIT is 3 when not given. The
# brightness is the mean luma of each frame (ffmpeg's grey conversion).
set -euo pipefail

usage() {
    echo "usage: $0 CAPTURE FPS [LIMIT]" >&2
    exit 2
}
[[ $# -ge 2 && $# -le 3 ]] || usage
capture=$1
fps=$2
limit=${3:-3}
[[ $fps =~ ^[1-9][0-9]*$ ]] || { echo "$0: $fps: the frame rate must be a whole number" >&2; exit 2; }
[[ $limit =~ ^[0-9]+$ ]] || { echo "$0: $limit: the limit must be a whole number" >&2; exit 2; }
command -v ffmpeg >/dev/null || { echo "$0: ffmpeg is not installed" >&2; exit 2; }
if [[ -d $capture ]]; then
    [[ -f $capture/frame_000000.png ]] || { echo "$0: $capture: no frame_000000.png in it" >&2; exit 2; }
    input=(-framerate "$fps" -i "$capture/frame_%06d.png")
elif [[ -f $capture ]]; then
    input=(-i "$capture")
else
    echo "$0: $capture: no such folder or file" >&2
    exit 2
fi

levels=$(mktemp)
trap 'rm -f "$levels"' EXIT
ffmpeg -nostdin -loglevel error "${input[@]}" \
    -vf "format=gray,signalstats,metadata=print:key=lavfi.signalstats.YAVG:file=$levels" -f null -

awk -F= -v fps="$fps" -v limit="$limit" -v program="$0" -v capture="$capture" '
    /YAVG/ { level[n++] = $2 / 255 }
    END {
        if (n == 0) { print program ": " capture ": no frames read" > "/dev/stderr"; exit 2 }
        # The turns of the brightness, with a tenth of full scale as
        # hysteresis: every leg between two turns is a change of at least a
        # tenth. A leg counts when its darker end is below 80 %.
        step = 0.1
        lo = hi = level[0]; direction = 0; legs = 0
        for (i = 1; i < n; ++i) {
            v = level[i]
            if (direction == 0) {
                if (v < lo) lo = v
                if (v > hi) hi = v
                if (v - lo >= step) { direction = 1; turn = lo; extreme = v; extremeAt = i }
                else if (hi - v >= step) { direction = -1; turn = hi; extreme = v; extremeAt = i }
            } else if (direction * (v - extreme) > 0) {
                extreme = v; extremeAt = i
            } else if (direction * (extreme - v) >= step) {
                record()
                turn = extreme; direction = -direction; extreme = v; extremeAt = i
            }
        }
        if (direction != 0) record()

        most = 0; mostAt = 0; first = 0; lastReported = -1
        for (j = 0; j < legs; ++j) {
            while (legAt[j] - legAt[first] >= fps) ++first
            count = int((j - first + 1) / 2)
            if (count > most) { most = count; mostAt = legAt[first] }
            if (count > limit && legAt[first] != lastReported) {
                printf "%d flashes in the second from %.2f s\n", count, legAt[first] / fps
                lastReported = legAt[first]
            }
        }
        printf "flashes: at most %d in one second (from %.2f s); %d changes of a tenth or more in %.1f s\n",
            most, mostAt / fps, legs, n / fps
        if (most > limit) {
            printf "%s: %s: more than %d flashes in one second\n", program, capture, limit > "/dev/stderr"
            exit 1
        }
    }
    function record() {
        if ((turn < extreme ? turn : extreme) < 0.8) legAt[legs++] = extremeAt
    }
' "$levels"
