#!/bin/sh
# Installs what building and testing need, from Debian's archive, when a
# command or library is missing. Needs root (or sudo).
set -eu
# The file system tools let the tests mount exFAT, FAT and ext4 images;
# mingw-w64 builds tocase.exe and Wine runs its tests.
packages="cmake ninja-build g++ clang libgtest-dev googletest
          exfat-fuse exfatprogs fusefat dosfstools fuse3 e2fsprogs
          g++-mingw-w64-x86-64 wine wine64 libclang-rt-14-dev"
missing=""
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
        missing="$missing $package"
done
[ -z "$missing" ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing:$missing"
$sudo apt-get update -q
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
