#!/usr/bin/env bash
# Times vintrell-find against grep -c -i -F and rg -c -i -F on one generated corpus
# (warm cache, several runs each) and prints the median times, the ratios and
# vintrell-find's peak memory. Not a test: it prints figures and passes judgement
# only on the targets (no slower than grep on the address books; peak memory at
# most about twice the largest book plus a few MiB).
#
#   tools/benchmark.sh        BUILD=build RUNS=7 TEXTS="smith zebedee" by default
#
# The first text occurs in many books, the second in none. grep and rg count
# matching lines, and an address book has hardly any line ends, so they stop
# reading a book at its first hit; vintrell-find counts every occurrence and so
# always reads every byte. The text that is never found makes all three read
# everything.
#
# The corpus (about 330 MiB of address books and 22,000 distribution lists) is
# made once under $BUILD/bench-corpus and kept while the generator's options stay.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
runs=${RUNS:-7}
texts=${TEXTS:-smith zebedee}
jobs=${JOBS:-2}

# ---- what it needs -------------------------------------------------------------
missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v g++ >/dev/null || missing+=(g++)
command -v grep >/dev/null || missing+=(grep)
command -v rg >/dev/null || missing+=(ripgrep)
command -v hyperfine >/dev/null || missing+=(hyperfine)
command -v jq >/dev/null || missing+=(jq)
[ -x /usr/bin/time ] || missing+=(time)
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" = 0 ]; then
    echo "benchmark: installing ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive apt-get update -q >/dev/null
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
      "${missing[@]}" >/dev/null
  else
    echo "benchmark: missing ${missing[*]}; install them (apt-get install ${missing[*]})" >&2
    exit 1
  fi
fi

# ---- the programs -----------------------------------------------------------------
cmake -S . -B "$build/bench" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/bench" -j "$jobs" --target vintrell-find vintrell-mailgen >/dev/null
find_exe=$(realpath "$build/bench/src/cli/vintrell-find")
mailgen=$(realpath "$build/bench/tools/vintrell-mailgen")

# ---- the corpus ---------------------------------------------------------------------
corpus="$build/bench-corpus"
book_options=(--seed 2024 --books 2200 --records 340 --lists 0)
list_options=(--seed 2025 --books 0 --lists 22000 --entries 12)
stamp="books ${book_options[*]} lists ${list_options[*]} $(sha1sum tools/mail_generator.cc | cut -c1-12)"
if [ "$(cat "$corpus/stamp" 2>/dev/null)" != "$stamp" ]; then
  echo "benchmark: generating the corpus in $corpus"
  rm -rf "$corpus"
  "$mailgen" "${book_options[@]}" "$corpus/books"
  "$mailgen" "${list_options[@]}" "$corpus/lists"
  echo "$stamp" >"$corpus/stamp"
fi
corpus=$(realpath "$corpus")

mib() { awk -v b="$1" 'BEGIN { printf "%.1f MiB", b / 1048576 }'; }
book_count=$(find "$corpus/books" -type f | wc -l)
book_bytes=$(find "$corpus/books" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
largest_book=$(find "$corpus/books" -type f -printf '%s\n' | sort -n | tail -1)
list_count=$(find "$corpus/lists" -type f | wc -l)
list_bytes=$(find "$corpus/lists" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
echo
echo "corpus: $book_count address books, $(mib "$book_bytes") (largest $(mib "$largest_book"));" \
  "$list_count distribution lists, $(mib "$list_bytes")"
echo "texts:  $texts (case-insensitive); $runs runs each after warm-up"

# Warm cache: read everything once.
find "$corpus" -type f -exec cat {} + >/dev/null

# ---- timing ---------------------------------------------------------------------------
# Every tool gets the same files: the folder's books (or lists), named by the
# folder. The books hold NUL bytes, so grep and rg are told to read them as text
# (-a) and really search every byte instead of stopping at the first NUL; rg is
# told to ignore no file (-u), as the corpus lies in a git-ignored build folder.
results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
time_kind() {
  local name=$1 folder=$2 listopt=$3 text=$4
  (cd "$folder" &&
    hyperfine --style none --ignore-failure --warmup 2 --runs "$runs" -N --export-json "$results/$name.json" \
      -n vintrell-find "$find_exe $listopt $text" \
      -n "grep -c -i -F" "grep -c -a -i -F -r $text ." \
      -n "rg -c -i -F" "rg -c -a -u -i -F -j1 $text ." \
      -n "rg (all cores)" "rg -c -a -u -i -F $text ." >/dev/null 2>&1)
}

median() { jq -r ".results[] | select(.command == \"$2\") | .median" "$results/$1.json"; }
ms() { awk -v t="$1" 'BEGIN { printf "%9.1f ms", t * 1000 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
report() {
  local name=$1 label=$2
  local ours grep_t rg_t rg_all
  ours=$(median "$name" vintrell-find)
  grep_t=$(median "$name" "grep -c -i -F")
  rg_t=$(median "$name" "rg -c -i -F")
  rg_all=$(median "$name" "rg (all cores)")
  printf '\n%s\n' "$label"
  printf '  %-26s %s\n' "vintrell-find" "$(ms "$ours")"
  printf '  %-26s %s   vintrell-find / grep = %s\n' "grep -c -i -F" "$(ms "$grep_t")" \
    "$(ratio "$ours" "$grep_t")"
  printf '  %-26s %s   vintrell-find / rg = %s\n' "rg -c -i -F (one thread)" "$(ms "$rg_t")" \
    "$(ratio "$ours" "$rg_t")"
  printf '  %-26s %s\n' "rg -c -i -F (all threads)" "$(ms "$rg_all")"
  # Targets apply to the address books only.
  if [ "${name%%-*}" = books ]; then
    if awk -v a="$ours" -v b="$grep_t" 'BEGIN { exit !(a <= b) }'; then
      echo "  target met: no slower than grep -c -i -F"
    else
      echo "  target MISSED: slower than grep -c -i -F"
      verdict=1
    fi
  fi
}

verdict=0
for text in $texts; do
  time_kind "books-$text" "$corpus/books" "" "$text"
  report "books-$text" "address books, \"$text\" (median of $runs runs)"
done
for text in $texts; do
  time_kind "lists-$text" "$corpus/lists" "--lists" "$text"
  report "lists-$text" "distribution lists, \"$text\" (median of $runs runs)"
done

# ---- memory ---------------------------------------------------------------------------
first_text=${texts%% *}
peak_kib() {
  (cd "$1" && /usr/bin/time -v "$find_exe" $2 "$first_text" 2>&1 >/dev/null |
    awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }')
}
books_peak=$(peak_kib "$corpus/books" "")
lists_peak=$(peak_kib "$corpus/lists" "--lists")
echo
echo "peak memory of vintrell-find: address books $(mib $((books_peak * 1024)))," \
  "distribution lists $(mib $((lists_peak * 1024))); largest book $(mib "$largest_book")"
limit_kib=$((largest_book * 2 / 1024 + 8 * 1024))
if [ "$books_peak" -le "$limit_kib" ]; then
  echo "  target met: at most twice the largest book plus 8 MiB"
else
  echo "  target MISSED: more than twice the largest book plus 8 MiB"
  verdict=1
fi
exit $verdict
