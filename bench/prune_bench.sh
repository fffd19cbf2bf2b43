#!/usr/bin/env bash
# Time of writing a folder of pruned alignments against copying the same bytes.
#
#   bash bench/prune_bench.sh [BUILD] [TAXA SITES OMIT GROUPS]
#
# Writes an alignment of TAXA taxa x SITES sites (default 500 x 100,000: about 51 MB as
# FASTA) as FASTA, relaxed PHYLIP and NEXUS, and for each runs `dropkit-batch INPUT --omit
# OMIT --groups GROUPS --seed 1 --prune-to DIR` of BUILD (default build/release; default
# 50 and 100: 4.6 GB of copies), then copies that folder's bytes with `cp -r` and with a
# copy that fsyncs each file (as Dropkit does). Prints the least of 3 runs of each, the
# ratio to the fsync copy (target: at most 1.5), and the same for --compress gzip with
# the bytes it saved. Needs the free disk space of three such folders.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"
taxa="${2:-500}" sites="${3:-100000}" omit="${4:-50}" groups="${5:-100}"
batch="$(pwd)/$build/dropkit-batch"
[ -x "$batch" ] || { echo "no $batch: build it first" >&2; exit 1; }
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

python3 - "$taxa" "$sites" <<'PY'
import random, sys
taxa, sites = int(sys.argv[1]), int(sys.argv[2])
random.seed(1)
rows = ["".join(random.choice("ACGT") for _ in range(sites))]
for _ in range(1, taxa):  # each row a few changes from the first, as in real data
    r = list(rows[0])
    for _ in range(sites // 20):
        r[random.randrange(sites)] = random.choice("ACGT-")
    rows.append("".join(r))
names = ["taxon%04d" % i for i in range(taxa)]
with open("in.fasta", "w") as f:
    for n, r in zip(names, rows):
        f.write(">%s\n" % n)
        for s in range(0, sites, 60): f.write(r[s:s + 60] + "\n")
with open("in.phy", "w") as f:
    f.write("%d %d\n" % (taxa, sites))
    for n, r in zip(names, rows): f.write("%s %s\n" % (n, r))
with open("in.nex", "w") as f:
    f.write("#NEXUS\nBEGIN DATA;\n DIMENSIONS NTAX=%d NCHAR=%d;\n FORMAT DATATYPE=DNA GAP=-;\n"
            " MATRIX\n" % (taxa, sites))
    for n, r in zip(names, rows): f.write("%s %s\n" % (n, r))
    f.write(";\nEND;\n")
PY

# least KIND COMMAND...: the least wall time of 3 runs, in seconds; `out*` removed first.
least() {
  local best=""
  for _ in 1 2 3; do
    rm -rf out out.copy
    sync
    local start end
    start=$(date +%s.%N)
    "$@" > /dev/null
    end=$(date +%s.%N)
    best=$(awk -v a="$best" -v b="$(awk -v s="$start" -v e="$end" 'BEGIN{print e-s}')" \
      'BEGIN{print (a == "" || b < a) ? b : a}')
  done
  echo "$best"
}
fsync_copy() {
  python3 - <<'PY'
import os
os.mkdir("out.copy")
for n in sorted(os.listdir("out")):
    with open("out/" + n, "rb") as f: data = f.read()
    fd = os.open("out.copy/" + n, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
    os.write(fd, data); os.fsync(fd); os.close(fd)
PY
}
copy_of() {  # copies a fresh pruning of $1 with $2 (cp or fsync_copy), timing the copy only
  local best=""
  for _ in 1 2 3; do
    rm -rf out out.copy
    "$batch" "$1" --omit "$omit" --groups "$groups" --seed 1 --prune-to out > /dev/null
    sync
    local start end
    start=$(date +%s.%N)
    if [ "$2" = cp ]; then cp -r out out.copy; else fsync_copy; fi
    end=$(date +%s.%N)
    best=$(awk -v a="$best" -v b="$(awk -v s="$start" -v e="$end" 'BEGIN{print e-s}')" \
      'BEGIN{print (a == "" || b < a) ? b : a}')
  done
  echo "$best"
}

printf "%d taxa x %d sites, --omit %d --groups %d (least of 3 runs)\n" "$taxa" "$sites" \
  "$omit" "$groups"
for input in in.fasta in.phy in.nex; do
  plain=$(least "$batch" "$input" --omit "$omit" --groups "$groups" --seed 1 --prune-to out)
  bytes=$(du -sb out | cut -f1)
  gz=$(least "$batch" "$input" --omit "$omit" --groups "$groups" --seed 1 --prune-to out \
    --compress gzip)
  gz_bytes=$(du -sb out | cut -f1)
  cp_time=$(copy_of "$input" cp)
  sync_time=$(copy_of "$input" fsync)
  awk -v i="$input" -v p="$plain" -v g="$gz" -v c="$cp_time" -v s="$sync_time" -v b="$bytes" \
    -v gb="$gz_bytes" 'BEGIN {
    printf "%-9s dropkit %6.2f s  cp -r %6.2f s  cp+fsync %6.2f s  ratio %.2f (target 1.5) %s\n",
           i, p, c, s, p / s, (p / s <= 1.5 ? "ok" : "OVER")
    printf "%-9s --compress gzip %6.2f s: %.0f MB instead of %.0f MB (%.0f%% saved)\n",
           "", g, gb / 1e6, b / 1e6, 100 * (1 - gb / b) }'
done
