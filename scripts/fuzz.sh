#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang, ASan + UBSan) and runs each one for
# a given time: scripts/fuzz.sh [SECONDS] [TARGET...]
#   SECONDS  per harness (default 60)
#   TARGET   xm, script, picture (default all three, one after another)
# Environment: FUZZ_BUILD (build directory, default build-fuzz), FUZZ_JOBS
# (build jobs, default 2), SEED_BUILD (an ordinary build whose bin/ holds the
# demo's generated song, script and picture, default build).
# Inputs that grow coverage collect in $FUZZ_BUILD/corpus/<target>; a crash,
# hang, leak or sanitizer report stops the run, leaves the input in
# $FUZZ_BUILD/findings/<target>/ and makes the script exit non-zero. Commit
# such an input under tests/fuzz/regressions/<target>/ with its fix.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(xm script picture)
build=${FUZZ_BUILD:-build-fuzz}

if [ ! -f "$build/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DKORVANTHE_BENCH=OFF -DKORVANTHE_SANITIZE=address,undefined -DKORVANTHE_FUZZ=ON -DKORVANTHE_WERROR=ON >/dev/null
fi
cmake --build "$build" -j "${FUZZ_JOBS:-2}" --target $(printf 'fuzz_%s ' "${targets[@]}")

# Seeds: the committed ones, every earlier finding, the build's own song,
# script and pictures, and the shared XM corpus when it is there.
extra="$build/fuzz-seeds"
mkdir -p "$extra/xm" "$extra/script" "$extra/picture"
generated=${SEED_BUILD:-build}/bin
cp "$generated/soundtrack.xm" "$extra/xm/" 2>/dev/null || true
cp "$generated/random.scp" "$extra/script/" 2>/dev/null || true
cp "$generated/gridtile.tga" "$extra/picture/" 2>/dev/null || true

status=0
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    findings="$build/findings/$target"
    mkdir -p "$corpus" "$findings"
    # Seed folders that a checkout may lack (git keeps no empty folder) are left out.
    dirs=("$corpus")
    for dir in "tests/fuzz/seeds/$target" "tests/fuzz/regressions/$target" "$extra/$target"; do
        [ -d "$dir" ] && dirs+=("$dir")
    done
    options=(-max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048
        -artifact_prefix="$findings/" -print_final_stats=1)
    case $target in
    xm)
        # Large songs are cut to their first 64 KiB: the rest is sample data,
        # and the loader's refusals and pattern decoding all lie before it.
        options+=(-max_len=65536)
        for dir in ../shared/xm-corpus/*/; do
            [ -d "$dir" ] && dirs+=("$dir")
        done
        ;;
    script) options+=(-max_len=8192) ;;
    picture) options+=(-max_len=4096) ;;
    esac
    echo "=== fuzz_$target for ${seconds}s"
    log="$build/fuzz-$target.log"
    if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        "$build/bin/fuzz_$target" "${options[@]}" "${dirs[@]}" >"$log" 2>&1; then
        grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss_mb)' "$log" || true
    else
        status=1
        echo "fuzz_$target stopped on a finding; input in $findings/, log in $log:"
        grep -E 'ERROR|SUMMARY|fuzz check failed|Test unit written' "$log" | head -20 || true
    fi
done
exit $status
