#!/bin/sh
# Builds the tool into build/release and runs it: with no arguments it shows
# its help screen; any arguments are passed on.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh --build-only
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOCASE_TESTS=OFF >/dev/null
cmake --build build/release
exec build/release/tocase "$@"
