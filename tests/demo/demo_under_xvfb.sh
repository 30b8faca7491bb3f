#!/bin/sh
# End to end: the demo on a virtual X server with SDL's disk sound driver.
#   demo_under_xvfb.sh DEMO DATA_DIR
# With the song: the screen shows something and the sound file is not
# silent; Space toggles and the pictures still show; Escape ends it with
# status 0 (in about a third of a second on an idle machine). Without a sound
# device and without the song: the entries at 0:0 still show, and Escape ends
# it. SIGTERM ends it, after its shutdown, with the status of a program the
# signal ended (143). Installed (the files in
# ../share/korvanthe beside the executable, started elsewhere) it finds its
# files there and says so in one line; without the song there either, it
# names the file and where it looked. Keys are sent once the demo's window
# has the input focus. Each wait is for the event itself, bounded by a minute: far longer than any
# run takes, even under the sanitizers on a loaded machine, so that only a
# demo that never gets there fails. Each case's line says how long its events
# took. Exit 77 (skipped) where a tool is missing.
set -u

# Runs the command until it succeeds, for a minute at most; waited holds the
# seconds that took, to a tenth.
wait_until() {
    started=$(($(date +%s%N) / 100000000))
    met=1
    while [ $(($(date +%s%N) / 100000000 - started)) -lt 600 ]; do
        if "$@"; then
            met=0
            break
        fi
        sleep 0.1
    done
    tenths=$(($(date +%s%N) / 100000000 - started))
    waited=$((tenths / 10)).$((tenths % 10))
    return $met
}

# The brightest of 64 x 36 grey samples of the whole screen, 0..255.
screen_brightness() {
    ffmpeg -v error -f x11grab -i "$DISPLAY" -frames:v 1 -vf scale=64:36 -f rawvideo -pix_fmt gray - |
        od -An -tu1 -v | tr -s ' ' '\n' | awk 'NF { if ($1 > max) max = $1 } END { print max + 0 }'
}

# Whether the screen shows one of the demo's pictures, which reach 170 and
# more; the bare screen is darker (the pointer 36, the window manager's grey
# root 66), as is the demo's window before its first frame, which shows what
# lies under it.
shows_picture() {
    [ "$(screen_brightness)" -ge 128 ]
}

# Whether the demo's window has the input focus, where the keys go. Until
# the window manager gives it, a key reaches no window and is lost.
has_focus() {
    [ "$(xdotool getwindowfocus getwindowname 2>/dev/null)" = Korvanthe ]
}

# Whether the file holds any byte other than 0.
has_sound() {
    [ -f "$1" ] && [ "$(tr -d '\000' <"$1" | head -c 1 | wc -c)" -gt 0 ]
}

# Whether the demo has not ended yet, and whether it has.
still_running() {
    [ ! -s "$status_file" ]
}
ended() {
    [ -s "$status_file" ]
}

check() {
    if "$@"; then
        return 0
    fi
    echo "FAILED ($case_name): $description"
    failed=1
    return 1
}

# As check, for an event the command waits for (wait_until); its time goes
# into the case's line under the name $1.
check_event() {
    event=$1
    shift
    if wait_until "$@"; then
        timings="$timings, $event $waited s"
        return 0
    fi
    echo "FAILED ($case_name): $description (not after $waited s)"
    failed=1
    return 1
}

# Whether the demo's stderr of this case holds exactly the given lines.
stderr_lines_are() {
    grep '^korvanthe:' "$work/stderr-$case_name" >"$work/said-$case_name"
    printf '%s' "$1" | diff - "$work/said-$case_name" >/dev/null
}

run_case() {
    demo=$1
    work=$2
    case_name=$3
    folder=${4:-$work}
    # A driver name SDL does not know stands for a machine without sound.
    audio_driver=disk
    [ "$case_name" = without-device ] && audio_driver=no-such-driver
    failed=0
    timings=""
    sound="$work/sound-$case_name.raw"
    status_file="$work/status-$case_name"
    pid_file="$work/pid-$case_name"
    # The status is written by a watcher, so that no zombie process can pass
    # for a running demo.
    (
        cd "$folder" || exit
        SDL_AUDIODRIVER=$audio_driver SDL_DISKAUDIOFILE="$sound" "$demo" \
            2>"$work/stderr-$case_name" &
        echo $! >"$pid_file"
        wait $!
        echo $? >"$status_file"
    ) &

    description="the screen shows a picture"
    check_event picture shows_picture
    description="the demo's window has the input focus"
    check_event focus has_focus
    if [ "$case_name" = with-song ] || [ "$case_name" = installed ]; then
        description="the disk sound is not silent"
        check_event sound has_sound "$sound"

        xdotool key space
        sleep 1
        description="the demo still runs after Space"
        check still_running
        description="the pictures still show after Space"
        check_event "picture after Space" shows_picture
        xdotool key space
        sleep 1
        description="the pictures still show after a second Space"
        check_event "picture after the second Space" shows_picture
    fi

    expected_status=0
    if [ "$case_name" = sigterm ]; then
        kill -TERM "$(cat "$pid_file")"
        expected_status=143
        description="SIGTERM ends the demo"
        event="end after SIGTERM"
    else
        xdotool key Escape
        description="Escape ends the demo"
        event="end after Escape"
    fi
    if check_event "$event" ended; then
        exit_status=$(cat "$status_file")
        description="the demo ends with status $expected_status (got $exit_status)"
        check [ "$exit_status" -eq "$expected_status" ]
    else
        kill "$(cat "$pid_file")" 2>/dev/null
        wait_until ended
    fi
    cat "$work/stderr-$case_name"
    description="stderr says where the files came from"
    case "$case_name" in
    installed) check stderr_lines_are "korvanthe: reading its files from $prefix/share/korvanthe
" ;;
    without-song) check stderr_lines_are "korvanthe: reading its files from $prefix/share/korvanthe
korvanthe: soundtrack.xm not found in the working directory, $prefix/share/korvanthe or \
$prefix/bin
" ;;
    *) check stderr_lines_are "" ;;
    esac
    [ $failed -eq 0 ] && echo "ok ($case_name: ${timings#, })"
    return $failed
}

manager_runs() {
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}

if [ "${1:-}" = "--inside" ]; then
    shift
    demo=$1
    data=$2
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    for file in soundtrack.xm random.scp gridtile.tga picture0.raw picture1.raw picture2.raw \
        korvanthe.raw tallstrip.raw random.raw; do
        if [ ! -f "$data/$file" ]; then
            echo "missing $data/$file (build korvanthe_assets first)"
            exit 1
        fi
        cp "$data/$file" "$work/"
    done
    manager=""
    if command -v openbox >/dev/null 2>&1; then
        openbox >/dev/null 2>&1 &
        manager=$!
        wait_until manager_runs
    fi
    # The demo runs from an installed tree of its own, so that the files
    # beside the build's executable play no part.
    prefix=$work/prefix
    mkdir -p "$prefix/bin" "$prefix/share/korvanthe" "$work/elsewhere"
    cp "$demo" "$prefix/bin/korvanthe"
    demo=$prefix/bin/korvanthe
    status=0
    run_case "$demo" "$work" with-song || status=1
    run_case "$demo" "$work" without-device || status=1
    run_case "$demo" "$work" sigterm || status=1
    for file in soundtrack.xm random.scp gridtile.tga picture0.raw picture1.raw picture2.raw \
        korvanthe.raw tallstrip.raw random.raw; do
        mv "$work/$file" "$prefix/share/korvanthe/"
    done
    run_case "$demo" "$work" installed "$work/elsewhere" || status=1
    rm "$prefix/share/korvanthe/soundtrack.xm"
    run_case "$demo" "$work" without-song "$work/elsewhere" || status=1
    [ -n "$manager" ] && kill "$manager"
    exit $status
fi


for tool in xvfb-run Xvfb xdotool xprop ffmpeg; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "$tool not found: demo test skipped"
        exit 77
    fi
done
if ! ffmpeg -hide_banner -devices 2>/dev/null | grep -q x11grab; then
    echo "ffmpeg cannot grab the X screen: demo test skipped"
    exit 77
fi
# The test must not land on the developer's own screen.
unset WAYLAND_DISPLAY
export SDL_VIDEODRIVER=x11
# The system's X and GL libraries keep allocations to the end of the process
# that no suppression can name; leaks of our own code show in the headless tests.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
# A screen of the demo's own size: software rendering fills no more pixels
# than the demo draws.
exec xvfb-run -a -s "-screen 0 640x480x24" sh "$0" --inside "$@"
