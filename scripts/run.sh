#!/usr/bin/env bash
# Builds everything in build/ and runs the demo from build/bin, where the
# build writes its song, timeline and pictures. Escape ends it, Space switches
# between fullscreen and a window.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build
cd build/bin
exec ./korvanthe
