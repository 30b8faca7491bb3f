#!/usr/bin/env bash
# Cross-compiles Korvanthe for Windows with MinGW-w64 and lays out the
# release folders with their zips.
#
#   bash scripts/build-windows.sh [i686|x86_64|all] [--no-tests]
#
# i686 (32-bit) is the primary target; all (the default) builds both. Each
# goes to build-windows-<arch>/; the release is build-windows-<arch>/release/
# korvanthe-windows-x86(.zip) or -x64(.zip). The data the demo reads are
# written by the generators of a native build (build/, made here when
# missing; KORVANTHE_HOST_BUILD names another). Optimised as the native build
# (-O2), without debug information. The programs need Windows Vista or later.
# Needs the Debian package mingw-w64. Where Wine is installed (wine64 for
# x86_64, wine32:i386 for i686) the test programs are set to run under it:
# scripts/test-windows.sh runs them.
set -euo pipefail
cd "$(dirname "$0")/.."
arches=(i686 x86_64)
tests=ON
for argument in "$@"; do
    case "$argument" in
    i686 | x86_64) arches=("$argument") ;;
    all) arches=(i686 x86_64) ;;
    --no-tests) tests=OFF ;;
    *)
        echo "usage: bash scripts/build-windows.sh [i686|x86_64|all] [--no-tests]" >&2
        exit 2
        ;;
    esac
done
for arch in "${arches[@]}"; do
    if ! command -v "$arch-w64-mingw32-g++-posix" >/dev/null; then
        echo "$arch-w64-mingw32-g++-posix not found: install the Debian package mingw-w64" >&2
        exit 1
    fi
done

# The generators, built natively.
host_build=${KORVANTHE_HOST_BUILD:-build}
if [[ ! -f "$host_build/CMakeCache.txt" ]]; then
    cmake -S . -B "$host_build" -G Ninja
fi
cmake --build "$host_build" --target korvanthe-assetgen korvanthe-demo-song
host_tools=$(cd "$host_build/bin" && pwd)

# A compiler cache, where there is one, makes a rebuild of unchanged sources
# nearly free, also in another checkout of the same sources.
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
fi

for arch in "${arches[@]}"; do
    build=build-windows-$arch
    # Fresh each time: the toolchain's flags (target Windows version, static
    # runtime) and the Wine test runner reach the cache only on a first
    # configure. Unchanged sources are not recompiled.
    cmake --fresh -S . -B "$build" -G Ninja "${launcher[@]}" \
        -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchains/mingw-w64-$arch.cmake" \
        -DKORVANTHE_HOST_TOOLS="$host_tools" -DKORVANTHE_TESTS=$tests -DKORVANTHE_BENCH=OFF -DKORVANTHE_WERROR=ON \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" \
        -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG"
    cmake --build "$build"
    cmake --build "$build" --target korvanthe_windows_release
    ls "$build"/release/*.zip
done
