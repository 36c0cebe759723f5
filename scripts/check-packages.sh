#!/bin/sh
# Makes the .deb from a Release build and the .zip from the Windows build
# (build/windows, already built), and checks them: lintian finds no error
# in the .deb, whose unpacked program runs; the manual page has no groff
# warning; the zip holds the program and its texts.
set -eu
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(tocase VERSION \([0-9.]*\)$/\1/p' CMakeLists.txt)
build=build/package
cmake --fresh -S . -B $build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOCASE_TESTS=OFF -DTOCASE_WERROR=ON >/dev/null
cmake --build $build >/dev/null
(cd $build && cpack >/dev/null)
deb=$build/tocase_${version}-1_amd64.deb
echo "== lintian $deb"
lintian --fail-on error "$deb"
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
mkdir "$unpacked/run" && : >"$unpacked/run/README.TXT"
(cd "$unpacked/run" && "$unpacked/usr/bin/tocase" '*' | tr -d '\r' | grep -qx '  README.TXT -> readme.txt')
[ -e "$unpacked/run/readme.txt" ]
zcat "$unpacked/usr/share/man/man1/tocase.1.gz" | grep -q "^\\.TH TOCASE 1 .* \"tocase $version\""
echo "unpacked program converts; manual page and copyright present"
[ -s "$unpacked/usr/share/doc/tocase/copyright" ]
warnings=$(groff -man -ww -z doc/tocase.1 2>&1)
[ -z "$warnings" ] || { echo "$warnings"; exit 1; }
echo "== manual page: no groff warning"
(cd build/windows && cpack >/dev/null)
zip=build/windows/tocase-${version}-win64.zip
unzip -l "$zip"
for name in tocase.exe README.txt LICENSE.txt; do
    unzip -l "$zip" | grep -q " $name\$"
done
