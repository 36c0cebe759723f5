#!/bin/sh
# Builds tocase and the benchmark programs, mounts a tmpfs and a
# loop-mounted ext4 image, and times every contender on fresh copies of the
# same trees. Needs root. Extra arguments go to run.py (--trees, --runs,
# --only). Prints a Markdown table.
set -eu
cd "$(dirname "$0")/.."
for package in rename mmv python3 e2fsprogs; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$package" >/dev/null
done
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOCASE_TESTS=OFF -DTOCASE_BENCH=ON >/dev/null
cmake --build build/bench >/dev/null

work=$(mktemp -d /tmp/tocase-bench-XXXXXX)
loop=""
cleanup() {
    umount "$work/tmpfs" 2>/dev/null || true
    umount "$work/ext4" 2>/dev/null || true
    [ -n "$loop" ] && losetup -d "$loop" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/tmpfs" "$work/ext4" "$work/state"
# Each run's journal, on the machine's own disk as a home would be.
export XDG_STATE_HOME="$work/state"
mount -t tmpfs -o size=4G tocase-bench "$work/tmpfs"
truncate -s 4G "$work/ext4.img"
mkfs.ext4 -q -N 1200000 "$work/ext4.img"
loop=$(losetup -f --show "$work/ext4.img")
mount "$loop" "$work/ext4"

echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), kernel $(uname -r)"
python3 bench/run.py --bin build/bench --mount "tmpfs=$work/tmpfs" --mount "ext4=$work/ext4" "$@"
