#!/bin/sh
# The demo where it cannot show anything, and its arguments:
#   demo_without_display.sh DEMO VERSION
# Without DISPLAY and WAYLAND_DISPLAY, and with SDL's offscreen or dummy video
# driver chosen, it says so in one line on stderr and exits 1 at once,
# instead of running invisibly. --help and --version answer and exit 0; any
# other argument is one line and exit 2. Every run is killed after a minute,
# far longer than any run takes even under the sanitizers on a loaded
# machine, so that a demo that hangs fails rather than stalls the test.
set -u
demo=$1
version=$2
failed=0
export SDL_AUDIODRIVER=dummy
# Under the sanitizers: the D-Bus library that SDL's video start-up loads
# keeps allocations to the end of the process; leaks of our own code show in
# the headless tests.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

fail() {
    echo "FAILED ($case_name): $*"
    failed=1
}

# Runs the demo with the given environment changes and arguments; its status
# goes into status, its output into $work/out and $work/err.
run() {
    started=$(date +%s)
    env "$@" >"$work/out" 2>"$work/err"
    status=$?
    [ "$status" -eq 137 ] && fail "killed, still running after $(($(date +%s) - started)) s"
}

expect_status() {
    [ "$status" -eq "$1" ] || fail "exit status $status, expected $1 (stderr: $(cat "$work/err"))"
}

expect_one_line() {
    lines=$(wc -l <"$work/$1")
    [ "$lines" -eq 1 ] || fail "$lines lines on $1, expected 1: $(cat "$work/$1")"
    grep -q "$2" "$work/$1" || fail "$1 does not say '$2': $(cat "$work/$1")"
}

case_name="no display"
run -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER timeout -s KILL 60 "$demo"
expect_status 1
expect_one_line err "^korvanthe: no display (DISPLAY and WAYLAND_DISPLAY are unset)"

for driver in offscreen dummy; do
    case_name="SDL video driver $driver"
    # A display named (never reached), so that only the driver is at fault.
    run DISPLAY=:99 SDL_VIDEODRIVER=$driver timeout -s KILL 60 "$demo"
    expect_status 1
    expect_one_line err "^korvanthe: SDL video driver \"$driver\" shows no window"
done

case_name="--version"
run timeout -s KILL 60 "$demo" --version
expect_status 0
expect_one_line out "^korvanthe $version\$"

case_name="--help"
run timeout -s KILL 60 "$demo" --help
expect_status 0
grep -q "^Usage: korvanthe" "$work/out" || fail "no usage line: $(cat "$work/out")"
[ -s "$work/err" ] && fail "stderr: $(cat "$work/err")"

for argument in --fullscreen -h extra; do
    case_name="argument $argument"
    run -u DISPLAY -u WAYLAND_DISPLAY timeout -s KILL 60 "$demo" "$argument"
    expect_status 2
    expect_one_line err "^korvanthe: .*'$argument'"
done

case_name="two arguments"
run timeout -s KILL 60 "$demo" --help --version
expect_status 2

[ $failed -eq 0 ] && echo "ok"
exit $failed
