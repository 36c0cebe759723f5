#!/bin/sh
# Builds and runs every test:
#  1. the Win32 tocase.exe, cross-built with mingw-w64;
#  2. the native build with g++, warnings as errors: unit tests, the
#     system-call seam, the cases in temporary directories, on mounted
#     exFAT, FAT, ext4, tmpfs and sshfs and with tocase.exe under Wine, and
#     the process tests;
#  3. the same with clang under AddressSanitizer and UndefinedBehaviorSanitizer,
#     Wine aside;
#  4. the README's commands, in a fresh clone: every package made twice
#     and checked.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh

# One Wine prefix and one wineserver for the whole run, so Wine's start-up
# is paid once; started apart, so that no test waits on its services.
WINEPREFIX="$PWD/build/wine-prefix"
WINEDEBUG=-all
export WINEPREFIX WINEDEBUG
# The journals of every run the tests make, kept apart from the user's.
XDG_STATE_HOME="$PWD/build/test-state"
export XDG_STATE_HOME
rm -rf "$XDG_STATE_HOME"
mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1 || true  # already running is fine
trap 'wineserver -k 2>/dev/null || true' EXIT
wine cmd /c exit </dev/null >/dev/null 2>&1 || true

echo "== Windows: tocase.exe with mingw-w64"
cmake --preset windows --fresh >/dev/null
cmake --build --preset windows
windowsExe="$PWD/build/windows/tocase.exe"

nativeBuild() {  # name, C compiler, C++ compiler, extra CMake arguments...
    build="build/test-$1"
    cCompiler="$2"
    compiler="$3"
    shift 3
    echo "== $compiler $*"
    # Fresh: a cache from another compiler would be wiped midway, and the
    # settings given here with it.
    cmake --fresh -S . -B "$build" -G Ninja -DCMAKE_C_COMPILER="$cCompiler" -DCMAKE_CXX_COMPILER="$compiler" \
        -DTOCASE_WERROR=ON -DTOCASE_BENCH=ON "$@" >/dev/null
    cmake --build "$build"
    ctest --test-dir "$build" --output-on-failure -j2
}
# tocase.exe is the same whichever native build plays it under Wine: once.
nativeBuild g++ gcc g++ -DTOCASE_WINDOWS_EXE="$windowsExe"
UBSAN_OPTIONS=print_stacktrace=1 nativeBuild clang-sanitized clang clang++ -DTOCASE_SANITIZE=ON

echo "== the README's commands"
python3 scripts/test-readme.py
