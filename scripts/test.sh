#!/bin/sh
# Builds with g++ and with clang, warnings as errors, and runs every test
# with each build.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
for compiler in g++ clang++; do
    build="build/test-$compiler"
    echo "== $compiler"
    cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$compiler" -DTOCASE_WERROR=ON >/dev/null
    cmake --build "$build"
    ctest --test-dir "$build" --output-on-failure -j2
done
