#!/bin/sh
# Builds and runs every test: the Win32 tocase.exe cross-built with
# mingw-w64 and tested under Wine, then the native build with g++ and with
# clang, warnings as errors.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh

# One Wine prefix and one wineserver for the whole run, so Wine's start-up
# is paid once.
WINEPREFIX="$PWD/build/wine-prefix"
WINEDEBUG=-all
export WINEPREFIX WINEDEBUG
mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1
trap 'wineserver -k 2>/dev/null || true' EXIT
wine cmd /c exit </dev/null >/dev/null 2>&1 || true

echo "== Windows: mingw-w64, tests under Wine"
cmake --preset windows >/dev/null
cmake --build --preset windows
ctest --preset windows -j2
windowsExe="$PWD/build/windows/tocase.exe"

for compiler in g++ clang++; do
    build="build/test-$compiler"
    echo "== $compiler"
    cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$compiler" -DTOCASE_WERROR=ON \
        -DTOCASE_WINDOWS_EXE="$windowsExe" >/dev/null
    cmake --build "$build"
    ctest --test-dir "$build" --output-on-failure -j2
done
