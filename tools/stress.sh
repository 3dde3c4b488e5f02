#!/usr/bin/env bash
# Searches one large generated folder again and again while another process keeps
# creating, deleting, locking and rewriting files in it, then reports what the
# searches did and proves that they changed nothing. Not a test: it prints figures.
#
#   tools/stress.sh            BUILD=build SECONDS_TO_RUN=120 SMALL=100000 BIG=3
#
# The folder holds SMALL small files (half address books, half distribution lists)
# and BIG address books of about 130 MiB each. The churning process touches only
# files named CHURN*; every other file is hashed before and after.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
run_for=${SECONDS_TO_RUN:-120}
small=${SMALL:-100000}
big=${BIG:-3}
jobs=${JOBS:-2}

command -v python3 >/dev/null || { echo "stress: needs python3" >&2; exit 1; }

cmake -S . -B "$build/bench" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/bench" -j "$jobs" --target vintrell-find vintrell-mailgen >/dev/null
find_exe=$(realpath "$build/bench/src/cli/vintrell-find")
mailgen=$(realpath "$build/bench/tools/vintrell-mailgen")

folder="$build/stress-folder"
stamp="small $small big $big $(sha1sum tools/mail_generator.cc | cut -c1-12)"
if [ "$(cat "$build/stress-stamp" 2>/dev/null)" != "$stamp" ]; then
  echo "stress: generating $small small files and $big large address books in $folder"
  rm -rf "$folder" "$build/stress-gen"
  "$mailgen" --seed 11 --books $((small / 2)) --lists $((small / 2)) --records 2 \
    --entries 3 "$folder" >/dev/null
  "$mailgen" --seed 12 --books "$big" --lists 0 --records 300000 "$build/stress-gen" >/dev/null
  # The generator numbers its files from 1: keep the large ones apart by name.
  for f in "$build/stress-gen"/*; do mv "$f" "$folder/BIG-$(basename "$f")"; done
  rmdir "$build/stress-gen"
  echo "$stamp" >"$build/stress-stamp"
fi
folder=$(realpath "$folder")
find "$folder" -name 'CHURN*' -delete

hash_all() {
  (cd "$folder" && find . -type f ! -name 'CHURN*' -print0 | sort -z |
     xargs -0 -r sha256sum) >"$1"
}
echo "stress: hashing $(find "$folder" -type f | wc -l) files before"
hash_all "$build/stress-before"

# The churning process: create, rewrite, lock (held a moment) and delete CHURN files.
churn_log="$build/stress-churn.log"
python3 - "$folder" "$run_for" >"$churn_log" 2>&1 <<'PY' &
import fcntl, os, random, sys, time
folder, seconds = sys.argv[1], float(sys.argv[2])
rng = random.Random(5)
end = time.time() + seconds
counts = dict(created=0, rewritten=0, locked=0, deleted=0)
names = []
while time.time() < end:
    action = rng.choice(["create", "create", "rewrite", "lock", "delete"])
    if action == "create" or not names:
        name = "CHURN%06d.%s" % (rng.randrange(1000000), rng.choice(["PMR", "PML"]))
        with open(os.path.join(folder, name), "wb") as f:
            f.write(b"Churned book\0" + os.urandom(rng.randrange(4096)))
        # A name drawn twice is one file: the list must not hold it twice.
        if name not in names:
            names.append(name)
        counts["created"] += 1
    else:
        name = rng.choice(names)
        path = os.path.join(folder, name)
        try:
            if action == "rewrite":
                with open(path, "r+b") as f:
                    f.write(os.urandom(rng.randrange(1, 8192))); f.truncate()
                counts["rewritten"] += 1
            elif action == "lock":
                with open(path, "rb") as f:
                    fcntl.flock(f, fcntl.LOCK_EX)
                    time.sleep(0.05)
                counts["locked"] += 1
            else:
                os.unlink(path); names.remove(name); counts["deleted"] += 1
        except FileNotFoundError:
            names.remove(name)
    time.sleep(0.001)
print(" ".join("%s=%d" % kv for kv in counts.items()))
with open(os.path.join(folder, "..", "stress-churn-names"), "w") as f:
    f.write("".join(n + "\n" for n in sorted(names)))
PY
churn_pid=$!

searches=0 crashes=0 files_counted=0 failures=0
texts=(smith JONES "" "@example" zz)
start=$(date +%s)
while kill -0 "$churn_pid" 2>/dev/null; do
  for kind in "" --lists; do
    for text in "${texts[@]}"; do
      set +e
      # -s: a churned file that vanished between listing and reading is an
      # error of the run (status 2) but no message; any message is a failure.
      out=$("$find_exe" -s -d "$folder" $kind -- "$text" 2>"$build/stress-stderr")
      rc=$?
      set -e
      searches=$((searches + 1))
      if [ $rc -ge 128 ]; then
        crashes=$((crashes + 1))
        echo "stress: crash (status $rc) on kind='$kind' text='$text'"
      elif [ $rc -gt 2 ] || [ -s "$build/stress-stderr" ]; then
        failures=$((failures + 1))
        echo "stress: status $rc on kind='$kind' text='$text': $(head -c 200 "$build/stress-stderr")"
      fi
      n=$(printf '%s\n' "$out" | tail -n 1 | sed -n 's/.* out of *\([0-9]*\) .*/\1/p')
      files_counted=$((files_counted + ${n:-0}))
      kill -0 "$churn_pid" 2>/dev/null || break 2
    done
  done
done
wait "$churn_pid" || true
elapsed=$(( $(date +%s) - start ))

echo "stress: hashing after"
hash_all "$build/stress-after"
# A file the churn deleted must stay deleted, and one it left must still be
# there: a search that recreated or removed one would show here.
(cd "$folder" && find . -maxdepth 1 -name 'CHURN*' -printf '%f\n' | sort) >"$build/stress-churn-left"
sort -u -o "$build/stress-churn-names" "$build/stress-churn-names"
recreated=$(comm -23 "$build/stress-churn-left" "$build/stress-churn-names" | wc -l)
vanished=$(comm -13 "$build/stress-churn-left" "$build/stress-churn-names" | wc -l)
find "$folder" -name 'CHURN*' -delete
if cmp -s "$build/stress-before" "$build/stress-after"; then
  unchanged="yes ($(wc -l <"$build/stress-before") files, identical SHA-256)"
else
  unchanged="NO: $(diff "$build/stress-before" "$build/stress-after" | head -5)"
fi

echo
echo "== stress figures =="
echo "  run time:           ${elapsed} s"
echo "  searches completed: $searches"
echo "  files counted:      $files_counted (sum of the summaries' totals)"
echo "  crashes:            $crashes"
echo "  other failures:     $failures"
echo "  churn:              $(cat "$churn_log")"
echo "  untouched files unchanged: $unchanged"
echo "  churned files created by searches: $recreated, removed by searches: $vanished"
[ "$crashes" -eq 0 ] && [ "$failures" -eq 0 ] && [[ "$unchanged" == yes* ]] &&
  [ "$recreated" -eq 0 ] && [ "$vanished" -eq 0 ]
