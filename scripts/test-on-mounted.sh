#!/bin/sh
# Plays the cases with the built tool on a file system made and mounted for
# the purpose, then unmounts it: exfat (exfat-fuse on a loop device), fat
# (fusefat), ext4 (a loop device), tmpfs, or sshfs (a directory served by an
# sshd on 127.0.0.1 started for the run, mounted with sshfs's defaults and
# then with dir_cache=no). Needs root, /dev/fuse and loop devices; without
# them it says why and skips (status 77), or fails under CI=true.
#   scripts/test-on-mounted.sh KIND PYTHON PATH/TO/cases.py PATH/TO/tocase
set -eu
kind=$1
python=$2
cases=$3
tool=$4
work=$(mktemp -d -t tocase-mounted-XXXXXX)
loop=""
mounted=""
sshd=""
unmount() {
    # A FUSE daemon may still be busy for a moment after the last write.
    for attempt in 1 2 3 4 5 6 7 8 9 10; do
        [ -z "$mounted" ] || umount "$work/mnt" 2>/dev/null && break
        sleep 0.2
    done
}
cleanup() {
    unmount
    [ -z "$sshd" ] || { kill "$sshd" && wait "$sshd"; } || true
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
serve() {  # $work/served over SSH: a host key, and root's login by a key made for the run alone
    command -v sshfs >/dev/null && [ -x /usr/sbin/sshd ] || cannot "sshfs or sshd is missing"
    ssh=$work/ssh
    mkdir -m 700 "$ssh" "$work/served"
    ssh-keygen -q -t ed25519 -N "" -f "$ssh/host" && ssh-keygen -q -t ed25519 -N "" -f "$ssh/user"
    port=$("$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    printf '%s\n' "ListenAddress 127.0.0.1" "Port $port" "HostKey $ssh/host" "AuthorizedKeysFile $ssh/user.pub" \
        "AuthenticationMethods publickey" "PermitRootLogin prohibit-password" "StrictModes no" "UsePAM no" \
        "Subsystem sftp internal-sftp" >"$ssh/config"
    mkdir -p /run/sshd  # where sshd drops its privileges, made as its service makes it
    /usr/sbin/sshd -D -f "$ssh/config" -E "$ssh/log" &
    sshd=$!
    for attempt in 1 2 3 4 5 6 7 8 9 10; do
        grep -q "Server listening" "$ssh/log" 2>/dev/null && return
        sleep 0.2
    done
    cannot "sshd did not start: $(cat "$ssh/log")"
}
share() {  # sshfs options beyond the login
    sshfs -F /dev/null -o "IdentityFile=$ssh/user,BatchMode=yes,StrictHostKeyChecking=no,UserKnownHostsFile=/dev/null" \
        -o "LogLevel=ERROR,port=$port${1:+,$1}" "root@127.0.0.1:$work/served" "$work/mnt" || cannot "sshfs failed"
}
[ "$(id -u)" -eq 0 ] || cannot "mounting needs root"
case $kind in exfat | fat | sshfs) [ -w /dev/fuse ] || cannot "/dev/fuse cannot be used" ;; esac
mkdir "$work/mnt"
# What each can hold, as the cases name it.
posix="twins links linkrenames hardlinks utf8 anynames dirrenames"
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
sshfs) serve  # with its own cache of names and attributes first
    share ""
    features="twins utf8 anynames dirrenames renumbers remote" ;;
*) echo "unknown file system: $kind" >&2
    exit 2 ;;
esac
mounted=yes
# The trees go on the file system under test; the journals stay where the
# caller keeps temporary files, on one that tells owners apart.
export TOCASE_STATE_BASE="${TMPDIR:-/tmp}"
export TMPDIR="$work/mnt" TOCASE_TOOL="$tool"
play() {
    "$python" "$cases" --tool "$tool" --features "$features"
    TOCASE_FEATURES="$features" "$python" "$(dirname "$cases")/process_test.py" Folding TakeBack
}
play
[ "$kind" = sshfs ] || exit 0
# Then without; Debian's sshfs reads no link that leads up or is absolute
# unless told to, as the cases of links need.
unmount
share dir_cache=no,no_contain_symlinks
features="$features links linkrenames"
play
