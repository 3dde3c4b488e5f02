#!/usr/bin/env bash
# Builds and tests every configuration and ends with one overall verdict:
#   native    host compiler, the project's own platform layer
#   sanitize  the same tests under AddressSanitizer and UndefinedBehaviorSanitizer
#   fuzz      each libFuzzer target for a short bounded time (clang)
#   windows   MinGW-w64 i686 static .exe files, the same tests under 32-bit Wine
#   reproducible  the two Windows programs built twice in two folders, compared
# STAGES="native windows" limits the run.
set -uo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
jobs=${JOBS:-2}
stages=${STAGES:-native sanitize fuzz windows reproducible}

declare -A verdict counts
total_passed=0 total_failed=0 total_skipped=0

# Adds up the "N passed, N failed, N skipped" lines that each test executable
# prints, from the log of the stage's last ctest run.
count_cases() {
  local name=$1 log=$2
  [ -f "$log" ] || return 0
  if grep -aqE '^[0-9]+ passed, [0-9]+ failed, [0-9]+ skipped' "$log"; then
    read -r p f s < <(grep -aoE '^[0-9]+ passed, [0-9]+ failed, [0-9]+ skipped' "$log" |
      awk '{p+=$1; f+=$3; s+=$5} END {print p+0, f+0, s+0}')
  else
    # Fuzz targets print no counts: each target run is one case.
    p=$(grep -ac '^Test Passed\.' "$log"); f=$(grep -ac '^Test Failed\.' "$log"); s=0
  fi
  counts[$name]="$p passed, $f failed, $s skipped"
  total_passed=$((total_passed + p)); total_failed=$((total_failed + f))
  total_skipped=$((total_skipped + s))
}

run_stage() {
  local name=$1 dir=$2; shift 2
  echo
  echo "=== $name ==="
  rm -f "$dir/Testing/Temporary/LastTest.log"
  if "$@"; then verdict[$name]=passed; else verdict[$name]=FAILED; fi
  count_cases "$name" "$dir/Testing/Temporary/LastTest.log"
}

configure_and_test() {
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null &&
    cmake --build "$dir" -j "$jobs" &&
    ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

stage_fuzz() {
  cmake -S . -B "$build/fuzz" -DVINTRELL_FUZZ=ON -DCMAKE_C_COMPILER=clang \
      -DCMAKE_CXX_COMPILER=clang++ >/dev/null &&
    cmake --build "$build/fuzz" -j "$jobs" --target fuzzers &&
    ctest --test-dir "$build/fuzz" -L fuzz --output-on-failure -j "$jobs"
}

stage_windows() {
  cmake -S . -B "$build/windows" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
      -DCMAKE_BUILD_TYPE=Release >/dev/null &&
    cmake --build "$build/windows" -j "$jobs" &&
    tools/with-wine.sh "$build/wineprefix" \
      ctest --test-dir "$build/windows" --output-on-failure -j 1
}

# Its log stands where count_cases looks for a stage's log.
stage_reproducible() {
  mkdir -p "$build/reproducible/Testing/Temporary"
  BUILD=$build JOBS=$jobs tools/check-reproducible.sh 2>&1 |
    tee "$build/reproducible/Testing/Temporary/LastTest.log"
}

for stage in $stages; do
  case $stage in
    native) run_stage native "$build/native" configure_and_test "$build/native" ;;
    sanitize) run_stage sanitize "$build/sanitize" configure_and_test "$build/sanitize" \
        -DVINTRELL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug ;;
    fuzz) run_stage fuzz "$build/fuzz" stage_fuzz ;;
    windows) run_stage windows "$build/windows" stage_windows ;;
    reproducible) run_stage reproducible "$build/reproducible" stage_reproducible ;;
    *) echo "unknown stage $stage"; verdict[$stage]=FAILED ;;
  esac
done

echo
echo "=== summary ==="
status=0
# Its log stands where count_cases looks for a stage's log.
stage_reproducible() {
  mkdir -p "$build/reproducible/Testing/Temporary"
  BUILD=$build JOBS=$jobs tools/check-reproducible.sh 2>&1 |
    tee "$build/reproducible/Testing/Temporary/LastTest.log"
}

for stage in $stages; do
  echo "  $stage: ${verdict[$stage]}  ${counts[$stage]:-}"
  [ "${verdict[$stage]}" = passed ] || status=1
done
if [ $status -eq 0 ]; then echo "ALL PASSED"; else echo "SOME FAILED"; fi
# A failed stage counts as a failure even when it never reached its tests.
[ $status -eq 0 ] || [ $total_failed -gt 0 ] || total_failed=1
echo "total: $total_passed passed, $total_failed failed, $total_skipped skipped"
exit $status
