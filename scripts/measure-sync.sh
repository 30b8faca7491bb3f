#!/usr/bin/env bash
# Measures how well the shown song position follows the sound that is heard.
#
#   scripts/measure-sync.sh [--build DIR] [--program player|demo|both]
#                           [--latency low|high|both] [--high-msec N]
#                           [--song sync|soundtrack|both] [--check MEDIAN SPREAD]
#
# Starts a private PulseAudio server whose only sink is a null sink, plays a
# song through `korvanthe-xm play` (its status line, read on a
# pseudo-terminal) and through the demo on a virtual X server (its
# KORVANTHE_POSITION_LOG line per frame), records the sink's monitor with the
# server's timing of each recorded frame (korvanthe-sync-record), and prints
# for every row the time it was shown minus the time it was heard, ending
# each run with the line
#   shown minus heard: median M ms, p5 A ms, p95 B ms
# Each program runs with the stream latency the program asks for ("low") and
# with PULSE_LATENCY_MSEC=N ("high", 200 ms unless --high-msec says), which
# makes the server hold that much sound ahead of the sink.
#
# Two songs: "sync", whose every row begins with a click on a block boundary
# (korvanthe-sync-song), and "soundtrack", the demo's own (its first 20 s),
# whose rows begin anywhere in a block. Each is rendered offline first
# (`korvanthe-xm render --positions`); a row is heard when the first frame of
# the block whose stamp first names it is, that frame found in the recording
# by the render's samples. Since a program shows the stamp of the block it
# hears, what is left is latency, not the one-block granularity of the block
# stamps. A program reports its position now and then, so a row change is
# placed midway between the last report of the row before and the first of
# the new row (see scripts/sync_measurement.py, which also prints how late the
# first report came, and the same figures dated by the arrival of the sound
# at the recorder, as a plain recorder dates them).
#
# --check MEDIAN SPREAD: exit 1 unless every run's median lies within
# +-MEDIAN ms and its p5 and p95 within +-SPREAD ms; a run out of bounds is
# repeated once and fails when the repeat is out of bounds too.
# Exit status: 0 in bounds (or no --check), 1 out of bounds or broken, 3 when
# a program drew too few frames to be measured (a machine too busy), 2 usage.
# Needs: pulseaudio, python3, the build's korvanthe-xm, korvanthe,
# korvanthe-sync-song, korvanthe-sync-record and the demo's data (soundtrack.xm
# and the rest, korvanthe_assets); xvfb-run for the demo.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build="$here/../build"
programs=(player demo)
latencies=(low high)
songs=(sync soundtrack)
high_msec=200
check=()
while [ $# -gt 0 ]; do
    case "$1" in
    --build) build=$2; shift 2 ;;
    --program) [ "$2" = both ] && programs=(player demo) || programs=("$2"); shift 2 ;;
    --latency) [ "$2" = both ] && latencies=(low high) || latencies=("$2"); shift 2 ;;
    --high-msec) high_msec=$2; shift 2 ;;
    --song) [ "$2" = both ] && songs=(sync soundtrack) || songs=("$2"); shift 2 ;;
    --check) check=(--check "$2" "$3"); shift 3 ;;
    *) echo "measure-sync: unknown argument \"$1\" (see the top of $0)" >&2; exit 2 ;;
    esac
done

fail() {
    echo "measure-sync: $*" >&2
    exit 1
}

bin=$(cd "$build/bin" 2>/dev/null && pwd) || fail "$build/bin: no such folder (--build DIR)"
for tool in korvanthe-xm korvanthe korvanthe-sync-song korvanthe-sync-record; do
    [ -x "$bin/$tool" ] || fail "$bin/$tool is not built (cmake --build $build --target korvanthe-xm korvanthe korvanthe-sync-song korvanthe-sync-record)"
done
for command in pulseaudio python3; do
    command -v "$command" >/dev/null || fail "$command is not installed"
done
case " ${programs[*]} " in *" demo "*)
    command -v xvfb-run >/dev/null || fail "xvfb-run is not installed (needed for the demo)" ;;
esac

work=$(mktemp -d "${TMPDIR:-/tmp}/measure-sync.XXXXXX")
recorder_pid=
# shellcheck source=scripts/private-pulse.sh
. "$here/private-pulse.sh"
cleanup() {
    [ -n "$recorder_pid" ] && kill "$recorder_pid" 2>/dev/null
    stop_private_pulse
    rm -rf "$work"
}
trap cleanup EXIT

start_private_pulse sync || fail "the PulseAudio server did not start"

# Each song, where the programs find it, and its offline render (.wav) with
# the render's stamps (.stamps). The demo plays the soundtrack where its
# data were built, and the sync song in a folder of its own (without
# pictures it draws black, which is all the measurement needs).
[ -f "$bin/soundtrack.xm" ] || fail "$bin/soundtrack.xm is not built (cmake --build $build --target korvanthe_assets)"
"$bin/korvanthe-sync-song" "$work/sync.xm"
mkdir "$work/demo"
ln -s "$work/sync.xm" "$work/demo/soundtrack.xm"
ln -s "$bin/soundtrack.xm" "$work/soundtrack.xm"
for song in "${songs[@]}"; do
    "$bin/korvanthe-xm" render "$work/$song.xm" --seconds 25 -o "$work/$song.wav" \
        --positions "$work/$song.stamps" >/dev/null || fail "cannot render $song.xm"
done

# Starts recording the sink's monitor into $1.raw and $1.times.
start_recording() {
    "$bin/korvanthe-sync-record" sync.monitor "$1.raw" "$1.times" 60 2>"$1.recorder" &
    recorder_pid=$!
    # A minute to start: far longer than the recorder takes, even on a
    # loaded machine, so that only one that never starts fails.
    local started=$SECONDS
    until [ $((SECONDS - started)) -ge 60 ]; do
        grep -q recording "$1.recorder" 2>/dev/null && return 0
        kill -0 "$recorder_pid" 2>/dev/null || break
        sleep 0.05
    done
    cat "$1.recorder" >&2
    fail "the recorder did not start (gave up after $((SECONDS - started)) s)"
}

stop_recording() {
    kill "$recorder_pid" 2>/dev/null || true
    wait "$recorder_pid" || fail "the recorder failed: $(cat "$1.recorder")"
    recorder_pid=
}

# Runs the program $1 at latency $2 with the song $3; its reports go to $4.
# The sync song (9.6 s) is played to its end; the soundtrack for 20 s.
play() {
    local program=$1 latency=$2 song=$3 positions=$4
    local latency_env=()
    [ "$latency" = high ] && latency_env=(PULSE_LATENCY_MSEC="$high_msec")
    case "$program" in
    player)
        local status=0 seconds=40 ended=0
        [ "$song" = soundtrack ] && seconds=20 ended=124
        env "${latency_env[@]}" python3 "$here/sync_measurement.py" terminal "$positions" "$seconds" -- \
            "$bin/korvanthe-xm" play "$work/$song.xm" || status=$?
        [ "$status" -eq "$ended" ] ||
            fail "korvanthe-xm play ended with status $status (124: did not end in $seconds s)"
        ;;
    demo)
        # One second before the song, the song (9.6 s, or 20 s of the
        # soundtrack), a little after; then SIGTERM ends it as a quit signal
        # does (status 124 from timeout).
        local status=0 folder=$work/demo seconds=13
        [ "$song" = soundtrack ] && folder=$bin seconds=23
        (cd "$folder" && env "${latency_env[@]}" KORVANTHE_POSITION_LOG="$positions" \
            xvfb-run -a -s "-screen 0 640x480x24" timeout -s TERM -k 5 "$seconds" "$bin/korvanthe" \
            >"$work/demo.out" 2>&1) || status=$?
        [ "$status" -eq 0 ] || [ "$status" -eq 124 ] ||
            fail "the demo ended with status $status: $(cat "$work/demo.out")"
        [ -s "$positions" ] || fail "the demo wrote no position log: $(cat "$work/demo.out")"
        ;;
    *) fail "unknown program \"$program\" (player or demo)" ;;
    esac
}

# With --check a run that fails gets one more: on a busy machine a stalled
# stream or a late frame now and then is the machine, not the program, and
# a real fault fails both.
attempts=1
[ ${#check[@]} -gt 0 ] && attempts=2
failed=()
unmeasured=()
for song in "${songs[@]}"; do
  for program in "${programs[@]}"; do
    for latency in "${latencies[@]}"; do
        for attempt in $(seq "$attempts"); do
            run="$work/$song-$program-$latency-$attempt"
            if [ "$latency" = high ]; then
                echo "== $song song, $program, stream latency $high_msec ms (PULSE_LATENCY_MSEC)"
            else
                echo "== $song song, $program, stream latency as the program asks"
            fi
            [ "$attempt" -gt 1 ] && echo "(attempt $attempt)"
            start_recording "$run"
            play "$program" "$latency" "$song" "$run.positions"
            stop_recording "$run"
            status=0
            python3 "$here/sync_measurement.py" analyse "$run.raw" "$run.times" \
                "$run.positions" "$work/$song.wav" "$work/$song.stamps" "${check[@]}" || status=$?
            [ "$status" -eq 0 ] && break
            if [ "$attempt" -eq "$attempts" ]; then
                if [ "$status" -eq 3 ]; then
                    unmeasured+=("$song song: $program at $latency latency")
                else
                    failed+=("$song song: $program at $latency latency")
                fi
            fi
        done
    done
  done
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "measure-sync: out of bounds: ${failed[*]}" >&2
    exit 1
fi
if [ ${#unmeasured[@]} -gt 0 ]; then
    echo "measure-sync: not measured (too few frames drawn): ${unmeasured[*]}" >&2
    exit 3
fi
