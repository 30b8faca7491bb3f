#!/usr/bin/env bash
# Builds Korvanthe for the browser with Debian's emscripten and lays out the
# site: build-web/site/ (index.html, korvanthe.js, korvanthe.wasm and
# korvanthe.data, the song, timeline and pictures packed for the page's file
# system) and build-web/korvanthe-web.zip. Any static file server serves it,
# with no special headers.
#
#   bash scripts/build-web.sh [--data FOLDER]
#
# The data are written by the generators, built natively in build-web/native;
# the page's program is built in build-web/wasm. With --data, the show of
# FOLDER (its soundtrack.xm, random.scp, gridtile.tga and six .raw pictures)
# is packed instead, once korvanthe-show-check has found every file there
# and readable without a warning; otherwise its one line names the file and
# the reason, and nothing is built. Needs the Debian packages emscripten and
# zip.
set -euo pipefail
usage() {
    echo "usage: bash scripts/build-web.sh [--data FOLDER]" >&2
    exit 2
}
show=""
while [[ $# -gt 0 ]]; do
    case "$1" in
    --data)
        [[ $# -ge 2 && -n "$2" ]] || usage
        # Named from where the script was called. The packer reads "@" as
        # its own separator and the link options split at spaces.
        show=$(realpath -m -- "$2")
        if [[ $show == *[[:space:]@]* ]]; then
            echo "build-web.sh: $show: a folder whose path has no spaces and no @, please" >&2
            exit 1
        fi
        shift 2
        ;;
    *) usage ;;
    esac
done
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
if [[ -z $show ]]; then
    cmake --build "$out/native" --target korvanthe_assets
    data=$PWD/$out/native/bin
else
    # Quiet, so that a bad folder's one line is all there is to read; a
    # failing build shows its own lines.
    if ! built=$(cmake --build "$out/native" --target korvanthe-show-check 2>&1); then
        echo "$built" >&2
        exit 1
    fi
    "$out/native/bin/korvanthe-show-check" "$show" || exit 1
    data=$show
fi

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
