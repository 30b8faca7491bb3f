#!/usr/bin/env bash
# Soak runs on the headless backend (not part of the unit tests):
#   scripts/soak.sh [play-stop|loop|frames|all]
# play-stop: 10,000 load/play/stop cycles of the demo's song (SOAK_CYCLES);
# loop: an hour of the song looping, rendered as fast as possible, every
#   block's stamp checked (SOAK_LOOP_SECONDS);
# frames: the demo's frame loop over an hour of virtual time
#   (SOAK_FRAME_SECONDS at SOAK_FPS frames a second, default 3600 at 1).
# Each prints its figures (cycles or hours, memory after warm-up and at the
# end) and fails on a leak, a hang, a stray voice or a stamp out of step.
# Environment: SOAK_BUILD (build directory, default build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${SOAK_BUILD:-build}
what=${1:-all}
[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target korvanthe-soak korvanthe_assets
bin=$(cd "$build/bin" && pwd)

if [ "$what" = play-stop ] || [ "$what" = all ]; then
    "$bin/korvanthe-soak" play-stop "$bin/soundtrack.xm" "${SOAK_CYCLES:-10000}"
fi
if [ "$what" = loop ] || [ "$what" = all ]; then
    "$bin/korvanthe-soak" loop "$bin/soundtrack.xm" "${SOAK_LOOP_SECONDS:-3600}"
fi
if [ "$what" = frames ] || [ "$what" = all ]; then
    # The demo reads its song, script and pictures from the working directory.
    (cd "$bin" && ./korvanthe-soak frames "${SOAK_FRAME_SECONDS:-3600}" "${SOAK_FPS:-1}")
fi
