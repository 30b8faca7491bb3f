#!/usr/bin/env bash
# Builds everything in build/ and runs the demo from build/bin.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build
cd build/bin
if [[ -x ./korvanthe ]]; then
    exec ./korvanthe
fi
exec ./korvanthe-xm info demo-song.xm
