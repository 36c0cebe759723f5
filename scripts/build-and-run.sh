#!/bin/sh
# Builds the tool into build/release and runs it in the directory this
# script was called from: with no arguments it shows its help screen; any
# arguments are passed on.
set -eu
caller=$(pwd)
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh" --build-only
cmake -S "$top" -B "$top/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOCASE_TESTS=OFF >/dev/null
cmake --build "$top/build/release" >/dev/null
cd "$caller"
exec "$top/build/release/tocase" "$@"
