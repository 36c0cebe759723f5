#!/bin/sh
# Installs from Debian's archive what is missing: with --build-only, what
# building the tool needs; otherwise also what the tests need (GoogleTest,
# ICU and the Unicode data the case tables are checked against, clang and
# its sanitizer runtimes, the tools that make and
# mount exFAT, FAT and ext4 images, sshfs and the SSH server it mounts a
# share from, mingw-w64 for tocase.exe, Wine to run it, the Japanese locale
# that runs it with a double-byte code page, the shells whose completions
# are tested, and what builds and checks the packages).
# Needs root, or sudo.
set -eu
packages="cmake ninja-build g++"
if [ "${1:-}" != "--build-only" ]; then
    packages="$packages python3 clang libclang-rt-14-dev libgtest-dev googletest libicu-dev unicode-data
              exfat-fuse exfatprogs fusefat dosfstools fuse3 e2fsprogs sshfs openssh-server
              g++-mingw-w64-x86-64 wine wine64 locales
              dpkg-dev lintian groff-base unzip strace zsh fish"
fi
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
missing=""
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
        missing="$missing $package"
done
if [ -n "$missing" ]; then
    echo "Installing:$missing"
    $sudo apt-get update -q
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
fi
if [ "${1:-}" != "--build-only" ] && ! locale -a | grep -qx ja_JP.utf8; then
    $sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
