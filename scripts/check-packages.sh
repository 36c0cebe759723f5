#!/bin/sh
# Makes every package from scratch, twice, and checks them: the .deb
# (lintian, unpacked and run), the static Linux tarball (no library needed,
# runs with an empty environment), the Windows zip (a stripped tocase.exe
# beside its texts), the manual page (no groff warning), and that two
# builds give the same bytes. The packages are left in build/package,
# build/static and build/zip.
set -eu
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(tocase VERSION \([0-9.]*\)$/\1/p' CMakeLists.txt)
# Every timestamp in the packages is the last commit's.
if [ -z "${SOURCE_DATE_EPOCH:-}" ] && git rev-parse --git-dir >/dev/null 2>&1; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
fi
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-0}"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Configures, builds and packs into $1 from nothing, with the CMake
# arguments that follow; $package is then what cpack made.
pack() {
    build=$1
    shift
    rm -rf "$build"
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOCASE_TESTS=OFF -DTOCASE_WERROR=ON "$@" >/dev/null
    cmake --build "$build" >/dev/null
    (cd "$build" && cpack >/dev/null)
}

# Packs twice and keeps the first, which the second must equal byte for byte.
packTwice() {
    file=$1
    shift
    pack "$@"
    mv "$file" "$scratch/first"
    pack "$@"
    cmp "$scratch/first" "$file" || { echo "$file: two builds differ"; exit 1; }
    echo "== $file: two builds give the same bytes"
}

deb=build/package/tocase_${version}-1_amd64.deb
packTwice "$deb" build/package
# The one warning is that of every package not (yet) in Debian.
lintian --fail-on error,warning --suppress-tags initial-upload-closes-no-bugs "$deb"
echo "== lintian: no error, no warning"
dpkg-deb -x "$deb" "$scratch/deb"
mkdir "$scratch/run" && : >"$scratch/run/README.TXT"
(cd "$scratch/run" && "$scratch/deb/usr/bin/tocase" '*' | tr -d '\r' | grep -qx '  README.TXT -> readme.txt')
zcat "$scratch/deb/usr/share/man/man1/tocase.1.gz" | grep -q "^\\.TH TOCASE 1 .* \"tocase $version\""
for file in usr/share/doc/tocase/copyright usr/share/bash-completion/completions/tocase \
    usr/share/zsh/vendor-completions/_tocase usr/share/fish/vendor_completions.d/tocase.fish; do
    [ -s "$scratch/deb/$file" ]
done
echo "== .deb: its program converts; manual page, copyright and completions present"

tarball=build/static/tocase-${version}-linux-x86_64.tar.gz
packTwice "$tarball" build/static -DTOCASE_STATIC=ON
tar -xzf "$tarball" -C "$scratch"
unpacked="$scratch/tocase-${version}-linux-x86_64"
file "$unpacked/tocase" | grep -q "statically linked"
if readelf -d "$unpacked/tocase" | grep -q NEEDED; then
    echo "the static tocase needs a library"
    exit 1
fi
for name in tocase.1 README.md LICENSE tocase.bash-completion _tocase tocase.fish; do
    [ -s "$unpacked/$name" ]
done
mkdir "$scratch/static" "$scratch/static/SUB" && : >"$scratch/static/SUB/A.TXT"
# Its exit status is always 1.
(cd "$scratch/static" && env -i "$unpacked/tocase" -R '*.TXT' >/dev/null || [ $? -eq 1 ])
[ -e "$scratch/static/SUB/a.txt" ]
echo "== static tarball: no library needed; converts a tree with an empty environment"

warnings=$(groff -man -ww -z doc/tocase.1 2>&1)
[ -z "$warnings" ] || { echo "$warnings"; exit 1; }
echo "== manual page: no groff warning"

zip=build/zip/tocase-${version}-win64.zip
packTwice "$zip" build/zip --toolchain cmake/mingw-w64-x86_64.cmake
for name in tocase.exe README.txt LICENSE.txt; do
    unzip -l "$zip" | grep -q " $name\$"
done
unzip -q -d "$scratch/zip" "$zip"
if x86_64-w64-mingw32-objdump -h "$scratch/zip/tocase.exe" | grep -q '\.debug'; then
    echo "tocase.exe in the zip is not stripped"
    exit 1
fi
echo "== zip: a stripped tocase.exe beside README.txt and LICENSE.txt"
