#!/usr/bin/env bash
# Builds vintrell.exe and vintrell-find.exe twice, from two copies of the tree in
# folders of different names and depths, one after the other, and checks that
# the two builds are the same byte for byte, as built and stripped: no time,
# build folder or source folder may reach the files. Only the two programs'
# targets are built. Prints one line per check and "N passed, N failed, 0 skipped".
set -uo pipefail
export TZ=UTC LC_ALL=C  # objdump prints the PE time stamp as local time
cd "$(dirname "$0")/.."
build=${BUILD:-build}
jobs=${JOBS:-2}
work=$(realpath -m "$build/reproducible")
rm -rf "$work/first" "$work/second"
copies=("$work/first" "$work/second/a longer folder")
passed=0 failed=0
check() {  # ok, what, detail
  if [ "$1" = 0 ]; then passed=$((passed + 1)); echo "ok    $2"
  else failed=$((failed + 1)); echo "FAIL  $2"; [ -z "${3:-}" ] || echo "      $3"; fi
}

for copy in "${copies[@]}"; do
  mkdir -p "$copy/tree"
  # The files of the work tree that git knows or would add, as they are now.
  git ls-files -z --cached --others --exclude-standard | xargs -0 -r sh -c \
    'for f; do [ -e "$f" ] && printf "%s\0" "$f"; done' sh |
    tar --null -cf - -T - | tar -xf - -C "$copy/tree"
  cmake -S "$copy/tree" -B "$copy/build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=Release >/dev/null &&
    cmake --build "$copy/build" -j "$jobs" --target vintrell vintrell-find >"$copy/build.log" 2>&1
  check $? "the two programs build in $copy" "see $copy/build.log"
  sleep 1  # a time stamp that slipped in would differ
done

for exe in src/app/vintrell.exe src/cli/vintrell-find.exe; do
  name=$(basename "$exe")
  one=${copies[0]}/build/$exe two=${copies[1]}/build/$exe
  cmp -s "$one" "$two"
  check $? "$name is the same in both builds" "$(cmp "$one" "$two" 2>&1 | head -1)"
  # As make dist strips; a second apart, so a time stamp that strip wrote would differ.
  SOURCE_DATE_EPOCH=0 i686-w64-mingw32-strip -o "$one.stripped" "$one" && sleep 1 &&
    SOURCE_DATE_EPOCH=0 i686-w64-mingw32-strip -o "$two.stripped" "$two"
  cmp -s "$one.stripped" "$two.stripped"
  check $? "stripped $name is the same in both builds"
  for file in "$one" "$one.stripped"; do
    header=$(i686-w64-mingw32-objdump -p "$file")  # whole: grep -q would cut the pipe
    grep -q -E '^Time/Date[[:space:]]+Thu Jan  1 00:00:00 1970$' <<<"$header"
    check $? "$(basename "$file") has no time stamp in its PE header"
  done
  # The checks above cannot pass on two missing files.
  [ -s "$one.stripped" ] && ! grep -q -a -F -e "$work" "$one" "$two"
  check $? "$name names neither build folder"
  sha256sum "$one" "$one.stripped" "$two" "$two.stripped" | sed "s|$work/||"
done

echo "$passed passed, $failed failed, 0 skipped"
[ "$failed" -eq 0 ]
