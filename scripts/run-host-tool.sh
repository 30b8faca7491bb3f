#!/bin/sh
# Usage: run-host-tool.sh HOST_BIN_DIR PROGRAM.exe ARGS...
# In a cross build, runs the host build's program of the same name instead of
# the Windows one (the data generators write the same files on every system).
host_bin=$1
program=$(basename "$2" .exe)
shift 2
if [ ! -x "$host_bin/$program" ]; then
    echo "run-host-tool: $host_bin/$program not found (build it natively first)" >&2
    exit 1
fi
exec "$host_bin/$program" "$@"
