#!/usr/bin/env bash
# Runs every GoogleTest executable of a build once as a whole, each in the
# folder and with the environment its CTest tests have. CTest runs one test
# per process; state that one test leaves behind for the next (a key still
# held, a failing step still chosen) only shows when they share a process.
#   run-test-binaries.sh [BUILD_DIR]     (default: build)
# Executables that CTest runs through a wrapper of their own (under Xvfb)
# already run as a whole there and are left out; so are tests not built.
set -uo pipefail
build=${1:-build}
if [ ! -d "$build" ]; then
    echo "run-test-binaries: no build folder $build" >&2
    exit 2
fi

# gtest_discover_tests leaves one include file per executable, naming the
# executable and the folder CTest runs it in.
field() {
    sed -n "s/.*$1 \\[==\\[\\(.*\\)\\]==\\].*/\\1/p" "$2" | head -n 1
}

log=$(mktemp)
trap 'rm -f "$log"' EXIT
failed=()
count=0
while IFS= read -r include; do
    executable=$(field TEST_EXECUTABLE "$include")
    folder=$(field TEST_WORKING_DIR "$include")
    if [ -z "$executable" ] || [ ! -x "$executable" ]; then
        continue
    fi
    count=$((count + 1))
    # The environment of korvanthe_test (cmake/KorvantheLibrary.cmake). The
    # output is shown only for an executable that fails.
    if ! (cd "${folder:-.}" && LP_NUM_THREADS=0 timeout 1800 "$executable" --gtest_brief=1) \
        >"$log" 2>&1; then
        echo "--- $(basename "$executable") failed as a whole:"
        cat "$log"
        failed+=("$(basename "$executable")")
    fi
done < <(find "$build" -name '*_include.cmake' -path '*\[1\]_include.cmake' | sort)

if [ ${#failed[@]} -gt 0 ]; then
    echo "run-test-binaries: ${#failed[@]} of $count executables failed as a whole: ${failed[*]}" >&2
    exit 1
fi
echo "run-test-binaries: all $count test executables pass as a whole"
