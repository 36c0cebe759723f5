#!/bin/sh
# Plays the cases with the built tool on a file system made and mounted for
# the purpose, then unmounts it: exfat (exfat-fuse on a loop device), fat
# (fusefat), ext4 (a loop device) or tmpfs. Needs root, /dev/fuse and loop
# devices; without them it says why and skips (status 77), or fails under
# CI=true.
#   scripts/test-on-mounted.sh KIND PYTHON PATH/TO/cases.py PATH/TO/tocase
set -eu
kind=$1
python=$2
cases=$3
tool=$4
work=$(mktemp -d -t tocase-mounted-XXXXXX)
loop=""
mounted=""
cleanup() {
    # A FUSE daemon may still be busy for a moment after the last write.
    for attempt in 1 2 3 4 5 6 7 8 9 10; do
        [ -z "$mounted" ] || umount "$work/mnt" 2>/dev/null && break
        sleep 0.2
    done
    [ -z "$loop" ] || losetup -d "$loop"
    rm -rf "$work"
}
trap cleanup EXIT
cannot() {
    echo "$kind cannot be mounted here: $*"
    [ "${CI:-}" != true ] || exit 1
    exit 77
}
image() {  # size, then the command that makes a file system in the image
    truncate -s "$1" "$work/image"
    shift
    "$@" "$work/image" >/dev/null || cannot "$1 failed"
}
attach() {
    loop=$(losetup -f --show "$work/image") || cannot "no loop device"
}
[ "$(id -u)" -eq 0 ] || cannot "mounting needs root"
case $kind in exfat | fat) [ -w /dev/fuse ] || cannot "/dev/fuse cannot be used" ;; esac
mkdir "$work/mnt"
# What each can hold, as the cases name it.
posix="twins links linkrenames utf8 anynames dirrenames"
case $kind in
tmpfs) mount -t tmpfs -o size=256M tocase-test "$work/mnt" || cannot "mount failed"
    features=$posix ;;
ext4) image 512M mkfs.ext4 -q && attach
    mount "$loop" "$work/mnt" || cannot "mount failed"
    rmdir "$work/mnt/lost+found"
    features=$posix ;;
exfat) image 512M mkfs.exfat && attach
    mount.exfat-fuse "$loop" "$work/mnt" || cannot "mount.exfat-fuse failed"
    features="folding utf8 dirrenames" ;;
fat) image 64M mkfs.vfat
    fusefat -o rw+ "$work/image" "$work/mnt" || cannot "fusefat failed"
    # fusefat empties any directory it renames, whoever asks.
    features="folding" ;;
*) echo "unknown file system: $kind" >&2
    exit 2 ;;
esac
mounted=yes
# The trees go on the file system under test; the journals stay where the
# caller keeps temporary files, on one that tells owners apart.
export TOCASE_STATE_BASE="${TMPDIR:-/tmp}"
export TMPDIR="$work/mnt" TOCASE_FEATURES="$features" TOCASE_TOOL="$tool"
"$python" "$cases" --tool "$tool" --features "$features"
"$python" "$(dirname "$cases")/process_test.py" Folding TakeBack
