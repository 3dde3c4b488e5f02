#!/usr/bin/env bash
# Times the programs and prints every figure in one table, each against its
# target. Not a test: it prints figures and passes judgement only on the targets.
#
#   tools/benchmark.sh     RUNS=7 BUILD=build by default
#
# What it measures (warm cache, medians of several runs):
#   - vintrell-find against grep -c -i -F and rg -c -i -F on 2,000 address books
#     of about 160 KiB and on 20,000 distribution lists of about 4 KiB, for a
#     text found in many files ("smith") and one found in none ("zebedee");
#   - the system calls per file (strace -c) and the peak memory;
#   - -r over a mail tree of 100 user folders with 20 address books each,
#     against one search of the same 2,000 books in one folder and of one
#     user's folder of 20: the time per file;
#   - under 32-bit Wine: vintrell-find.exe against the native vintrell-find on
#     the same 1,000 books and 1,000 lists (Wine's start-up, measured on an
#     empty folder, subtracted); the program's Find listing 3,000 results,
#     driven from outside until the list is painted; the CPU that the idle
#     program takes with its dialog open, over IDLE_SECONDS (default 10).
#
# Every time is printed twice: the wall time (median) and the CPU time (user +
# system, mean). The targets are judged on the CPU times, which stay comparable
# on a machine shared with other work, where wall times are mostly waiting.
#
# SOURCE=DIR times the programs built from another tree (an older commit
# unpacked somewhere) with the same corpus and helpers; SAVE=FILE keeps the
# figures, BASELINE=FILE (an earlier SAVE) adds its figures as a "before"
# column. WINE=0 leaves out the Wine rows.
#
# grep and rg count matching lines, and an address book has hardly any line
# ends, so they stop reading a book at its first hit; vintrell-find counts every
# occurrence and so always reads every byte. The text that is never found makes
# all three read everything. The books hold NUL bytes, so grep and rg are told
# to read them as text (-a); rg is told to ignore no file (-u), as the corpus
# lies in a git-ignored build folder.
#
# The corpus (about 310 MiB of books, 80 MiB of lists, and the Wine folders) is
# made once under $BUILD/bench-corpus and kept while the generator's options stay.
set -euo pipefail
cd "$(dirname "$0")/.."
here=$(pwd)
build=$(realpath -m "${BUILD:-build}")
runs=${RUNS:-7}
jobs=${JOBS:-2}
idle_seconds=${IDLE_SECONDS:-10}
wine_wanted=${WINE:-1}
source_tree=$(realpath "${SOURCE:-.}")
texts="smith zebedee"

# ---- the part that runs under Wine (tools/with-wine.sh calls back) --------------------
if [ "${1:-}" = --under-wine ]; then
  results=$2 find_exe=$3 gui_exe=$4 driver=$5 native_find=$6 corpus=$7
  # Each prints the median wall time and the mean CPU time (user + system), in seconds.
  wine_time() {  # NAME FOLDER ARGS...: wine vintrell-find.exe in FOLDER
    local name=$1 folder=$2; shift 2
    (cd "$folder" && hyperfine --style none --ignore-failure --warmup 1 --runs 5 -N \
      --export-json "$results/$name.json" "wine $find_exe $*" >/dev/null 2>&1)
    jq -r '.results[0] | "\(.median) \(.user + .system)"' "$results/$name.json"
  }
  native_time() {
    local name=$1 folder=$2; shift 2
    (cd "$folder" && hyperfine --style none --ignore-failure --warmup 2 --runs "$RUNS" -N \
      --export-json "$results/$name.json" "$native_find $*" >/dev/null 2>&1)
    jq -r '.results[0] | "\(.median) \(.user + .system)"' "$results/$name.json"
  }
  mkdir -p "$corpus/wine-empty"
  {
    echo "wine_startup $(wine_time wine-startup "$corpus/wine-empty" smith)"
    echo "wine_books $(wine_time wine-books "$corpus/wine-books" smith)"
    echo "wine_lists $(wine_time wine-lists "$corpus/wine-lists" --lists smith)"
    echo "native_wine_books $(native_time native-wine-books "$corpus/wine-books" smith)"
    echo "native_wine_lists $(native_time native-wine-lists "$corpus/wine-lists" --lists smith)"
    # The program, copied into a folder of its own, searching 3,000 small books
    # that all hold the text.
    mkdir -p "$corpus/gui-program"
    cp "$gui_exe" "$corpus/gui-program/vintrell.exe"
    # The idle program's CPU is read from /proc (user + system ticks of every
    # process whose command line names the copy) while the driver waits.
    cpu_ticks() {
      local pid sum=0
      for pid in $(pgrep -f 'gui-program.vintrell\.exe'); do
        sum=$((sum + $(awk '{ print $14 + $15 }' "/proc/$pid/stat" 2>/dev/null || echo 0)))
      done
      echo "$sum"
    }
    ticks_per_second=$(getconf CLK_TCK)
    mkfifo "$results/driver"
    wine "$driver" "$(winepath -w "$corpus/gui-program/vintrell.exe")" \
      "$(winepath -w "$corpus/gui-books")" "@" "$IDLE_SECONDS" 2>/dev/null >"$results/driver" &
    # Straight from the driver: a filter in between would hold the marks back.
    while read -r key value; do
      key=${key%$'\r'} value=${value%$'\r'}
      case $key in
        idle_begin) ticks0=$(cpu_ticks) wall0=$(date +%s.%N) ;;
        idle_end)
          ticks1=$(cpu_ticks) wall1=$(date +%s.%N)
          awk -v t="$((ticks1 - ticks0))" -v hz="$ticks_per_second" -v a="$wall0" -v b="$wall1" \
            'BEGIN { printf "idle_cpu_percent %.2f\n", 100 * t / hz / (b - a) }' ;;
        find_ms | results) echo "$key $value" ;;
      esac
    done <"$results/driver"
    wait
  } >"$results/wine.txt"
  exit 0
fi

# ---- what it needs ------------------------------------------------------------------
missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v g++ >/dev/null || missing+=(g++)
command -v rg >/dev/null || missing+=(ripgrep)
command -v hyperfine >/dev/null || missing+=(hyperfine)
command -v jq >/dev/null || missing+=(jq)
command -v strace >/dev/null || missing+=(strace)
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
if [ "$wine_wanted" = 1 ] && ! command -v i686-w64-mingw32-g++-posix >/dev/null; then
  echo "benchmark: no MinGW-w64 cross compiler; the Wine rows are left out (WINE=0)" >&2
  wine_wanted=0
fi

# ---- the programs -------------------------------------------------------------------
# The timed programs come from SOURCE; the generator and the Wine driver from here.
if [ "$source_tree" = "$here" ]; then progs="$build/bench"; else progs="$build/bench-other"; fi
echo "benchmark: building the programs of $source_tree"
cmake -S "$source_tree" -B "$progs/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$progs/native" -j "$jobs" --target vintrell-find >/dev/null
cmake -S . -B "$build/bench/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/bench/native" -j "$jobs" --target vintrell-mailgen >/dev/null
find_exe=$(realpath "$progs/native/src/cli/vintrell-find")
mailgen=$(realpath "$build/bench/native/tools/vintrell-mailgen")
if [ "$wine_wanted" = 1 ]; then
  cmake -S "$source_tree" -B "$progs/windows" -DCMAKE_TOOLCHAIN_FILE="$source_tree/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$progs/windows" -j "$jobs" --target vintrell-find vintrell >/dev/null
  cmake -S . -B "$build/bench/windows" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build/bench/windows" -j "$jobs" --target vintrell-bench-driver >/dev/null
fi

# ---- the corpus ---------------------------------------------------------------------
corpus="$build/bench-corpus"
declare -A options=(
  [books]="--seed 2024 --books 2000 --records 360 --lists 0"
  [lists]="--seed 2025 --books 0 --lists 20000 --entries 90"
  [wine-books]="--seed 2026 --books 1000 --records 360 --lists 0"
  [wine-lists]="--seed 2027 --books 0 --lists 1000 --entries 90"
  [gui-books]="--seed 2028 --books 3000 --records 3 --lists 0"
)
generator_sum=$(sha1sum tools/mail_generator.cc | cut -c1-12)
for name in "${!options[@]}"; do
  stamp="${options[$name]} $generator_sum"
  if [ "$(cat "$corpus/$name.stamp" 2>/dev/null)" != "$stamp" ]; then
    echo "benchmark: generating $corpus/$name"
    rm -rf "${corpus:?}/$name"
    # shellcheck disable=SC2086
    "$mailgen" ${options[$name]} "$corpus/$name" >/dev/null
    echo "$stamp" >"$corpus/$name.stamp"
  fi
done
# The mail tree: 100 user folders of 20 books (about 16 KiB) each, and the
# same 2,000 files in one folder.
tree_stamp="tree 100x20 --records 36 $generator_sum"
if [ "$(cat "$corpus/tree.stamp" 2>/dev/null)" != "$tree_stamp" ]; then
  echo "benchmark: generating $corpus/tree and $corpus/flat"
  rm -rf "${corpus:?}/tree" "${corpus:?}/flat"
  mkdir -p "$corpus/flat"
  for i in $(seq -w 1 100); do
    "$mailgen" --seed $((3000 + 10#$i)) --books 20 --lists 0 --records 36 "$corpus/tree/user$i" >/dev/null
    for f in "$corpus/tree/user$i"/*; do cp "$f" "$corpus/flat/U${i}$(basename "$f")"; done
  done
  echo "$tree_stamp" >"$corpus/tree.stamp"
fi
corpus=$(realpath "$corpus")

count_of() { find "$corpus/$1" -type f | wc -l; }
bytes_of() { find "$corpus/$1" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }'; }
mib() { awk -v b="$1" 'BEGIN { printf "%.1f MiB", b / 1048576 }'; }
largest_book=$(find "$corpus/books" -type f -printf '%s\n' | sort -n | tail -1)
echo "corpus: $(count_of books) address books, $(mib "$(bytes_of books)")" \
  "(largest $(mib "$largest_book")); $(count_of lists) distribution lists, $(mib "$(bytes_of lists)")"

# Warm cache: read everything once.
find "$corpus" -type f -exec cat {} + >/dev/null

results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
declare -A figure

# ---- native timing --------------------------------------------------------------------
time_kind() {
  local name=$1 folder=$2 listopt=$3 text=$4
  (cd "$folder" &&
    hyperfine --style none --ignore-failure --warmup 2 --runs "$runs" -N --export-json "$results/$name.json" \
      -n vintrell-find "$find_exe $listopt $text" \
      -n grep "grep -c -a -i -F -r $text ." \
      -n rg "rg -c -a -u -i -F -j1 $text ." >/dev/null 2>&1)
  for tool in vintrell-find grep rg; do
    figure[$name-$tool]=$(jq -r ".results[] | select(.command == \"$tool\") | .median * 1000" \
      "$results/$name.json")
    figure[$name-$tool-cpu]=$(jq -r \
      ".results[] | select(.command == \"$tool\") | (.user + .system) * 1000" "$results/$name.json")
  done
}
for text in $texts; do
  time_kind "books-$text" "$corpus/books" "" "$text"
  time_kind "lists-$text" "$corpus/lists" "--lists" "$text"
done

# ---- a mail tree with -r --------------------------------------------------------------
# CPU and wall per file, in microseconds: -r over the tree, one search of the
# same files in one folder, one search of one user's folder.
time_tree() {
  local name=$1 folder=$2 files=$3; shift 3
  (cd "$folder" && hyperfine --style none --ignore-failure --warmup 2 --runs "$runs" -N \
    --export-json "$results/$name.json" "$find_exe $*" >/dev/null 2>&1)
  figure[$name-wall]=$(jq -r ".results[0].median * 1e6 / $files * 10 | round / 10" "$results/$name.json")
  figure[$name-cpu]=$(jq -r ".results[0] | (.user + .system) * 1e6 / $files * 10 | round / 10" \
    "$results/$name.json")
}
tree_files=$(count_of tree)
time_tree tree-r "$corpus/tree" "$tree_files" -r smith
time_tree tree-flat "$corpus/flat" "$(count_of flat)" smith
time_tree tree-one "$corpus/tree/user001" "$(count_of tree/user001)" smith

# ---- system calls and memory ----------------------------------------------------------
calls_per_file() {  # FOLDER LISTOPT: every system call of one search, per file searched
  local n
  n=$(count_of "$1")
  (cd "$corpus/$1" && strace -c -f -o "$results/strace-$1" "$find_exe" $2 smith >/dev/null) || true
  # The total line: % time, seconds, usecs/call, calls, [errors,] "total".
  awk -v n="$n" '$NF == "total" { printf "%.1f", $4 / n }' "$results/strace-$1"
}
figure[books-calls]=$(calls_per_file books "")
figure[lists-calls]=$(calls_per_file lists --lists)
peak_kib() {
  (cd "$corpus/$1" && /usr/bin/time -v "$find_exe" $2 smith 2>&1 >/dev/null |
    awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }')
}
figure[books-peak]=$(awk -v k="$(peak_kib books "")" 'BEGIN { printf "%.1f", k / 1024 }')
figure[lists-peak]=$(awk -v k="$(peak_kib lists --lists)" 'BEGIN { printf "%.1f", k / 1024 }')
peak_limit=$(awk -v b="$largest_book" 'BEGIN { printf "%.1f", 2 * b / 1048576 + 8 }')

# ---- under Wine -----------------------------------------------------------------------
if [ "$wine_wanted" = 1 ]; then
  echo "benchmark: timing under Wine"
  RUNS=$runs IDLE_SECONDS=$idle_seconds tools/with-wine.sh "$build/wineprefix-bench" "$0" --under-wine \
    "$results" "$(realpath "$progs/windows/src/cli/vintrell-find.exe")" \
    "$(realpath "$progs/windows/src/app/vintrell.exe")" \
    "$(realpath "$build/bench/windows/tools/vintrell-bench-driver.exe")" "$find_exe" "$corpus" \
    >"$results/wine.log" 2>&1 || { echo "benchmark: the Wine part failed:" >&2; cat "$results/wine.log" >&2; }
  while read -r key value; do figure[$key]=$value; done <"$results/wine.txt"
  # "KEY WALL CPU" lines: wall and CPU figures apart, in ms, start-up subtracted.
  while read -r key wall cpu; do
    [ -n "$cpu" ] || continue
    figure[$key-wall]=$(awk -v t="$wall" 'BEGIN { printf "%.1f", t * 1000 }')
    figure[$key-cpu]=$(awk -v t="$cpu" 'BEGIN { printf "%.1f", t * 1000 }')
  done <"$results/wine.txt"
  for kind in books lists; do
    for part in wall cpu; do
      figure[wine-$kind-$part]=$(awk -v w="${figure[wine_$kind-$part]:-nan}" \
        -v s="${figure[wine_startup-$part]:-nan}" 'BEGIN { printf "%.1f", w - s }')
      figure[native-wine-$kind-$part]=${figure[native_wine_$kind-$part]:-}
    done
  done
  figure[wine-startup-wall]=${figure[wine_startup-wall]:-}
  figure[wine-startup-cpu]=${figure[wine_startup-cpu]:-}
fi

# ---- the table ----------------------------------------------------------------------
declare -A before
if [ -n "${BASELINE:-}" ] && [ -f "$BASELINE" ]; then
  while IFS=$'\t' read -r key value; do before[$key]=$value; done <"$BASELINE"
fi
[ -z "${SAVE:-}" ] || : >"$SAVE"
verdict=0
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
# KEY LABEL UNIT [TARGET-TEXT TEST-EXPRESSION(x = the figure)]
row() {
  local key=$1 label=$2 unit=$3 target=${4:-} test=${5:-}
  local value=${figure[$key]:-} judged=""
  [ -z "${SAVE:-}" ] || printf '%s\t%s\n' "$key" "$value" >>"$SAVE"
  if [ -n "$test" ] && [ -n "$value" ]; then
    if awk -v x="$value" "BEGIN { exit !($test) }"; then judged="met"; else judged="MISSED"; verdict=1; fi
  fi
  printf '%-52s %10s %10s %-7s %-6s %s\n' "$label" "${before[$key]:--}" "${value:--}" "$unit" \
    "$judged" "$target"
}
derive() { figure[$1]=$(ratio "${figure[$2]:-0}" "${figure[$3]:-0}"); }
for text in $texts; do
  for kind in books lists; do
    for part in "" -cpu; do
      derive "$kind-$text-vs-grep$part" "$kind-$text-vintrell-find$part" "$kind-$text-grep$part"
      derive "$kind-$text-vs-rg$part" "$kind-$text-vintrell-find$part" "$kind-$text-rg$part"
    done
  done
done
for part in wall cpu; do
  derive "tree-r-vs-flat-$part" "tree-r-$part" "tree-flat-$part"
  derive "tree-r-vs-one-$part" "tree-r-$part" "tree-one-$part"
done
for kind in books lists; do
  for part in wall cpu; do derive "wine-$kind-vs-native-$part" "wine-$kind-$part" "native-wine-$kind-$part"; done
done

# Wall times are medians; CPU times (user + system, means) are what a loaded
# machine leaves comparable, so the targets are judged on them.
echo
printf '%-52s %10s %10s %-7s %-6s %s\n' figure before now unit "" target
for text in $texts; do
  for tool in vintrell-find grep rg; do
    row "books-$text-$tool" "books \"$text\": $tool, wall" ms
    row "books-$text-$tool-cpu" "books \"$text\": $tool, CPU" ms
  done
  row "books-$text-vs-grep" "books \"$text\": vintrell-find / grep, wall" x
  row "books-$text-vs-rg" "books \"$text\": vintrell-find / rg, wall" x
  row "books-$text-vs-grep-cpu" "books \"$text\": vintrell-find / grep, CPU" x "<= 0.5" "x <= 0.5"
  row "books-$text-vs-rg-cpu" "books \"$text\": vintrell-find / rg, CPU" x "<= 0.5" "x <= 0.5"
done
for text in $texts; do
  for tool in vintrell-find grep rg; do
    row "lists-$text-$tool" "lists \"$text\": $tool, wall" ms
    row "lists-$text-$tool-cpu" "lists \"$text\": $tool, CPU" ms
  done
  row "lists-$text-vs-grep" "lists \"$text\": vintrell-find / grep, wall" x
  row "lists-$text-vs-grep-cpu" "lists \"$text\": vintrell-find / grep, CPU" x "<= 1" "x <= 1"
done
for part in wall cpu; do
  row "tree-r-$part" "-r, 100 folders x 20 books, per file, $part" us
  row "tree-flat-$part" "the same 2,000 books in one folder, per file, $part" us
  row "tree-one-$part" "one user's folder of 20 books, per file, $part" us
done
row tree-r-vs-flat-wall "-r / one folder of 2,000, per file, wall" x
row tree-r-vs-flat-cpu "-r / one folder of 2,000, per file, CPU" x "<= 1.1" "x <= 1.1"
row tree-r-vs-one-cpu "-r / one folder of 20, per file, CPU" x "<= 1" "x <= 1"
row books-calls "system calls per address book" calls
row lists-calls "system calls per distribution list" calls
row books-peak "peak memory, books (largest $(mib "$largest_book"))" MiB "<= $peak_limit" "x <= $peak_limit"
row lists-peak "peak memory, lists" MiB
if [ "$wine_wanted" = 1 ]; then
  for part in wall cpu; do
    row "wine-startup-$part" "Wine: start-up of vintrell-find.exe, $part" ms
    row "wine-books-$part" "Wine: vintrell-find.exe, 1,000 books, $part" ms
    row "native-wine-books-$part" "native vintrell-find, the same books, $part" ms
    row "wine-lists-$part" "Wine: vintrell-find.exe, 1,000 lists, $part" ms
    row "native-wine-lists-$part" "native vintrell-find, the same lists, $part" ms
  done
  row wine-books-vs-native-wall "Wine / native, books, wall" x
  row wine-books-vs-native-cpu "Wine / native, books, CPU" x "<= 2" "x <= 2"
  row wine-lists-vs-native-wall "Wine / native, lists, wall" x
  row wine-lists-vs-native-cpu "Wine / native, lists, CPU" x "<= 2" "x <= 2"
  row results "Wine: vintrell.exe Find, results listed" lines
  row find_ms "Wine: vintrell.exe Find until the list is painted" ms "< 1000" "x < 1000"
  row idle_cpu_percent "Wine: idle vintrell.exe over ${idle_seconds} s" "% CPU" "< 0.5" "x < 0.5"
fi
exit $verdict
