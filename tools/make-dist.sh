#!/usr/bin/env bash
# make dist: the release files in dist/, the same bytes from every clean build
# of one commit, wherever and whenever it is built:
#   vintrell-VERSION-win32.zip  stripped vintrell.exe and vintrell-find.exe,
#                               README.txt and LICENSE.txt (CR LF line ends)
#   vintrell-find_VERSION_ARCH.deb  the native vintrell-find with its manual page,
#                               made by CPack from the CMake install rules
#   SHA256SUMS
# Every time stamp comes from SOURCE_DATE_EPOCH, by default the commit's time.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD:-build}
jobs=${JOBS:-2}
out=$root/dist

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) || {
    echo "make dist: not a git checkout: set SOURCE_DATE_EPOCH" >&2; exit 1; }
fi
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C
if [ -n "$(git status --porcelain --untracked-files=no 2>/dev/null)" ]; then
  echo "make dist: warning: the work tree has changes that are not committed" >&2
fi

windows=$build/dist-windows native=$build/dist-native stage=$build/dist-stage
cmake -S . -B "$windows" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$windows" -j "$jobs" --target vintrell vintrell-find
# CPack installs without building everything first: the tests are not shipped.
cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=Release -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build "$native" -j "$jobs" --target vintrell-find manual_page
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$native/CMakeCache.txt")
[ -n "$version" ] || { echo "make dist: no project version" >&2; exit 1; }

rm -rf "$stage" "$out"
mkdir -p "$stage" "$out"
# strip writes a new PE time stamp, the current time or SOURCE_DATE_EPOCH: 0, as
# the linker left it.
for exe in src/app/vintrell.exe src/cli/vintrell-find.exe; do
  SOURCE_DATE_EPOCH=0 i686-w64-mingw32-strip -o "$stage/$(basename "$exe")" "$windows/$exe"
done
sed 's/$/\r/' doc/README-windows.txt >"$stage/README.txt"
sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
zip=vintrell-$version-win32.zip
python3 tools/make-zip.py "$out/$zip" "$SOURCE_DATE_EPOCH" \
  vintrell.exe="$stage/vintrell.exe" vintrell-find.exe="$stage/vintrell-find.exe" \
  README.txt="$stage/README.txt" LICENSE.txt="$stage/LICENSE.txt"

(cd "$native" && cpack -G DEB -B "$root/$stage/cpack" >/dev/null)
deb=$(cd "$stage/cpack" && ls vintrell-find_"$version"_*.deb)
cp "$stage/cpack/$deb" "$out/$deb"

(cd "$out" && sha256sum "$zip" "$deb" >SHA256SUMS)

# The package names the version the build was made with.
[ "$(dpkg-deb -f "$out/$deb" Package Version)" = "Package: vintrell-find
Version: $version" ] || { echo "make dist: the package's name or version is wrong" >&2; exit 1; }

echo "dist/ (version $version, time stamps $(date -u -d "@$SOURCE_DATE_EPOCH" +%FT%TZ)):"
for exe in vintrell.exe vintrell-find.exe; do
  printf '  %-18s %8d bytes as built, %8d stripped\n' "$exe" \
    "$(stat -c %s "$windows/src/$([ $exe = vintrell.exe ] && echo app || echo cli)/$exe")" \
    "$(stat -c %s "$stage/$exe")"
done
(cd "$out" && cat SHA256SUMS)
