#!/usr/bin/env bash
# Tests the web edition: builds the site (scripts/build-web.sh), builds the
# player's unit tests for wasm and runs them under node (the same cases and
# golden checksum as natively, on the scalar mixer path), then, where
# Debian's chromium and npm's puppeteer-core are installed, serves the site on
# 127.0.0.1, checks the page in headless Chromium (scripts/check-web-page.mjs,
# screenshots in build-web/screenshots/), checks the start and fullscreen
# gestures (scripts/check-web-gestures.mjs), listens to the page's sound at a
# PulseAudio sink, through the AudioWorklet and through the script processor,
# against the song rendered natively (scripts/check-web-sound.sh) and
# compares chosen frames drawn frame by frame with the native capture's
# (scripts/web-frames.mjs), from the start and from positions (?at= against
# korvanthe-capture --from).
#
#   bash scripts/test-web.sh [--no-page | --require-page]
#
# Without chromium or puppeteer-core the page checks are skipped, said in one
# line; --require-page makes that a failure (CI).
# puppeteer-core is looked for in build-web/npm (npm install --prefix
# build-web/npm puppeteer-core) and through NODE_PATH. Ends with one
# "N passed, N failed" line, each test program and each page check counting one.
set -euo pipefail
cd "$(dirname "$0")/.."
page=yes
for argument in "$@"; do
    case "$argument" in
    --no-page) page=no ;;
    --require-page) page=required ;;
    *)
        echo "usage: bash scripts/test-web.sh [--no-page | --require-page]" >&2
        exit 2
        ;;
    esac
done
bash scripts/build-web.sh
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
emcmake cmake -S . -B build-web/wasm -DKORVANTHE_WEB_TESTS=ON >/dev/null
cmake --build build-web/wasm --target korvanthe_web_tests

passed=0
failed=0
# Runs a command and counts it as passed or failed.
count() { if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi; }
# Node's own fetch cannot read the .wasm beside the script from this emcc's
# loader: it is turned off. Each test runs in a folder of its own.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# One test program, quiet when it passes but for its gtest summary.
run_node_test() {
    local test=$1 name
    name=$(basename "$test" .js)
    if (cd "$work" && node --no-experimental-fetch "$OLDPWD/$test" >"$work/$name.log" 2>&1); then
        echo "ok: $name ($(grep -E '^\[  PASSED  \]' "$work/$name.log" || true))"
    else
        echo "FAILED: $name"
        tail -20 "$work/$name.log"
        return 1
    fi
}
for test in build-web/wasm/bin/web_*_test.js; do
    count run_node_test "$test"
done

if [[ $page != no ]]; then
    export NODE_PATH=$PWD/build-web/npm/node_modules:$NODE_PATH
    if ! command -v chromium >/dev/null || ! node -e 'require("puppeteer-core")' 2>/dev/null; then
        echo "page check skipped: needs chromium and puppeteer-core"
        if [[ $page == required ]]; then
            failed=$((failed + 1))
        fi
    else
        port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
        python3 -m http.server "$port" --bind 127.0.0.1 --directory build-web/site >"$work/server.log" 2>&1 &
        server=$!
        trap 'kill $server 2>/dev/null; rm -rf "$work"' EXIT
        # A minute for the server to answer: far longer than it takes, even
        # on a loaded machine.
        started=$SECONDS
        until curl -sf "http://127.0.0.1:$port/index.html" >/dev/null; do
            [[ $((SECONDS - started)) -lt 60 ]] || break
            sleep 0.1
        done
        count node scripts/check-web-page.mjs "http://127.0.0.1:$port/index.html" build-web/screenshots 10
        count node scripts/check-web-gestures.mjs "http://127.0.0.1:$port/index.html"
        # The sound where a listener hears it (a private PulseAudio server's
        # null sink), the page's main thread blocked for 1 s
        # every 1.5 s: no silence of 10 ms or more, the song's own frames
        # from its first on, the position never back, the picture catching
        # up. Against the song and its block stamps rendered natively.
        cmake --build build-web/native --target korvanthe-xm
        build-web/native/bin/korvanthe-xm render build-web/native/bin/soundtrack.xm \
            -o "$work/soundtrack.wav" --positions "$work/positions.txt" >/dev/null
        # The worklet must pass; the script processor of browsers without
        # one gives its figures (it plays on the page's thread, so a page
        # blocked for a second replays stale buffers, and on a loaded
        # machine its start can still come late).
        count bash scripts/check-web-sound.sh "http://127.0.0.1:$port/index.html" \
            "$work/soundtrack.wav" "$work/positions.txt" --device worklet
        bash scripts/check-web-sound.sh "http://127.0.0.1:$port/index.html" \
            "$work/soundtrack.wav" "$work/positions.txt" --device script-processor ||
            echo "script processor: figures only, not counted"
        # The page frame by frame against the native capture of the same
        # frames: the text (8 s), the title (31 s), the scroll (60 s and
        # 90 s) and a flash (115.4 s), at 10 fps. The two rasterisers
        # (Mesa natively, SwiftShader under WebGL) differ in edge and
        # sampling rounding: measured 0.13 to 0.46 mean per channel, at most 1
        # level on plain pictures; a wrong matrix, colour or blend costs tens.
        cmake --build build-web/native --target korvanthe-capture
        rm -rf build-web/native-frames
        (cd build-web/native/bin && ./korvanthe-capture -o ../../native-frames/ --fps 10 --seconds 116)
        count node scripts/web-frames.mjs "http://127.0.0.1:$port/index.html" build-web/web-frames 10 \
            --against build-web/native-frames 1.0 80 310 600 900 1154
        # The page started at a position (?at=) against the native capture
        # from there (--from): the scroll under a flash's timer (3:20) and
        # inside the drop (1:38.5), its first frame and one a little later.
        # One row off costs about 21.
        for at in 3:20 1:38.5; do
            rm -rf build-web/native-at
            (cd build-web/native/bin &&
                ./korvanthe-capture -o ../../native-at/ --fps 10 --seconds 0.5 --from "$at" >/dev/null)
            count node scripts/web-frames.mjs "http://127.0.0.1:$port/index.html" build-web/web-at 10 \
                --at "$at" --against build-web/native-at 1.0 0 4
        done
    fi
fi

# A show of one's own: the site built from the example folder
# (korvanthe-assetgen --example) with --data, and, where the page checks
# run, two of its frames against the native capture of that folder; a
# folder with a picture of the wrong size is refused in one line naming the
# picture. The site of our own show is built again afterwards.
cmake --build build-web/native --target korvanthe-assetgen korvanthe-capture
rm -rf build-web/example build-web/example-bad build-web/native-example
build-web/native/bin/korvanthe-assetgen --example build-web/example
cp -r build-web/example build-web/example-bad
head -c 1000 build-web/example/picture1.raw >build-web/example-bad/picture1.raw
# Reports its outcome and gives it as its status.
refuses_bad_folder() {
    local errors
    if errors=$(bash scripts/build-web.sh --data build-web/example-bad 2>&1 >/dev/null); then
        echo "FAILED: build-web.sh --data took a folder with a short picture"
        return 1
    fi
    if [[ $(wc -l <<<"$errors") -ne 1 || $errors != *"example-bad/picture1.raw: a 512 x 256 raw picture is 393216 bytes; this file has 1000" ]]; then
        echo "FAILED: build-web.sh --data on a bad folder said: $errors"
        return 1
    fi
    echo "ok: build-web.sh --data refuses a bad folder: $errors"
}
count refuses_bad_folder
if bash scripts/build-web.sh --data build-web/example; then
    passed=$((passed + 1))
    if [[ -n ${server:-} ]]; then
        (cd build-web/example && ../native/bin/korvanthe-capture -o ../native-example/ --fps 10 \
            --seconds 24 >/dev/null 2>&1)
        # The lattice come in from afar (10 s), the strip scrolling under
        # it in the drop (16 s) and the title on black (23 s).
        count node scripts/web-frames.mjs "http://127.0.0.1:$port/index.html" build-web/web-example 10 \
            --against build-web/native-example 1.0 100 160 230
    fi
else
    echo "FAILED: build-web.sh --data build-web/example"
    failed=$((failed + 1))
fi
bash scripts/build-web.sh >/dev/null
echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
