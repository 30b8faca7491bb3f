#!/usr/bin/env bash
# Builds everything in build/ and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DKORVANTHE_WERROR=ON
cmake --build build
ctest --test-dir build --output-on-failure -j2 --timeout 600
bash scripts/run-test-binaries.sh build
