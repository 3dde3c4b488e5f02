#!/usr/bin/env bash
# `make run`: builds vintrell-find and searches the sample folder examples/mail/.
# Without arguments it looks for "smith" in the address books, then shows the
# matching records, then the lists that send to other lists (the
# README shows this output, and a test holds it to that); arguments replace that (e.g. --lists jones). "Nothing
# found" (exit status 1) is an answer, not a failure.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
jobs=${JOBS:-2}

missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v g++ >/dev/null || missing+=(g++)
command -v make >/dev/null || missing+=(make)
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "run: missing ${missing[*]}; install them (apt-get install ${missing[*]})" >&2
    exit 1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get update -q >/dev/null
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
fi

cmake -S . -B "$build/native" >/dev/null
cmake --build "$build/native" -j "$jobs" --target vintrell-find >/dev/null
find_exe="$build/native/src/cli/vintrell-find"

run() {
  echo "\$ vintrell-find $*"
  local status=0
  "$find_exe" "$@" || status=$?
  echo
  [ $status -le 1 ] || exit $status
}

if [ $# -eq 0 ]; then
  run -d examples/mail smith
  run -d examples/mail --entries smith
  run -d examples/mail --lists --entries @list
else
  run -d examples/mail "$@"
fi
