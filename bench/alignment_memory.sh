#!/usr/bin/env bash
# Peak memory of reading and pruning an alignment, against the input's size.
#
#   bash bench/alignment_memory.sh [BUILD] [MB...]
#
# For each size (default 10 and 200 MB) and each kind of input (FASTA DNA, relaxed
# PHYLIP DNA, NEXUS DNA, NEXUS continuous), writes an alignment of about that size to a
# scratch folder, runs `dropkit-batch INPUT --omit 1 --groups 2 --seed 1 --prune-to DIR`
# of BUILD (default build/release) under GNU time, and prints the peak resident set less
# that of the same run on a tiny input, divided by the input's size. Target: at most 2.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"
shift || true
sizes=("$@")
((${#sizes[@]} > 0)) || sizes=(10 200)
batch="$build/dropkit-batch"
[ -x "$batch" ] || { echo "no $batch: build it first" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs GNU time (apt-get install time)" >&2; exit 1; }
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# make KIND MB PATH: an alignment of 200 taxa, about MB megabytes.
make() {
  python3 - "$1" "$2" "$3" <<'PY'
import random, sys
kind, mb, path = sys.argv[1], float(sys.argv[2]), sys.argv[3]
taxa = 200
random.seed(1)
if kind == "continuous":
    cells = max(4, int(mb * 1e6 / taxa / 9))
    row = lambda: " ".join("%.6f" % random.random() for _ in range(cells))
else:
    cells = max(4, int(mb * 1e6 / taxa))
    row = lambda: "".join(random.choice("ACGT") for _ in range(cells))
names = ["taxon%03d" % i for i in range(taxa)]
with open(path, "w") as f:
    if kind == "fasta":
        for n in names: f.write(">%s\n%s\n" % (n, row()))
    elif kind == "phylip":
        f.write("%d %d\n" % (taxa, cells))
        for n in names: f.write("%s %s\n" % (n, row()))
    else:
        dt = "CONTINUOUS" if kind == "continuous" else "DNA"
        f.write("#NEXUS\nBEGIN DATA;\n DIMENSIONS NTAX=%d NCHAR=%d;\n FORMAT DATATYPE=%s;\n MATRIX\n"
                % (taxa, cells, dt))
        for n in names: f.write("%s %s\n" % (n, row()))
        f.write(";\nEND;\n")
PY
}

# peak KIND PATH: the peak resident set in KB of pruning PATH.
peak() {
  rm -rf "$scratch/out"
  /usr/bin/time -f '%M' -o "$scratch/time" "$batch" "$2" --omit 1 --groups 2 --seed 1 \
    --prune-to "$scratch/out" 2>/dev/null >/dev/null || { echo "failed on $1" >&2; exit 1; }
  cat "$scratch/time"
}

for kind in fasta phylip nexus continuous; do
  ext=$kind; [ "$kind" = continuous ] && ext=nexus
  make "$kind" 0.01 "$scratch/tiny.$ext"
  base=$(peak "$kind" "$scratch/tiny.$ext")
  for mb in "${sizes[@]}"; do
    make "$kind" "$mb" "$scratch/in.$ext"
    bytes=$(stat -c %s "$scratch/in.$ext")
    kb=$(peak "$kind" "$scratch/in.$ext")
    awk -v k="$kind" -v mb="$mb" -v kb="$kb" -v base="$base" -v bytes="$bytes" 'BEGIN {
      r = (kb - base) * 1024 / bytes
      printf "%-10s %5s MB: peak %8.1f MB (%.1f MB at rest)  %.2f x input  %s\n", k, mb,
             kb / 1024, base / 1024, r, (r <= 2 ? "ok" : "OVER TARGET (2)") }'
    rm -f "$scratch/in.$ext"
  done
done
