#!/usr/bin/env bash
# Runs every native test executable once under valgrind's memcheck and reports,
# per executable, its test counts, memcheck's errors and what leaked. Not part of
# `make test` (it takes minutes); the sanitizer stage covers the same ground fast.
#
#   tools/valgrind.sh                 BUILD=build JOBS=2
#   tools/valgrind.sh search_tests    only the executables named
#
# Programs the tests start (vintrell-find) are checked too; shell scripts and
# system tools they start are not. Exit status 0 only with zero errors and no
# memory definitely lost.
set -uo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
jobs=${JOBS:-2}
dir="$build/valgrind"
logs="$dir/memcheck"

command -v valgrind >/dev/null || { echo "valgrind: not installed" >&2; exit 1; }
# Optimised as shipped, with debug information for the reports; no sanitizers,
# which would hide valgrind's view of the heap.
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVINTRELL_SANITIZE=OFF >/dev/null &&
  cmake --build "$dir" -j "$jobs" >/dev/null || { echo "valgrind: build failed" >&2; exit 1; }

if [ $# -gt 0 ]; then
  names=("$@")
else
  mapfile -t names < <(find "$dir" -maxdepth 3 -type f -name '*_tests' -perm -u+x -printf '%f\n' |
                       sort)
fi
rm -rf "$logs" && mkdir -p "$logs" && logs=$(realpath "$logs")

status=0 total_errors=0 total_lost=0
printf '%-16s %-34s %8s %14s %8s\n' executable tests errors "lost (bytes)" seconds
for name in "${names[@]}"; do
  exe=$(find "$dir" -maxdepth 3 -type f -name "$name" -perm -u+x | head -n 1)
  [ -n "$exe" ] || { echo "valgrind: no executable $name" >&2; status=1; continue; }
  start=$(date +%s)
  # Tests find their helper programs beside themselves: run from their folder.
  (cd "$(dirname "$exe")" &&
    valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
      --errors-for-leak-kinds=definite --show-leak-kinds=definite --track-origins=yes \
      --trace-children=yes --trace-children-skip='/bin/*,/usr/bin/*,/usr/local/bin/*,*.sh' \
      --log-file="$logs/$name.%p.log" "./$name" >"$logs/$name.out" 2>&1)
  rc=$?
  seconds=$(( $(date +%s) - start ))
  counts=$(grep -aoE '^[0-9]+ passed, [0-9]+ failed, [0-9]+ skipped' "$logs/$name.out" | tail -n 1)
  errors=$(cat "$logs/$name".*.log | sed -n 's/.*ERROR SUMMARY: \([0-9]*\) errors.*/\1/p' |
           awk '{s+=$1} END {print s+0}')
  lost=$(cat "$logs/$name".*.log | sed -n 's/.*definitely lost: \([0-9,]*\) bytes.*/\1/p' |
         tr -d , | awk '{s+=$1} END {print s+0}')
  printf '%-16s %-34s %8s %14s %8s\n' "$name" "${counts:-no counts}" "$errors" "$lost" "$seconds"
  total_errors=$((total_errors + errors)); total_lost=$((total_lost + lost))
  if [ $rc -ne 0 ] || [ -z "$counts" ] || [ "$errors" -ne 0 ] || [ "$lost" -ne 0 ]; then
    status=1
    echo "  exit status $rc; see $logs/$name.*.log"
  fi
done
echo "memcheck: $total_errors errors, $total_lost bytes definitely lost," \
  "in ${#names[@]} executables"
exit $status
