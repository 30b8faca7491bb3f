#!/bin/sh
# Author mode end to end: `korvanthe --author FOLDER` on a virtual X server
# with a window manager and SDL's disk sound driver, keys sent with xdotool:
# P pauses (the picture holds and the sound is silent) and P again goes on;
# Down moves to the next order entry, and the window's title says so; an
# edit of the folder's script is seen without a restart; Escape ends it with
# status 0.
#   author_under_xvfb.sh DEMO DATA_DIR
# Exit 77 (skipped) where a tool is missing. Waits are bounded at a minute,
# far above any run's time; a failure says how long it waited.
set -u

# The window's picture as it is now, without the window manager's frame,
# as grey bytes; $1: the size to scale it to ("" for as it is).
grab_window() {
    eval "$(xdotool getwindowgeometry --shell "$window")"
    ffmpeg -v error -f x11grab -draw_mouse 0 -video_size "${WIDTH}x${HEIGHT}" -i "$DISPLAY+$X,$Y" \
        -frames:v 1 ${1:+-vf scale=$1} -f rawvideo -pix_fmt gray -
}

screen_digest() {
    grab_window "" >"$work/grab" && [ -s "$work/grab" ] && md5sum <"$work/grab"
}

# The mean of 64 x 48 grey samples of the window's picture, 0..255.
screen_brightness() {
    grab_window 64:48 | od -An -tu1 -v | tr -s ' ' '\n' |
        awk 'NF { sum += $1; n++ } END { print n ? int(sum / n) : 255 }'
}

window_title() {
    xdotool getwindowname "$window" 2>/dev/null
}

# Waits up to a minute for the command to succeed; says how long it took.
wait_for() {
    started=$(date +%s)
    while ! "$@"; do
        if [ $(($(date +%s) - started)) -ge 60 ]; then
            echo "FAILED: $description (waited $(($(date +%s) - started)) s; title: $(window_title))"
            failed=1
            return 1
        fi
        sleep 0.1
    done
    return 0
}

title_has() {
    window_title | grep -q -- "$1"
}

title_lacks() {
    ! window_title | grep -q -- "$1"
}

# The order the title shows ("Korvanthe - 12:32 1:38.2 ...").
title_order() {
    window_title | sed -n 's/^Korvanthe - \([0-9]*\):.*/\1/p'
}

title_seconds_at_least() {
    window_title | awk -v least="$1" '{
        split($4, t, ":"); if (t[1] * 60 + t[2] >= least) found = 1 } END { exit !found }'
}

order_beyond() {
    [ "$(title_order)" -gt "$1" ] 2>/dev/null
}

screen_lit() {
    [ "$(screen_brightness)" -ge 10 ]
}

screen_dark() {
    [ "$(screen_brightness)" -lt 3 ]
}

if [ "${1:-}" = "--inside" ]; then
    demo=$2
    data=$3
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    mkdir "$work/show"
    for file in soundtrack.xm random.scp gridtile.tga picture0.raw picture1.raw picture2.raw \
        korvanthe.raw tallstrip.raw random.raw; do
        [ -f "$data/$file" ] || { echo "missing $data/$file (build korvanthe_assets first)"; exit 1; }
        cp "$data/$file" "$work/show/"
    done
    openbox >/dev/null 2>&1 &
    manager=$!
    failed=0
    sound=$work/sound.raw
    (
        cd "$work" || exit
        SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$sound" "$demo" --author "$work/show" \
            >"$work/stdout" 2>"$work/stderr" &
        echo $! >"$work/pid"
        wait $!
        echo $? >"$work/status"
    ) &
    description="the author window appears"
    window=""
    find_window() {
        window=$(xdotool search --name '^Korvanthe - ' 2>/dev/null | head -n 1)
        [ -n "$window" ]
    }
    wait_for find_window || { cat "$work/stderr"; exit 1; }
    description="the title shows the song playing past 2 s"
    wait_for title_seconds_at_least 2

    xdotool key --window "$window" p
    description="P pauses: the title says paused"
    wait_for title_has paused
    sleep 0.5
    held=$(window_title)
    picture=$(screen_digest) || { echo "FAILED: the window cannot be grabbed"; failed=1; }
    size=$(stat -c %s "$sound")
    sleep 1
    description="the picture holds while paused"
    [ "$(screen_digest)" = "$picture" ] || { echo "FAILED: $description"; failed=1; }
    description="the title holds while paused"
    [ "$(window_title)" = "$held" ] || { echo "FAILED: $description ($held, then $(window_title))"; failed=1; }
    description="the sound is silent while paused"
    if [ "$(tail -c +$((size + 1)) "$sound" | head -c 100000 | tr -d '\000' | wc -c)" -ne 0 ]; then
        echo "FAILED: $description"
        failed=1
    fi
    xdotool key --window "$window" p
    description="P again goes on"
    wait_for title_lacks paused

    order=$(title_order)
    xdotool key --window "$window" Down
    description="Down moves to the next order entry (from order $order)"
    wait_for order_beyond "$order"

    # A script that fires nothing: the screen goes black at once, without a
    # restart of the demo.
    description="the show draws something before the edit"
    wait_for screen_lit
    pid=$(cat "$work/pid")
    echo "255:0 flash start 0 0 0" >"$work/show/random.scp"
    description="the edited script is seen: the screen goes dark"
    wait_for screen_dark
    description="the edit needed no restart"
    kill -0 "$pid" 2>/dev/null || { echo "FAILED: $description"; failed=1; }
    grep -q "random.scp read again" "$work/stdout" ||
        { echo "FAILED: the reload is not told: $(cat "$work/stdout")"; failed=1; }

    xdotool key --window "$window" Escape
    description="Escape ends it"
    ended() { [ -s "$work/status" ]; }
    wait_for ended
    description="it ends with status 0"
    [ "$(cat "$work/status" 2>/dev/null)" = 0 ] ||
        { echo "FAILED: $description (got $(cat "$work/status" 2>/dev/null))"; failed=1; }
    kill "$manager" 2>/dev/null
    [ $failed -eq 0 ] && echo "ok" || cat "$work/stderr"
    exit $failed
fi

for tool in xvfb-run Xvfb xdotool openbox ffmpeg; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "$tool not found: author test skipped"
        exit 77
    fi
done
if ! ffmpeg -hide_banner -devices 2>/dev/null | grep -q x11grab; then
    echo "ffmpeg cannot grab the X screen: author test skipped"
    exit 77
fi
unset WAYLAND_DISPLAY
export SDL_VIDEODRIVER=x11
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
# Room for the 640 x 480 window and the window manager's frame around it.
exec xvfb-run -a -s "-screen 0 800x600x24" sh "$0" --inside "$@"
