#!/usr/bin/env bash
# Builds and tests every configuration and ends with one overall verdict:
#   native    host compiler, the project's own platform layer
#   sanitize  the same tests under AddressSanitizer and UndefinedBehaviorSanitizer
#   fuzz      each libFuzzer target for a short bounded time (clang)
#   windows   MinGW-w64 i686 static .exe files, the same tests under 32-bit Wine
# STAGES="native windows" limits the run.
set -uo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
jobs=${JOBS:-2}
stages=${STAGES:-native sanitize fuzz windows}

declare -A verdict
run_stage() {
  local name=$1; shift
  echo
  echo "=== $name ==="
  if "$@"; then verdict[$name]=passed; else verdict[$name]=FAILED; fi
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

for stage in $stages; do
  case $stage in
    native) run_stage native configure_and_test "$build/native" ;;
    sanitize) run_stage sanitize configure_and_test "$build/sanitize" -DVINTRELL_SANITIZE=ON \
        -DCMAKE_BUILD_TYPE=Debug ;;
    fuzz) run_stage fuzz stage_fuzz ;;
    windows) run_stage windows stage_windows ;;
    *) echo "unknown stage $stage"; verdict[$stage]=FAILED ;;
  esac
done

echo
echo "=== summary ==="
status=0
for stage in $stages; do
  echo "  $stage: ${verdict[$stage]}"
  [ "${verdict[$stage]}" = passed ] || status=1
done
if [ $status -eq 0 ]; then echo "ALL PASSED"; else echo "SOME FAILED"; fi
exit $status
