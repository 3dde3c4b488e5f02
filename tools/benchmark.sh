#!/usr/bin/env bash
# Times the programs and prints every figure in one table, each against its
# target. Not a test: it prints figures and passes judgement only on the targets.
#
#   tools/benchmark.sh     RUNS=7 BUILD=build by default
#
# What it measures (warm cache, medians of several runs):
#   - vintrell-find (on its default threads and with -j 1) against grep -c -i -F
#     and rg -c -i -F on 2,000 address books
#     of about 160 KiB and on 20,000 distribution lists of about 4 KiB, for a
#     text found in many files ("smith") and one found in none ("zebedee");
#   - the floor of those searches here: vintrell-bench-posix-floor, which
#     lists the folder, then on 1 or 2 threads opens, fstats, reads whole,
#     counts and closes each file, and nothing else (the machine's limit);
#   - the system calls per file (strace -c) and the peak memory;
#   - -r over a mail tree of 100 user folders with 20 address books each,
#     against one search of the same 2,000 books in one folder and of one
#     user's folder of 20, and against rg on its own threads: the time per file;
#   - under 32-bit Wine, each against a floor of the same build under the same
#     Wine in the same run, so that the emulator cancels in the ratio (where
#     Wine runs under QEMU, absolute times measure QEMU):
#     vintrell-find.exe against vintrell-bench-floor.exe (the folder listed,
#     each file opened, read whole with one ReadFile, a folded text counted,
#     closed) on the same 1,000 books and 1,000 lists, each program's start-up
#     (measured on an empty folder) subtracted; the CPU that the idle program
#     takes with its dialog open against that of a bare dialog with one edit
#     control (vintrell-bench-dialog.exe idle), over IDLE_SECONDS (default 10)
#     each; the program's Find listing 3,000 results, driven from outside until
#     the list is painted, against a bare sorted list box filled with the same
#     3,000 lines between WM_SETREDRAW off and on (vintrell-bench-dialog.exe
#     fill), timed the same way; medians of GUI_RUNS (default 3) presses each.
#
# Every time is printed twice: the wall time (median) and the CPU time (user +
# system, mean). Most targets are judged on the CPU times, which stay comparable
# on a machine shared with other work, where wall times are mostly waiting. The
# ones for the default threads against grep and rg are judged on wall times:
# what the threads are for is the wait, and their CPU can only add up (for
# books the CPU ratio is printed beside it; even the floor cannot halve grep's).
#
# SOURCE=DIR times the programs built from another tree (an older commit
# unpacked somewhere) with the same corpus and helpers; SAVE=FILE keeps the
# figures, BASELINE=FILE (an earlier SAVE) adds its figures as a "before"
# column. PARTS="native wine" by default: PARTS=native (or WINE=0) leaves out
# the Wine rows, PARTS=wine runs only them. WINE_RUNS (default 5) runs of
# each Wine command line.
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
parts=" ${PARTS:-native wine} "
native_wanted=0 wine_wanted=0
[[ $parts == *" native "* ]] && native_wanted=1
[[ $parts == *" wine "* ]] && [ "${WINE:-1}" != 0 ] && wine_wanted=1
[ "$native_wanted" = 1 ] || [ "$wine_wanted" = 1 ] || {
  echo "benchmark: PARTS names neither native nor wine" >&2
  exit 2
}
wine_runs=${WINE_RUNS:-5}
gui_runs=${GUI_RUNS:-3}
source_tree=$(realpath "${SOURCE:-.}")
texts="smith zebedee"

# ---- the part that runs under Wine (tools/with-wine.sh calls back) --------------------
# Every Windows figure is held against a floor of the same build under the same
# Wine in the same run, so what the emulator costs (all of it, where Wine runs
# under QEMU) cancels in the ratio.
if [ "${1:-}" = --under-wine ]; then
  results=$2 find_exe=$3 gui_exe=$4 driver=$5 floor_exe=$6 dialog_exe=$7 corpus=$8
  # The wineserver of this prefix does part of every file call (the opens, the
  # listing), out of the timed process: its CPU time over a command's runs is
  # shared out among them.
  server_ticks() {
    local pid sum=0
    for pid in $(pgrep wineserver); do
      tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
      sum=$((sum + $(awk '{ print $14 + $15 }' "/proc/$pid/stat" 2>/dev/null || echo 0)))
    done
    echo "$sum"
  }
  # "NAME WALL CPU": the median wall time and the mean CPU time (user + system,
  # with the wineserver's share), in seconds, of wine EXE ARGS... in FOLDER.
  wine_time() {  # NAME FOLDER EXE ARGS...
    local name=$1 folder=$2 exe=$3 ticks0 ticks1; shift 3
    ticks0=$(server_ticks)
    (cd "$folder" && hyperfine --style none --ignore-failure --warmup 1 --runs "$WINE_RUNS" -N \
      --export-json "$results/$name.json" "wine $exe $*" >/dev/null 2>&1)
    ticks1=$(server_ticks)
    jq -r --arg n "$name" --argjson server "$((ticks1 - ticks0))" --argjson hz "$(getconf CLK_TCK)" \
      --argjson runs "$((WINE_RUNS + 1))" \
      '.results[0] | "\($n) \(.median) \(.user + .system + $server / $hz / $runs)"' "$results/$name.json"
  }
  mkdir -p "$corpus/wine-empty"
  {
    # Start-up alone: an empty folder.
    wine_time wine_startup_find "$corpus/wine-empty" "$find_exe" smith
    wine_time wine_startup_floor "$corpus/wine-empty" "$floor_exe" "*.PMR" smith
    wine_time wine_books_find "$corpus/wine-books" "$find_exe" smith
    wine_time wine_books_floor "$corpus/wine-books" "$floor_exe" "*.PMR" smith
    wine_time wine_lists_find "$corpus/wine-lists" "$find_exe" --lists smith
    wine_time wine_lists_floor "$corpus/wine-lists" "$floor_exe" "*.PML" smith
    # The same on the Find's 3,000 small books: how much of the Find is the search.
    wine_time wine_gui_find "$corpus/gui-books" "$find_exe" @
    wine_time wine_gui_floor "$corpus/gui-books" "$floor_exe" "*.PMR" @
    # The program and the bare dialog, each copied into a folder of its own so
    # that its processes can be told by their command lines; the fill gets the
    # program's result lines in the order the program adds them: the listing's,
    # which vintrell-find.exe prints (its last line is the summary).
    mkdir -p "$corpus/gui-program" "$corpus/gui-floor"
    cp "$gui_exe" "$corpus/gui-program/vintrell.exe"
    cp "$dialog_exe" "$corpus/gui-floor/vintrell-bench-dialog.exe"
    (cd "$corpus/gui-books" && wine "$find_exe" @ 2>/dev/null) | sed '$d' >"$results/lines"
    # The idle CPU is read from /proc while the driver waits: the run time of
    # every thread (schedstat, in ns; where the kernel keeps none, user +
    # system ticks) of every process whose command line names the copy, the
    # driver's own left out. Only the threads alive at both readings count: a
    # start-up process or thread that ends inside the window would take its
    # whole run time out of the sum with it.
    ns_per_tick=$((1000000000 / $(getconf CLK_TCK)))
    cpu_snapshot() {  # PATTERN: "TASK NS" lines
      local pid task ns
      for pid in $(pgrep -f "$1"); do
        grep -qa vintrell-bench-driver "/proc/$pid/cmdline" 2>/dev/null && continue
        for task in "/proc/$pid/task"/*; do
          if [ -r /proc/self/schedstat ]; then
            read -r ns _ <"$task/schedstat" 2>/dev/null || continue
          else
            ns=$((ns_per_tick * $(awk '{ print $14 + $15 }' "$task/stat" 2>/dev/null || echo 0)))
          fi
          echo "$task $ns"
        done
      done
    }
    cpu_delta_ns() {  # BEFORE AFTER: the run time the tasks in both took in between
      awk 'NR == FNR { before[$1] = $2; next } ($1 in before) { sum += $2 - before[$1] }
           END { printf "%d\n", sum }' "$1" "$2"
    }
    declare -A pattern=([program]='gui-program.vintrell\.exe'
                        [dialog]='gui-floor.vintrell-bench-dialog\.exe')
    mkfifo "$results/driver"
    wine "$driver" "$(winepath -w "$corpus/gui-program/vintrell.exe")" \
      "$(winepath -w "$corpus/gui-books")" "@" \
      "$(winepath -w "$corpus/gui-floor/vintrell-bench-dialog.exe")" \
      "$(winepath -w "$results/lines")" "$IDLE_SECONDS" "$GUI_RUNS" 2>/dev/null >"$results/driver" &
    # Straight from the driver: a filter in between would hold the marks back.
    while read -r key value; do
      key=${key%$'\r'} value=${value%$'\r'}
      case $key in
        idle_begin)
          cpu_snapshot "${pattern[$value]}" >"$results/idle0"
          wall0=$(date +%s.%N) ;;
        idle_end)
          cpu_snapshot "${pattern[$value]}" >"$results/idle1"
          wall1=$(date +%s.%N)
          awk -v k="${value}_idle_cpu_percent" -v t="$(cpu_delta_ns "$results/idle0" "$results/idle1")" \
            -v a="$wall0" -v b="$wall1" \
            'BEGIN { printf "%s %.3f\n", k, 100 * t / 1e9 / (b - a) }' ;;
        find_ms | results | fill_ms | fill_lines | same_lines) echo "$key $value" ;;
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
command -v hyperfine >/dev/null || missing+=(hyperfine)
command -v jq >/dev/null || missing+=(jq)
if [ "$native_wanted" = 1 ]; then
  command -v rg >/dev/null || missing+=(ripgrep)
  command -v strace >/dev/null || missing+=(strace)
  [ -x /usr/bin/time ] || missing+=(time)
fi
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
  echo "benchmark: no MinGW-w64 cross compiler; the Wine rows are left out" >&2
  wine_wanted=0
  [ "$native_wanted" = 1 ] || exit 1
fi

# ---- the programs -------------------------------------------------------------------
# The timed programs come from SOURCE; the generator and the Wine driver from here.
if [ "$source_tree" = "$here" ]; then progs="$build/bench"; else progs="$build/bench-other"; fi
echo "benchmark: building the programs of $source_tree"
if [ "$native_wanted" = 1 ]; then
  cmake -S "$source_tree" -B "$progs/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$progs/native" -j "$jobs" --target vintrell-find >/dev/null
  find_exe=$(realpath "$progs/native/src/cli/vintrell-find")
fi
cmake -S . -B "$build/bench/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/bench/native" -j "$jobs" --target vintrell-mailgen vintrell-bench-posix-floor \
  >/dev/null
mailgen=$(realpath "$build/bench/native/tools/vintrell-mailgen")
floor_native=$(realpath "$build/bench/native/tools/vintrell-bench-posix-floor")
if [ "$wine_wanted" = 1 ]; then
  cmake -S "$source_tree" -B "$progs/windows" -DCMAKE_TOOLCHAIN_FILE="$source_tree/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$progs/windows" -j "$jobs" --target vintrell-find vintrell >/dev/null
  cmake -S . -B "$build/bench/windows" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build/bench/windows" -j "$jobs" \
    --target vintrell-bench-driver vintrell-bench-floor vintrell-bench-dialog >/dev/null
fi

# ---- the corpus ---------------------------------------------------------------------
corpus="$build/bench-corpus"
declare -A options=()
if [ "$native_wanted" = 1 ]; then
  options[books]="--seed 2024 --books 2000 --records 360 --lists 0"
  options[lists]="--seed 2025 --books 0 --lists 20000 --entries 90"
fi
if [ "$wine_wanted" = 1 ]; then
  options[wine-books]="--seed 2026 --books 1000 --records 360 --lists 0"
  options[wine-lists]="--seed 2027 --books 0 --lists 1000 --entries 90"
  options[gui-books]="--seed 2028 --books 3000 --records 3 --lists 0"
fi
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
if [ "$native_wanted" = 1 ] && [ "$(cat "$corpus/tree.stamp" 2>/dev/null)" != "$tree_stamp" ]; then
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
# The files a search of the folder opens: its books, or its lists (the
# folder of books also holds their index files).
searched_of() { find "$corpus/$1" -type f -iname "*.$2" | wc -l; }
bytes_of() { find "$corpus/$1" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }'; }
mib() { awk -v b="$1" 'BEGIN { printf "%.1f MiB", b / 1048576 }'; }
if [ "$native_wanted" = 1 ]; then
  largest_book=$(find "$corpus/books" -type f -printf '%s\n' | sort -n | tail -1)
  echo "corpus: $(count_of books) address books, $(mib "$(bytes_of books)")" \
    "(largest $(mib "$largest_book")); $(count_of lists) distribution lists, $(mib "$(bytes_of lists)")"
fi

# Warm cache: read once everything that will be searched.
for name in "${!options[@]}"; do find "$corpus/$name" -type f -exec cat {} + >/dev/null; done
[ "$native_wanted" = 0 ] || find "$corpus/tree" "$corpus/flat" -type f -exec cat {} + >/dev/null

results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
declare -A figure

# ---- native timing --------------------------------------------------------------------
if [ "$native_wanted" = 1 ]; then
time_kind() {
  local name=$1 folder=$2 listopt=$3 text=$4 suffix=$5
  # One thread as well, where the program has -j (an older one does not).
  local one=()
  if "$find_exe" --help 2>/dev/null | grep -q -- --jobs; then
    one=(-n vintrell-find-j1 "$find_exe -j 1 $listopt $text")
  fi
  (cd "$folder" &&
    hyperfine --style none --ignore-failure --warmup 2 --runs "$runs" -N --export-json "$results/$name.json" \
      -n vintrell-find "$find_exe $listopt $text" "${one[@]}" \
      -n grep "grep -c -a -i -F -r $text ." \
      -n rg "rg -c -a -u -i -F -j1 $text ." \
      -n floor "$floor_native $suffix $text 1" \
      -n floor-j2 "$floor_native $suffix $text 2" >/dev/null 2>&1)
  for tool in vintrell-find vintrell-find-j1 grep rg floor floor-j2; do
    figure[$name-$tool]=$(jq -r ".results[] | select(.command == \"$tool\") | .median * 1000" \
      "$results/$name.json")
    figure[$name-$tool-cpu]=$(jq -r \
      ".results[] | select(.command == \"$tool\") | (.user + .system) * 1000" "$results/$name.json")
  done
}
for text in $texts; do
  time_kind "books-$text" "$corpus/books" "" "$text" .PMR
  time_kind "lists-$text" "$corpus/lists" "--lists" "$text" .PML
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
# rg over the same tree on its own threads, the books only: named in any case,
# as the search lists them.
(cd "$corpus/tree" && hyperfine --style none --ignore-failure --warmup 2 --runs "$runs" -N \
  --export-json "$results/tree-rg.json" "rg -c -a -u -i -F --iglob *.PMR smith ." >/dev/null 2>&1)
figure[tree-rg-wall]=$(jq -r ".results[0].median * 1e6 / $tree_files * 10 | round / 10" "$results/tree-rg.json")
time_tree tree-flat "$corpus/flat" "$(count_of flat)" smith
time_tree tree-one "$corpus/tree/user001" "$(count_of tree/user001)" smith

# ---- system calls and memory ----------------------------------------------------------
calls_per_file() {  # FOLDER LISTOPT SUFFIX: every system call of one search, per file searched
  local n
  n=$(searched_of "$1" "$3")
  (cd "$corpus/$1" && strace -c -f -o "$results/strace-$1" "$find_exe" $2 smith >/dev/null) || true
  # The total line: % time, seconds, usecs/call, calls, [errors,] "total".
  awk -v n="$n" '$NF == "total" && n > 0 { printf "%.1f", $4 / n }' "$results/strace-$1"
}
figure[books-calls]=$(calls_per_file books "" PMR)
figure[lists-calls]=$(calls_per_file lists --lists PML)
peak_mib() {  # FOLDER COMMAND...: the peak resident memory of the command there
  local folder=$1
  shift
  (cd "$corpus/$folder" && /usr/bin/time -v "$@" 2>&1 >/dev/null |
    awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); printf "%.1f", $2 / 1024 }')
}
figure[books-peak]=$(peak_mib books "$find_exe" smith)
figure[lists-peak]=$(peak_mib lists "$find_exe" --lists smith)
# A missing program would still leave time's own figure: none is printed.
if command -v grep >/dev/null; then figure[lists-peak-grep]=$(peak_mib lists grep -c -a -i -F -r smith .); fi
if command -v rg >/dev/null; then figure[lists-peak-rg]=$(peak_mib lists rg -c -a -u -i -F smith .); fi
largest_list=$(find "$corpus/lists" -type f -printf '%s\n' | sort -n | tail -1)
# Twice the largest file, a block of 64 KiB for each of the default threads
# (one per processor), and a few (8) MiB.
threads=$(nproc)
peak_limit=$(awk -v b="$largest_book" -v t="$threads" \
  'BEGIN { printf "%.1f", (2 * b + t * 65536) / 1048576 + 8 }')
lists_peak_limit=$(awk -v b="$largest_list" -v t="$threads" \
  'BEGIN { printf "%.1f", (2 * b + t * 65536) / 1048576 + 8 }')
fi

# ---- under Wine -----------------------------------------------------------------------
if [ "$wine_wanted" = 1 ]; then
  echo "benchmark: timing under Wine"
  windows_tools=$(realpath "$build/bench/windows/tools")
  WINE_RUNS=$wine_runs GUI_RUNS=$gui_runs IDLE_SECONDS=$idle_seconds \
    tools/with-wine.sh "$build/wineprefix-bench" "$0" --under-wine \
    "$results" "$(realpath "$progs/windows/src/cli/vintrell-find.exe")" \
    "$(realpath "$progs/windows/src/app/vintrell.exe")" "$windows_tools/vintrell-bench-driver.exe" \
    "$windows_tools/vintrell-bench-floor.exe" "$windows_tools/vintrell-bench-dialog.exe" "$corpus" \
    >"$results/wine.log" 2>&1 || { echo "benchmark: the Wine part failed:" >&2; cat "$results/wine.log" >&2; }
  # "KEY VALUE" lines from the driver, "KEY WALL CPU" lines (seconds) from the
  # timed command lines: these in ms, each program's start-up subtracted.
  while read -r key wall cpu; do
    if [ -z "$cpu" ]; then figure[$key]=$wall; continue; fi
    figure[$key-wall]=$(awk -v t="$wall" 'BEGIN { printf "%.1f", t * 1000 }')
    figure[$key-cpu]=$(awk -v t="$cpu" 'BEGIN { printf "%.1f", t * 1000 }')
  done <"$results/wine.txt"
  for prog in find floor; do
    for part in wall cpu; do
      figure[wine-startup-$prog-$part]=${figure[wine_startup_$prog-$part]:-}
      for kind in books lists gui; do
        figure[wine-$kind-$prog-$part]=$(awk -v w="${figure[wine_${kind}_$prog-$part]:-nan}" \
          -v s="${figure[wine_startup_$prog-$part]:-nan}" 'BEGIN { printf "%.1f", w - s }')
      done
    done
  done
  figure[idle-program]=${figure[program_idle_cpu_percent]:-}
  figure[idle-dialog]=${figure[dialog_idle_cpu_percent]:-}
  if [ -n "${figure[idle-program]}" ] && [ -n "${figure[idle-dialog]}" ]; then
    figure[idle-over-dialog]=$(awk -v a="${figure[idle-program]}" -v b="${figure[idle-dialog]}" \
      'BEGIN { printf "%.3f", a - b }')
  fi
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
  if [ -n "$test" ] && [ -n "$value" ] && [ "$value" != - ]; then
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
      derive "$kind-$text-j1-vs-grep$part" "$kind-$text-vintrell-find-j1$part" "$kind-$text-grep$part"
      derive "$kind-$text-floor-vs-grep$part" "$kind-$text-floor$part" "$kind-$text-grep$part"
      derive "$kind-$text-floor-j2-vs-grep$part" "$kind-$text-floor-j2$part" "$kind-$text-grep$part"
      derive "$kind-$text-j1-vs-floor$part" "$kind-$text-vintrell-find-j1$part" "$kind-$text-floor$part"
      derive "$kind-$text-vs-floor-j2$part" "$kind-$text-vintrell-find$part" "$kind-$text-floor-j2$part"
    done
  done
done
for part in wall cpu; do
  derive "tree-r-vs-flat-$part" "tree-r-$part" "tree-flat-$part"
  derive "tree-r-vs-one-$part" "tree-r-$part" "tree-one-$part"
done
derive tree-r-vs-rg-wall tree-r-wall tree-rg-wall
for kind in books lists; do
  for part in wall cpu; do derive "wine-$kind-vs-floor-$part" "wine-$kind-find-$part" "wine-$kind-floor-$part"; done
done
derive find-vs-fill find_ms fill_ms
# What the Find would take if its search cost no more than the floor's
# search of the same books: that search (start-up apart) plus the fill.
if [ -n "${figure[fill_ms]:-}" ] && [ -n "${figure[wine-gui-floor-wall]:-}" ]; then
  figure[find-floor-bound]=$(awk -v a="${figure[fill_ms]}" -v b="${figure[wine-gui-floor-wall]}" \
    'BEGIN { printf "%.1f", a + b }')
  derive find-vs-floor-bound find_ms find-floor-bound
fi

# Wall times are medians; CPU times (user + system, means) are what a loaded
# machine leaves comparable, so the targets are judged on them, but for what
# the default threads are for (see the top).
echo
printf '%-52s %10s %10s %-7s %-6s %s\n' figure before now unit "" target
if [ "$native_wanted" = 1 ]; then
  for text in $texts; do
    for tool in vintrell-find vintrell-find-j1 grep rg floor floor-j2; do
      row "books-$text-$tool" "books \"$text\": $tool, wall" ms
      row "books-$text-$tool-cpu" "books \"$text\": $tool, CPU" ms
    done
    row "books-$text-floor-vs-grep" "books \"$text\": floor (1 thread) / grep, wall" x
    row "books-$text-floor-j2-vs-grep" "books \"$text\": floor (2 threads) / grep, wall" x
    row "books-$text-j1-vs-floor" "books \"$text\": vintrell-find -j 1 / floor (1 thread), wall" x
    row "books-$text-vs-floor-j2" "books \"$text\": vintrell-find / floor (2 threads), wall" x
    row "books-$text-vs-grep" "books \"$text\": vintrell-find / grep, wall" x "<= 0.5" "x <= 0.5"
    row "books-$text-vs-rg" "books \"$text\": vintrell-find / rg, wall" x "<= 0.5" "x <= 0.5"
    row "books-$text-vs-grep-cpu" "books \"$text\": vintrell-find / grep, CPU" x
    row "books-$text-vs-rg-cpu" "books \"$text\": vintrell-find / rg, CPU" x
  done
  for text in $texts; do
    for tool in vintrell-find vintrell-find-j1 grep rg floor floor-j2; do
      row "lists-$text-$tool" "lists \"$text\": $tool, wall" ms
      row "lists-$text-$tool-cpu" "lists \"$text\": $tool, CPU" ms
    done
    row "lists-$text-floor-vs-grep" "lists \"$text\": floor (1 thread) / grep, wall" x
    row "lists-$text-floor-j2-vs-grep" "lists \"$text\": floor (2 threads) / grep, wall" x
    row "lists-$text-j1-vs-floor" "lists \"$text\": vintrell-find -j 1 / floor (1 thread), wall" x
    row "lists-$text-vs-floor-j2" "lists \"$text\": vintrell-find / floor (2 threads), wall" x
    row "lists-$text-vs-grep" "lists \"$text\": vintrell-find / grep, wall" x "<= 0.6" "x <= 0.6"
    row "lists-$text-j1-vs-grep" "lists \"$text\": vintrell-find -j 1 / grep, wall" x "<= 1" "x <= 1"
    row "lists-$text-vs-grep-cpu" "lists \"$text\": vintrell-find / grep, CPU" x "<= 1" "x <= 1"
  done
  for part in wall cpu; do
    row "tree-r-$part" "-r, 100 folders x 20 books, per file, $part" us
    row "tree-flat-$part" "the same 2,000 books in one folder, per file, $part" us
    row "tree-one-$part" "one user's folder of 20 books, per file, $part" us
  done
  row tree-rg-wall "rg over the same tree (its own threads), per file, wall" us
  row tree-r-vs-rg-wall "-r / rg over the tree, wall" x "<= 0.6" "x <= 0.6"
  row tree-r-vs-flat-wall "-r / one folder of 2,000, per file, wall" x
  row tree-r-vs-flat-cpu "-r / one folder of 2,000, per file, CPU" x "<= 1.1" "x <= 1.1"
  row tree-r-vs-one-cpu "-r / one folder of 20, per file, CPU" x "<= 1" "x <= 1"
  row books-calls "system calls per address book" calls
  row lists-calls "system calls per distribution list" calls
  row books-peak "peak memory, books (largest $(mib "$largest_book"))" MiB "<= $peak_limit" "x <= $peak_limit"
  row lists-peak "peak memory, lists (largest $(mib "$largest_list"))" MiB "<= $lists_peak_limit" \
    "x <= $lists_peak_limit"
  row lists-peak-grep "peak memory, lists: grep" MiB
  row lists-peak-rg "peak memory, lists: rg (its own threads)" MiB
fi
if [ "$wine_wanted" = 1 ]; then
  for part in wall cpu; do
    row "wine-startup-find-$part" "Wine: start-up of vintrell-find.exe, $part" ms
    row "wine-startup-floor-$part" "Wine: start-up of the floor program, $part" ms
    row "wine-books-find-$part" "Wine: vintrell-find.exe, 1,000 books, $part" ms
    row "wine-books-floor-$part" "Wine: the floor program, the same books, $part" ms
    row "wine-lists-find-$part" "Wine: vintrell-find.exe, 1,000 lists, $part" ms
    row "wine-lists-floor-$part" "Wine: the floor program, the same lists, $part" ms
    row "wine-gui-find-$part" "Wine: vintrell-find.exe, the Find's 3,000 books, $part" ms
    row "wine-gui-floor-$part" "Wine: the floor program, the same books, $part" ms
  done
  row wine-books-vs-floor-wall "Wine: vintrell-find.exe / floor, books, wall" x
  row wine-books-vs-floor-cpu "Wine: vintrell-find.exe / floor, books, CPU" x "<= 1.5" "x <= 1.5"
  row wine-lists-vs-floor-wall "Wine: vintrell-find.exe / floor, lists, wall" x
  row wine-lists-vs-floor-cpu "Wine: vintrell-find.exe / floor, lists, CPU" x "<= 1.5" "x <= 1.5"
  row idle-program "Wine: idle vintrell.exe over ${idle_seconds} s" "% CPU"
  row idle-dialog "Wine: idle bare dialog, one edit control, ${idle_seconds} s" "% CPU"
  row idle-over-dialog "Wine: idle vintrell.exe - idle bare dialog" points "<= 0.1" "x <= 0.1"
  row results "Wine: vintrell.exe Find, results listed" lines
  row find_ms "Wine: vintrell.exe Find until the list is painted" ms
  row fill_lines "Wine: sorted list box filled, lines" lines
  row same_lines "Wine: the same lines in both lists (1 = yes)" "" "= 1" "x == 1"
  row fill_ms "Wine: sorted list box fill until painted" ms
  row find-vs-fill "Wine: vintrell.exe Find / list-box fill" x "<= 1.5" "x <= 1.5"
  row find-floor-bound "Wine: floor search of the 3,000 books + the fill" ms
  row find-vs-floor-bound "Wine: vintrell.exe Find / (floor search + fill)" x
fi
exit $verdict
