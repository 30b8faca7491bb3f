#!/usr/bin/env bash
# Runs a Windows build, 32-bit (i686) or 64-bit (x86_64), under Wine on a
# virtual X server:
#   1. the release zip: both programs, the data and README.txt with Windows
#      line ends; each program's header claims Windows 6.0, as its imports
#      need;
#   2. korvanthe-xm.exe from the zip describes the song (run first: it shows
#      that this Wine starts this build's programs at all);
#   3. every unit test (CTest with Wine as the cross-compiling emulator);
#   4. the waveOut backend against ALSA's default device routed to a file:
#      the bytes that reach the file must be the rendered ring, in order;
#   5. the demo from its release zip: it opens its window fullscreen (the
#      640 x 480 screen lets the mode switch succeed), draws changing frames,
#      survives a Space toggle and ends with exit code 0 on Escape; once
#      without a sound device (it runs silent) and once with the file device
#      (its sound reaches the file).
# No step passes on an exit code alone: each also looks for what the program
# must have printed or written, so a program that never started fails.
#
#   bash scripts/test-windows.sh [BUILD_DIR]   (default build-windows-x86_64;
#                                              made by scripts/build-windows.sh)
# The 64-bit build needs wine64, the 32-bit one wine32:i386; both need xvfb,
# xdotool and ffmpeg (for the screen grabs).
#
# Some kernels are built without 32-bit support: there no 32-bit program
# starts ("Exec format error"), 32-bit Wine's own loader first. Before the
# 32-bit build's Wine runs, that loader is started once (--version); where the
# kernel refuses it, steps 2 to 5 are not run, which one line says, and step
# 1 still is. KORVANTHE_PROBE_32BIT names another 32-bit program to start
# instead; one that does not exist stands for such a kernel, which shows that
# path on a machine that runs 32-bit programs.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [[ "${1:-}" != "--inside" ]]; then
    given=${1:-$here/../build-windows-x86_64}
    if [[ ! -f "$given/CMakeCache.txt" ]]; then
        echo "$given: not a Windows build (make one with scripts/build-windows.sh)" >&2
        exit 1
    fi
    build=$(cd "$given" && pwd)
    # The toolchain names the target; its compiler is not kept in the cache.
    toolchain=$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:[A-Z]*=//p' "$build/CMakeCache.txt")
    case "$(basename "${toolchain:-none}")" in
    mingw-w64-i686.cmake)
        arch=i686
        loader=/usr/lib/wine/wine
        install_hint="the Debian package wine32:i386 (dpkg --add-architecture i386; apt-get update; apt-get install wine32:i386)"
        ;;
    mingw-w64-x86_64.cmake)
        arch=x86_64
        loader=/usr/lib/wine/wine64
        install_hint="the Debian package wine64"
        ;;
    *)
        echo "$given: not a MinGW-w64 build (its toolchain file is ${toolchain:-none})" >&2
        exit 1
        ;;
    esac
    if [[ ! -x "$loader" ]]; then
        echo "$loader not found: the $arch build runs under $([[ $arch == i686 ]] && echo 32 || echo 64)-bit Wine; install $install_hint" >&2
        exit 1
    fi
    for tool in xvfb-run xdotool ffmpeg "$arch-w64-mingw32-objdump"; do
        command -v "$tool" >/dev/null || { echo "$tool not found" >&2; exit 1; }
    done
    wine_runs=yes
    if [[ $arch == i686 ]]; then
        probe=${KORVANTHE_PROBE_32BIT:-$loader}
        probe_status=0
        probe_said=$("$probe" --version 2>&1) || probe_status=$?
        # 126: the kernel refused to start it (the shell says why); 127 with
        # no such file: a probe named to stand for such a kernel. Any other
        # outcome means the program started, and the Wine runs must pass.
        if [[ $probe_status -eq 126 || ($probe_status -eq 127 && ! -e $probe) ]]; then
            echo "$probe --version: status $probe_status: ${probe_said##*: }"
            wine_runs=no
        fi
    fi
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    status=0
    xvfb-run -a -s "-screen 0 640x480x24" bash "$0" --inside "$build" "$work" "$arch" "$wine_runs" ||
        status=$?
    exit $status
fi

build=$2
work=$3
arch=$4
wine_runs=$5
export WINEPREFIX=$work/wine WINEDEBUG=-all
export HOME=$work/home # Wine's settings, never the user's
mkdir -p "$HOME" "$WINEPREFIX"
if [[ $arch == i686 ]]; then
    export WINEARCH=win32
    wine=$here/wine32-run.sh
else
    wine=$here/wine64-run.sh
fi
failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}
# Runs a program under Wine with its output in a file, then shows the
# output's start.
run_logged() { # log program arguments...
    local log=$1 status=0
    shift
    "$wine" "$@" >"$log" 2>&1 || status=$?
    head -n 8 "$log" | sed 's/^/    /'
    return $status
}

echo "--- $arch release zip"
release_zip=$(ls "$build"/release/korvanthe-windows-*.zip 2>/dev/null || true)
if [[ -z "$release_zip" ]]; then
    fail "no release zip in $build/release (scripts/build-windows.sh makes it)"
else
    (cd "$work" && cmake -E tar xf "$release_zip")
fi
demo_dir=$(ls -d "$work"/korvanthe-windows-*/ 2>/dev/null || true)
demo_dir=${demo_dir%/}
expected="README.txt gridtile.tga korvanthe-xm.exe korvanthe.exe korvanthe.raw picture0.raw picture1.raw picture2.raw random.raw random.scp soundtrack.xm tallstrip.raw"
if [[ -n "$demo_dir" ]]; then
    found=$(cd "$demo_dir" && LC_ALL=C ls | tr '\n' ' ')
    echo "$(basename "$release_zip"): $found"
    [[ "${found% }" == "$expected" ]] || fail "the zip holds \"${found% }\", not \"$expected\""
    readme_lines=$(wc -l <"$demo_dir/README.txt")
    crlf_lines=$(grep -c $'\r$' "$demo_dir/README.txt" || true)
    echo "README.txt: $crlf_lines of $readme_lines lines end in CRLF"
    [[ $readme_lines -gt 0 && $crlf_lines -eq $readme_lines ]] || fail "README.txt has LF line ends"
    for exe in korvanthe.exe korvanthe-xm.exe; do
        header=$("$arch-w64-mingw32-objdump" -p "$demo_dir/$exe")
        version() { awk -v key="$1" '$1 == key { print $2 }' <<<"$header"; }
        claims="subsystem $(version MajorSubsystemVersion).$(version MinorSubsystemVersion), OS $(version MajorOSystemVersion).$(version MinorOSystemVersion)"
        vista=$(grep -qw GetTickCount64 <<<"$header" && echo "imports" || echo "does not import")
        echo "$exe: claims $claims; $vista GetTickCount64 (Windows 6.0)"
        [[ "$claims" == "subsystem 6.0, OS 6.0" ]] || fail "$exe claims $claims, not 6.0"
    done
fi

# The closing line, with $1 added when it passes; any failed check fails the run.
finish() {
    if [[ $failures -gt 0 ]]; then
        echo "$failures Windows check(s) of the $arch build failed" >&2
        exit 1
    fi
    echo "Windows checks of the $arch build passed${1:-}"
    exit 0
}

if [[ $wine_runs == no ]]; then
    echo "Windows i686 under Wine: NOT RUN (this kernel cannot execute 32-bit programs)"
    finish " (the zip, README.txt and program headers; no Wine run)"
fi

# ALSA reads this script's configuration instead of the system's, so that
# what the machine has installed (a sound server's hooks, plugins of only one
# architecture) cannot decide whether there is a device. With a device, the
# default one writes whatever it plays, raw, to a file.
export ALSA_CONFIG_PATH=$work/alsa.conf
route_sound_to() {
    printf 'pcm.null { type null }\npcm.!default { type file; slave.pcm "null"; file "%s"; format "raw" }\n' \
        "$1" >"$ALSA_CONFIG_PATH"
}
no_sound_device() {
    : >"$ALSA_CONFIG_PATH"
}
no_sound_device

# A prefix booted once, with its server kept running: every test program
# then starts in a fraction of a second, and no service Wine starts holds on
# to a test's output.
echo "--- Wine prefix ($arch)"
trap '/usr/lib/wine/wineserver -k 2>/dev/null; /usr/lib/wine/wineserver -w' EXIT
/usr/lib/wine/wineserver -p
"$wine" wineboot --init >/dev/null 2>&1

# The first program run is also the evidence that this Wine starts this
# build's programs at all: a 64-bit Wine handed a 32-bit program, for one,
# ends with status 0 having run nothing.
echo "--- korvanthe-xm.exe from the zip"
if [[ -n "$demo_dir" ]]; then
    if (cd "$demo_dir" && run_logged "$work/xm-info.log" ./korvanthe-xm.exe info soundtrack.xm); then
        grep -q '^Channels: ' "$work/xm-info.log" ||
            fail "korvanthe-xm.exe info: nothing printed (does this Wine start $arch programs?)"
    else
        fail "korvanthe-xm.exe info"
    fi
fi

echo "--- unit tests under Wine"
if ! grep -rqs "$(basename "$wine")" "$build/tests/CTestTestfile.cmake" "$build"/tests/*_include.cmake \
    "$build"/tests/*/CTestTestfile.cmake; then
    fail "unit tests: $build was configured without Wine as the test runner (run scripts/build-windows.sh again now that Wine is installed)"
else
    # Now and then a program under Wine ends early with no word of its own
    # (seen once in some thousands of test runs under Wine; the same test
    # passed at once on its own, and a Wine start of another program stalled
    # for a minute and a half beside it). A test that fails is run once more
    # on its own, the failure lines of both runs shown; the programs are
    # deterministic, so a real fault fails the second run too.

    # failure_lines LOG: the first failures' own words in a CTest log.
    failure_lines() {
        grep -A12 -E '(: Failure|^\[  FAILED  \] [^ ]+\.[^ ]+ \()' "$1" | head -120 || true
    }
    ctest_status=0
    ctest --test-dir "$build" -j2 --timeout 600 --output-on-failure --no-tests=error \
        >"$work/ctest.log" 2>&1 || ctest_status=$?
    if grep -q 'The following tests FAILED' "$work/ctest.log"; then
        # The first failures' own words, then the list.
        failure_lines "$work/ctest.log"
        sed -n '/The following tests FAILED/,$p' "$work/ctest.log" | head -60
        if ctest --test-dir "$build" --timeout 600 --output-on-failure --rerun-failed \
            >"$work/ctest-again.log" 2>&1; then
            echo "unit tests under Wine: the test(s) above passed when run again on their own"
            ctest_status=0
        else
            failure_lines "$work/ctest-again.log"
            echo "unit tests under Wine: failed again when run on their own"
        fi
    fi
    [[ $ctest_status -eq 0 ]] || fail "unit tests under Wine"
    programs=$(ls "$build"/bin/*_test.exe 2>/dev/null | wc -l)
    summary=$(grep -E '^[0-9]+% tests passed' "$work/ctest.log" || true)
    echo "unit tests: $programs test programs; $summary"
    [[ "$summary" =~ out\ of\ ([0-9]+) && ${BASH_REMATCH[1]} -gt 0 ]] || fail "unit tests: none ran"
fi


echo "--- waveOut: the ring reaches the device in order"
mkdir -p "$work/ring"
route_sound_to "$work/ring/played.raw"
if (cd "$work/ring" && run_logged "$work/ring/play.log" "$build/bin/win32-waveout-ring.exe" play \
    "$build/bin/soundtrack.xm" ring.raw); then
    grep -q '^ring [0-9]* bytes, played to byte' "$work/ring/play.log" ||
        fail "waveOut loop: the program printed no play report"
    [[ -s "$work/ring/ring.raw" && -s "$work/ring/played.raw" ]] ||
        fail "waveOut loop: no ring or no played sound written"
    if run_logged "$work/ring/compare.log" "$build/bin/win32-waveout-ring.exe" compare \
        "$work/ring/ring.raw" "$work/ring/played.raw"; then
        grep -q 'of the ring in' "$work/ring/compare.log" ||
            fail "waveOut bytes: the comparison printed no result"
    else
        fail "waveOut bytes"
    fi
else
    fail "waveOut loop"
fi

grab() { # the whole screen, raw RGB
    ffmpeg -loglevel error -f x11grab -video_size 640x480 -i "$DISPLAY" -frames:v 1 \
        -f rawvideo -pix_fmt rgb24 -y "$1"
}
lit_bytes() {
    tr -d '\000' <"$1" | wc -c
}
# Every wait for a program's window, picture or end is bounded by a minute:
# far longer than any of them takes, even for Wine's first frames on a loaded
# machine, so that only a program that never gets there fails. Each says how
# long it waited.
bound=60
waited() { # the seconds since $1 (an EPOCHREALTIME), to a tenth
    local microseconds=$((${EPOCHREALTIME/./} - ${1/./}))
    printf '%d.%d' $((microseconds / 1000000)) $((microseconds / 100000 % 10))
}
past_bound() { # whether the bound has passed since $1
    [[ $((${EPOCHREALTIME/./} - ${1/./})) -ge $((bound * 1000000)) ]]
}
wait_until_lit() { # grabs until a good part of the screen is lit
    local started=$EPOCHREALTIME
    until grab "$1" && [[ $(lit_bytes "$1") -gt 92160 ]]; do
        past_bound "$started" && { echo "not lit after $(waited "$started") s"; return 1; }
        sleep 0.5
    done
    echo "lit after $(waited "$started") s"
}
wait_for_window() { # pid
    local started=$EPOCHREALTIME
    until xdotool search --name '^Korvanthe$' >/dev/null 2>&1; do
        if xdotool search --name '^Error$' >/dev/null 2>&1; then
            echo "the display refused the mode switch: answering Yes (windowed)"
            xdotool search --name '^Error$' windowfocus --sync key Return || true
        fi
        kill -0 "$1" 2>/dev/null || { echo "ended after $(waited "$started") s"; return 1; }
        past_bound "$started" && { echo "no window after $(waited "$started") s"; return 1; }
        sleep 0.25
    done
    echo "window after $(waited "$started") s"
}
# Runs the wait (a command of those above) for the demo of label $1; says
# what it waited, and fails with $2 and that when the event did not come.
demo_waits() { # label failure command...
    local said
    if said=$("${@:3}"); then
        echo "demo ($1): $said"
    else
        fail "demo ($1): $2 ($said)"
        return 1
    fi
}

run_demo() { # label
    local label=$1 log=$work/demo-$1.log pid status
    (cd "$demo_dir" && exec "$wine" ./korvanthe.exe) >"$log" 2>&1 &
    pid=$!
    if ! demo_waits "$label" "no window" wait_for_window $pid; then
        kill $pid 2>/dev/null || true
        sed 's/^/    /' "$log"
        return
    fi
    # Start-up (pictures, timeline, one second's wait, the first ring) and,
    # under a loaded machine, Wine's first frames take a while.
    demo_waits "$label" "the screen stays dark" wait_until_lit "$work/a.rgb" || true
    sleep 1
    grab "$work/b.rgb"
    echo "demo ($label): lit bytes $(lit_bytes "$work/a.rgb") and $(lit_bytes "$work/b.rgb") of 921600"
    cmp -s "$work/a.rgb" "$work/b.rgb" && fail "demo ($label): the picture does not change"
    # Space: fullscreen off, a new window and context, the pictures again.
    xdotool key space
    sleep 1
    demo_waits "$label" "no window after Space" wait_for_window $pid || true
    demo_waits "$label" "dark after Space" wait_until_lit "$work/c.rgb" || true
    echo "demo ($label): lit bytes after Space $(lit_bytes "$work/c.rgb")"
    xdotool key Escape
    local started=$EPOCHREALTIME
    status=0
    while kill -0 $pid 2>/dev/null && ! past_bound "$started"; do
        sleep 0.25
    done
    if kill -0 $pid 2>/dev/null; then
        fail "demo ($label): still running $(waited "$started") s after Escape"
        kill $pid
    else
        echo "demo ($label): ended $(waited "$started") s after Escape"
    fi
    wait $pid || status=$?
    echo "demo ($label): exit code $status"
    [[ $status -eq 0 ]] || fail "demo ($label): exit code $status"
}

if [[ -n "$demo_dir" ]]; then
    echo "--- demo without a sound device"
    no_sound_device
    run_demo silent

    echo "--- demo with its sound going to a file"
    route_sound_to "$work/demo-sound.raw"
    run_demo sound
    sound_bytes=0 sound_lit=0
    if [[ -f "$work/demo-sound.raw" ]]; then
        sound_bytes=$(wc -c <"$work/demo-sound.raw")
        sound_lit=$(lit_bytes "$work/demo-sound.raw")
    fi
    echo "demo (sound): $sound_bytes bytes reached the device, $sound_lit of them non-zero"
    [[ $sound_lit -gt 176400 ]] || fail "demo (sound): the device got no sound"
fi

finish
