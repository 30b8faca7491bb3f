#!/usr/bin/env bash
# Checks libkorvanthe-xm as another program gets it, from a build directory:
#   check-examples.sh BUILD_DIR
# Installs into a temporary prefix and moves the tree elsewhere; builds the
# examples against the moved tree once through pkg-config and once through
# find_package(KorvantheXM); runs the render example, whose WAV must equal
# `korvanthe-xm render`'s, and the SDL example on SDL's disk driver; and
# lists the shared library's exported symbols, failing on any that is not
# the interface's.
set -euo pipefail
build=$(cd "${1:?usage: check-examples.sh BUILD_DIR}" && pwd)
cd "$(dirname "$0")/.."
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
    echo "check-examples: $*" >&2
    exit 1
}

echo "--- cmake --install, then moved"
cmake --install "$build" --prefix "$scratch/first" >/dev/null
mkdir -p "$scratch/moved"
mv "$scratch/first" "$scratch/moved/prefix"
prefix=$scratch/moved/prefix
libdir=$(dirname "$(find "$prefix" -name libkorvanthe-xm.so -print -quit)")
[[ -n "$libdir" && -f "$libdir/pkgconfig/korvanthe-xm.pc" ]] || fail "no library or .pc installed"
soname=$(readelf -d "$libdir/libkorvanthe-xm.so" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
echo "soname: $soname"
[[ "$soname" == libkorvanthe-xm.so.1 ]] || fail "the soname is \"$soname\""

echo "--- exported symbols (nm -D --defined-only)"
nm -D --defined-only "$libdir/libkorvanthe-xm.so" | tee "$scratch/symbols"
strays=$(awk '$2 != "A" && $3 !~ /^korvanthe_xm_[a-z_]+(@@KORVANTHE_XM_1)?$/ { print $3 }' \
    "$scratch/symbols")
[[ -z "$strays" ]] || fail "symbols beyond the interface are exported: $strays"
declared=$(grep -o 'korvanthe_xm_[a-z_]*(' include/korvanthe/xm.h | tr -d '(' | sort -u)
exported=$(awk '$2 == "T" { sub(/@.*/, "", $3); print $3 }' "$scratch/symbols" | sort -u)
[[ "$declared" == "$exported" ]] ||
    fail "the header's calls and the exported ones differ: $(diff <(echo "$declared") <(echo "$exported") || true)"

song=$build/bin/soundtrack.xm
"$build/bin/korvanthe-xm" render "$song" -o "$scratch/tool.wav"

echo "--- the examples through pkg-config"
export PKG_CONFIG_PATH=$libdir/pkgconfig
mkdir "$scratch/pc"
for example in render_wav sdl_play; do
    packages=korvanthe-xm
    [[ $example == sdl_play ]] && packages="korvanthe-xm sdl2"
    # shellcheck disable=SC2046,SC2086
    cc -std=c99 -Wall -Wextra -Werror "examples/$example.c" -o "$scratch/pc/$example" \
        $(pkg-config --cflags --libs $packages) -Wl,-rpath,"$libdir"
done
"$scratch/pc/render_wav" "$song" "$scratch/pc.wav"
cmp "$scratch/tool.wav" "$scratch/pc.wav" || fail "render_wav (pkg-config) differs from korvanthe-xm render"
echo "ok: render_wav's WAV equals korvanthe-xm render's"
rows=$(SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null timeout 20 "$scratch/pc/sdl_play" "$song" 1 2>/dev/null |
    grep -c '^order .* row ' || true)
[[ $rows -ge 5 ]] || fail "sdl_play printed $rows heard rows in a second"
echo "ok: sdl_play printed $rows heard rows in a second"

echo "--- the examples through find_package(KorvantheXM)"
cmake -S examples -B "$scratch/cm" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_C_FLAGS="-Wall -Wextra -Werror" >/dev/null
cmake --build "$scratch/cm" >/dev/null
"$scratch/cm/render_wav" "$song" "$scratch/cm.wav"
cmp "$scratch/tool.wav" "$scratch/cm.wav" || fail "render_wav (CMake) differs from korvanthe-xm render"
"$scratch/cm/render_wav_static" "$song" "$scratch/cm-static.wav"
cmp "$scratch/tool.wav" "$scratch/cm-static.wav" ||
    fail "render_wav_static (CMake) differs from korvanthe-xm render"
ldd "$scratch/cm/render_wav_static" | grep -q korvanthe && fail "render_wav_static needs the shared library"
echo "ok: render_wav and render_wav_static (CMake) equal korvanthe-xm render; sdl_play built"

echo "--- the static library, from C"
# shellcheck disable=SC2046
cc -std=c99 "examples/render_wav.c" -I"$prefix/include" "$libdir/libkorvanthe-xm.a" \
    $(pkg-config --libs-only-l --static korvanthe-xm | sed 's/-lkorvanthe-xm//') -o "$scratch/static"
"$scratch/static" "$song" "$scratch/static.wav"
cmp "$scratch/tool.wav" "$scratch/static.wav" || fail "render_wav (static) differs"
echo "ok: render_wav linked statically equals korvanthe-xm render"
