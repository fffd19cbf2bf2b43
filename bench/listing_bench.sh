#!/usr/bin/env bash
# listing_bench.sh: times dropkit-batch writing a randomized omission listing against two
# baselines measured in the same run: `cat` copying a file of the listing's size, and
# listing_reference.py doing the same job in plain Python.
#
# Usage: bench/listing_bench.sh            (from any folder)
# Environment:
#   RUNS=N           timed runs of each command; the minimum is reported (default 5)
#   SIZES="N ..."    name-list lengths to try (default "100000 1000000")
#   DROPKIT_BATCH=P  the dropkit-batch to time (default build/release/dropkit-batch, built
#                    with the release preset when missing)
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
RUNS=${RUNS:-5}
SIZES=${SIZES:-"100000 1000000"}
BATCH=${DROPKIT_BATCH:-$ROOT/build/release/dropkit-batch}
REFERENCE=$ROOT/bench/listing_reference.py
OMIT=1000
GROUPS_=1000
SEED=1
CAT_TARGET=3       # dropkit / cat, at most
PYTHON_TARGET=10   # python / dropkit, at least

if [[ ! -x $BATCH ]]; then
  echo "building $BATCH with the release preset ..." >&2
  (cd "$ROOT" && cmake --preset release >&2 && cmake --build --preset release -j1 \
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

# Sets NOW_US to the time in microseconds: bash's own clock (no process started), else date.
now_us() {
  if [[ -n ${EPOCHREALTIME:-} ]]; then
    local t=${EPOCHREALTIME/[.,]/}
    NOW_US=$((10#$t))
  else
    NOW_US=$(($(date +%s%N) / 1000))
  fi
}

# Runs "$@" once and sets LAST_US to its wall time in microseconds.
time_us() {
  local t0
  now_us
  t0=$NOW_US
  "$@"
  now_us
  LAST_US=$((NOW_US - t0))
}

ms() { awk -v us="$1" 'BEGIN { printf "%.1f", us / 1000 }'; }
mb() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1e6 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
verdict() { awk -v r="$1" -v t="$2" -v op="$3" \
  'BEGIN { ok = (op == "le") ? r <= t : r >= t; print ok ? "ok" : (op == "le" ? "OVER TARGET" : "UNDER TARGET") }'; }

run_dropkit() { "$BATCH" "$1" --omit $OMIT --groups $GROUPS_ --seed $SEED --output "$2" 2>/dev/null; }
run_python() { python3 "$REFERENCE" "$1" --omit $OMIT --groups $GROUPS_ --seed $SEED --output "$2"; }
run_cat() { cat "$1" >"$2"; }

bench_size() {
  local n=$1 list=$WORK/names_$1.txt out=$WORK/listing_dropkit.txt
  local ref=$WORK/listing_python.txt copy=$WORK/copy.txt
  make_names "$n" "$list"
  run_dropkit "$list" "$out"  # warm-up; also gives the file cat copies
  run_python "$list" "$ref"
  local out_bytes ref_bytes
  out_bytes=$(stat -c %s "$out")
  ref_bytes=$(stat -c %s "$ref")
  echo "== $n names ($(mb "$(stat -c %s "$list")") MB list): --omit $OMIT --groups $GROUPS_" \
    "--seed $SEED; listing $(mb "$out_bytes") MB (python's $(mb "$ref_bytes") MB);" \
    "min of $RUNS runs"
  if [[ $(wc -l <"$out") != $(wc -l <"$ref") || $(head -1 "$out") != $(head -1 "$ref") ]]; then
    echo "  warning: the python listing's layout differs from dropkit's"
  fi

  # The three commands in turn, so that each meets the same machine load.
  local best_cat='' best_dropkit='' best_python='' i
  for ((i = 0; i < RUNS; i++)); do
    time_us run_cat "$out" "$copy"
    if [[ -z $best_cat || $LAST_US -lt $best_cat ]]; then best_cat=$LAST_US; fi
    time_us run_dropkit "$list" "$out"
    if [[ -z $best_dropkit || $LAST_US -lt $best_dropkit ]]; then best_dropkit=$LAST_US; fi
    time_us run_python "$list" "$ref"
    if [[ -z $best_python || $LAST_US -lt $best_python ]]; then best_python=$LAST_US; fi
  done

  local r_cat r_py
  r_cat=$(ratio "$best_dropkit" "$best_cat")
  r_py=$(ratio "$best_python" "$best_dropkit")
  echo "dropkit: $(ms "$best_dropkit") ms  cat: $(ms "$best_cat") ms  ratio dropkit/cat" \
    "$r_cat (target <= $CAT_TARGET)  $(verdict "$r_cat" $CAT_TARGET le)"
  echo "python: $(ms "$best_python") ms  dropkit: $(ms "$best_dropkit") ms  ratio" \
    "python/dropkit $r_py (target >= $PYTHON_TARGET)  $(verdict "$r_py" $PYTHON_TARGET ge)"
  rm -f "$list" "$out" "$ref" "$copy"
}

echo "dropkit-batch: $BATCH"
for n in $SIZES; do bench_size "$n"; done
