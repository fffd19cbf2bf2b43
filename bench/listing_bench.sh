#!/usr/bin/env bash
# listing_bench.sh: times dropkit-batch writing randomized omission listings against
# baselines measured in the same run, and prints each ratio against its target:
#
#   100,000 names, 1,000 groups of 1,000:  dropkit / cat of the listing's bytes   <= 2.5
#                                          dropkit / (cat, then fsync)            <= 1.5
#                                          python random.sample / dropkit         >= 15
#   the same from 1,000,000 and from 10,000,000 names, the Load aside (the run less the
#   same run with 0 groups), against the same from 100,000 names                   <= 1.5
#   100,000 groups of 10 from 100,000 names, all included, per group              < 1 us
#
# and, for information, the job at 1 and 2 drawing threads (DROPKIT_THREADS) and numpy's
# choice when numpy is installed.
#
# Usage: bench/listing_bench.sh            (from any folder; under 3 minutes)
# Environment:
#   RUNS=N           timed runs of each command; the minimum is reported (default 7)
#   BIG="N ..."      the longer lists (default "1000000 10000000")
#   DROPKIT_BATCH=P  the dropkit-batch to time (default build/release/dropkit-batch, built
#                    with the release preset when missing)
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
RUNS=${RUNS:-7}
BIG=${BIG:-"1000000 10000000"}
BATCH=${DROPKIT_BATCH:-$ROOT/build/release/dropkit-batch}
REFERENCE=$ROOT/bench/listing_reference.py

if [[ ! -x $BATCH ]]; then
  echo "building $BATCH with the release preset ..." >&2
  (cd "$ROOT" && cmake --preset release >&2 && cmake --build --preset release -j2 \
    --target dropkit-batch >&2)
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/dropkit-listing-bench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

# Writes N deterministic names "Genus_species_123456" (19 characters on average), one a line.
make_names() {
  python3 - "$1" "$2" <<'EOF'
import random, sys
count, path = int(sys.argv[1]), sys.argv[2]
rng = random.Random(20240601)
consonants, vowels = "bcdfghklmnprstvz", "aeiouy"
def word(n):
    first_vowel = rng.randrange(3) == 0
    return "".join(rng.choice(vowels if (i % 2 == 0) == first_vowel else consonants)
                   for i in range(n))
with open(path, "w") as f:
    for _ in range(count):
        f.write(f"{word(rng.randint(4, 7)).capitalize()}_{word(rng.randint(4, 7))}_"
                f"{rng.randint(100000, 999999)}\n")
EOF
}

# A list N times as long as $1, of names of the same shape: each name once per digit,
# that digit in place of the first digit of its number.
widen_names() {
  awk -v times="$2" '{ n = length($0); for (k = 0; k < times; k++)
    print substr($0, 1, n - 6) k substr($0, n - 4) }' "$1" >"$3"
}

# Sets NOW_US to the time in microseconds: bash's own clock (no process started), else date.
now_us() {
  if [[ -n ${EPOCHREALTIME:-} ]]; then
    local t=${EPOCHREALTIME/[.,]/}
    NOW_US=$((10#$t))
  else
    NOW_US=$(($(date +%s%N) / 1000))
  fi
}

# Runs each named command (a function of no arguments) RUNS times, the commands taking
# turns round by round, and sets BEST[i] to the least wall time of the i-th, in
# microseconds. Taking turns spreads the machine's other work over all of them, where
# running one command's rounds after another's let a busy minute fall on one alone.
best_of_each() {
  local round i t0 t
  BEST=()
  for ((round = 0; round < RUNS; round++)); do
    for ((i = 0; i < $#; i++)); do
      local command=${*:i+1:1}
      now_us
      t0=$NOW_US
      "$command"
      now_us
      t=$((NOW_US - t0))
      if [[ -z ${BEST[i]:-} || $t -lt ${BEST[i]} ]]; then BEST[i]=$t; fi
    done
  done
}

ms() { awk -v us="$1" 'BEGIN { printf "%.1f ms", us / 1000 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
verdict() { awk -v r="$1" -v t="$2" -v op="$3" \
  'BEGIN { ok = (op == "le") ? r <= t : (op == "lt" ? r < t : r >= t); print ok ? "ok" : "NOT MET" }'; }
# Prints "label: a / b = r (target op t)  verdict".
report() {
  local r
  r=$(ratio "$2" "$3")
  echo "  $1: $(ms "$2") / $(ms "$3") = $r (target $5 $4)  $(verdict "$r" "$4" "$6")"
}

dropkit() { # LIST OMIT GROUPS OUT
  "$BATCH" "$1" --omit "$2" --groups "$3" --seed 1 --output "$4" >/dev/null 2>&1
}
run_python() { python3 "$REFERENCE" "$1" --omit 1000 --groups 1000 --seed 1 --output "$2"; }
run_cat() { cat "$1" >"$2"; }
run_cat_sync() { cat "$1" >"$2" && sync "$2"; }
run_numpy() {
  python3 - "$1" "$2" <<'EOF'
import sys
import numpy as np
names = open(sys.argv[1], encoding="utf-8").readlines()
rng = np.random.default_rng(1)
parts = ["Randomized listing of 1000 groups to 1000 taxa to omit\n", "date\n"]
for r in range(1, 1001):
    parts.append(f"\n***  Repetition {r}  *****************************")
    for i in np.sort(rng.choice(len(names), 1000, replace=False)):
        parts.append("\n" + names[i])
open(sys.argv[2], "w", encoding="utf-8").write("".join(parts))
EOF
}

echo "dropkit-batch: $BATCH; min of $RUNS runs each; $(nproc) cores, load average" \
  "$(cut -d' ' -f1-3 /proc/loadavg) at the start"

SMALL=$WORK/names_100000.txt
OUT=$WORK/listing.txt
COPY=$WORK/copy.txt
HEAD_ONLY=$WORK/no_groups.txt
make_names 100000 "$SMALL"
dropkit "$SMALL" 1000 1000 "$OUT"  # warm-up; also the file cat copies

echo "== 100,000 names: --omit 1000 --groups 1000 --seed 1 ($(stat -c %s "$OUT") bytes)"
job_dropkit() { dropkit "$SMALL" 1000 1000 "$OUT"; }
job_cat() { run_cat "$OUT" "$COPY"; }
job_cat_sync() { run_cat_sync "$OUT" "$COPY"; }
job_python() { run_python "$SMALL" "$COPY"; }
job_numpy() { run_numpy "$SMALL" "$COPY"; }
job_threads_1() { DROPKIT_THREADS=1 dropkit "$SMALL" 1000 1000 "$OUT"; }
job_threads_2() { DROPKIT_THREADS=2 dropkit "$SMALL" 1000 1000 "$OUT"; }
# The runs with 0 groups write a file of their own: replacing the listing would charge
# them for dropping its 21 MB from the page cache.
job_no_groups() { dropkit "$SMALL" 1000 0 "$HEAD_ONLY"; }
jobs=(job_dropkit job_cat job_cat_sync job_python job_threads_1 job_threads_2 job_no_groups)
has_numpy=0
if python3 -c "import numpy" 2>/dev/null; then
  has_numpy=1
  jobs+=(job_numpy)
fi
best_of_each "${jobs[@]}"
small=${BEST[0]}
report "dropkit / cat" "$small" "${BEST[1]}" 2.5 "<=" le
report "dropkit / cat then fsync" "$small" "${BEST[2]}" 1.5 "<=" le
report "python random.sample / dropkit" "${BEST[3]}" "$small" 15 ">=" ge
if ((has_numpy)); then
  echo "  numpy choice: $(ms "${BEST[7]}") ($(ratio "${BEST[7]}" "$small") x dropkit)"
else
  echo "  numpy: not installed"
fi
echo "  DROPKIT_THREADS=1: $(ms "${BEST[4]}")"
echo "  DROPKIT_THREADS=2: $(ms "${BEST[5]}")"
small_groups=$((small - BEST[6]))
echo "  the Load aside (less $(ms "${BEST[6]}") with 0 groups): $(ms "$small_groups")"

for n in $BIG; do
  list=$WORK/names_$n.txt
  widen_names "$SMALL" $((n / 100000)) "$list"
  dropkit "$list" 1000 1000 "$OUT"  # warm-up
  echo "== $n names: the same, the Load aside"
  job_big() { dropkit "$list" 1000 1000 "$OUT"; }
  job_big_no_groups() { dropkit "$list" 1000 0 "$HEAD_ONLY"; }
  best_of_each job_big job_big_no_groups
  echo "  whole $(ms "${BEST[0]}"), with 0 groups $(ms "${BEST[1]}")"
  report "the listing from $n / from 100,000" $((BEST[0] - BEST[1])) "$small_groups" 1.5 "<=" le
  rm -f "$list"
done

echo "== 100,000 names: --omit 10 --groups 100000, all included"
job_small_groups() { dropkit "$SMALL" 10 100000 "$OUT"; }
best_of_each job_small_groups
per_group=$(awk -v us="${BEST[0]}" 'BEGIN { printf "%.2f", us / 100000 }')
echo "  $(ms "${BEST[0]}"): $per_group us a group (target < 1)  $(verdict "$per_group" 1 lt)"
