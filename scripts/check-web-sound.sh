#!/usr/bin/env bash
# The page's sound where a listener hears it: starts a PulseAudio server of
# its own with one null sink and runs scripts/check-web-sound.mjs against
# the served page, once for each sound device the page can play through
# (the AudioWorklet, and the script processor of browsers without it).
#
#   bash scripts/check-web-sound.sh URL SONG_WAV POSITIONS [--device D] [OPTIONS...]
#
# SONG_WAV and POSITIONS: the song rendered natively (korvanthe-xm render
# --positions). D: worklet, script-processor or both (the default); the
# other OPTIONS go to check-web-sound.mjs. Exit status 0 when every run
# passed. Needs pulseaudio and parec (pulseaudio-utils) besides what the
# page checks need.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ $# -lt 3 ]; then
    sed -n '2,13p' "$0" >&2
    exit 2
fi
url=$1 song=$2 positions=$3
shift 3
devices=(worklet script-processor)

if [ "${1:-}" = --device ]; then
    [ "$2" = both ] || devices=("$2")
    shift 2
fi
for command in pulseaudio parec; do
    command -v "$command" >/dev/null || { echo "check-web-sound: $command is not installed" >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/check-web-sound.XXXXXX")
# shellcheck source=scripts/private-pulse.sh
. "$here/private-pulse.sh"
trap 'stop_private_pulse; rm -rf "$work"' EXIT
start_private_pulse web
status=0
# A run spoiled by a machine too busy to feed the browser's audio thread
# gets one more, as the other real-time checks do; a real fault fails both.
for device in "${devices[@]}"; do
    node "$here/check-web-sound.mjs" "$url" web "$song" "$positions" --device "$device" "$@" ||
        { echo "check-web-sound: $device once more"; node "$here/check-web-sound.mjs" "$url" web \
            "$song" "$positions" --device "$device" "$@"; } || status=1
done
exit "$status"
