#!/usr/bin/env bash
# Builds Korvanthe for the browser with Debian's emscripten and lays out the
# site: build-web/site/ (index.html, korvanthe.js, korvanthe.wasm and
# korvanthe.data, the song, timeline and pictures packed for the page's file
# system) and build-web/korvanthe-web.zip. Any static file server serves it,
# with no special headers.
#
#   bash scripts/build-web.sh
#
# The data are written by the generators, built natively in build-web/native;
# the page's program is built in build-web/wasm. Needs the Debian packages
# emscripten and zip.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v emcc >/dev/null; then
    echo "emcc not found: install the Debian package emscripten" >&2
    exit 1
fi
# Debian's emcc runs its JavaScript tools with the machine's node, which
# must find Debian's modules (acorn) there.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
out=build-web

# The generators, natively.
cmake -S . -B "$out/native" -G Ninja -DKORVANTHE_WERROR=ON -DKORVANTHE_TESTS=OFF \
    -DKORVANTHE_BENCH=OFF -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
cmake --build "$out/native" --target korvanthe_assets
data=$PWD/$out/native/bin

# The page's program, with the data packed beside it.
emcmake cmake -S . -B "$out/wasm" -G Ninja -DKORVANTHE_WERROR=ON -DCMAKE_BUILD_TYPE=Release \
    -DKORVANTHE_WEB_DATA="$data" >/dev/null
cmake --build "$out/wasm" --target korvanthe_web

site=$out/site
rm -rf "$site" "$out/korvanthe-web.zip"
mkdir -p "$site"
cp web/index.html "$out/wasm/bin/korvanthe.js" "$out/wasm/bin/korvanthe.wasm" \
    "$out/wasm/bin/korvanthe.data" "$site/"
(cd "$site" && zip -q -r ../korvanthe-web.zip .)
code=$(($(stat -c %s "$site/korvanthe.js") + $(stat -c %s "$site/korvanthe.wasm")))
total=$(du -cb "$site"/* | tail -1 | cut -f1)
echo "site: $site (code $code bytes, whole site $total bytes); zip: $out/korvanthe-web.zip"
