#!/usr/bin/env bash
# Builds the clade-survival example end to end from examples/jackknife/example.fasta, as the
# README's walk-through does, and writes it to examples/jackknife/support/:
#   1. dropkit-batch draws 10 groups of 3 taxa to leave out (seed 42) and writes one pruned
#      alignment per group, the design (groups.tsv, dropkit.json) and jobs.txt;
#   2. the jobs run IQ-TREE (JC model, seed 1, one thread) on each group's alignment, and
#      IQ-TREE runs once more on the whole alignment for the reference tree;
#   3. dropkit-batch support compares them, writing support.tsv, support.tre, support.svg
#      and by_taxon.tsv.
# Deterministic: the same inputs give the same files (but for the date in dropkit.json).
# Needs iqtree2; builds dropkit-batch (release) first. Runs from any folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
fasta="$root/examples/jackknife/example.fasta"
out="$root/examples/jackknife/support"
build="$root/build/release"
(cd "$root" && cmake --preset release >/dev/null && cmake --build --preset release --target dropkit-batch)
batch="$build/dropkit-batch"
command -v iqtree2 >/dev/null || { echo "iqtree2 is needed (Debian package iqtree)" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$fasta" "$work/example.fasta"
cd "$work"
"$batch" example.fasta --omit 3 --groups 10 --seed 42 --prune-to run \
  --jobs 'iqtree2 -s {alignment} --prefix {group} -m JC -seed 1 -nt 1 -quiet'
(cd run && bash jobs.txt >/dev/null)
iqtree2 -s example.fasta --prefix reference -m JC -seed 1 -nt 1 -quiet >/dev/null
cat run/group*.treefile > groups.tre
"$batch" support --reference reference.treefile --trees groups.tre --design run/dropkit.json \
  --by-taxon --output results

mkdir -p "$out"
cp reference.treefile "$out/reference.tre"
cp groups.tre run/groups.tsv run/dropkit.json "$out/"
cp results/support.tsv results/support.tre results/support.svg results/by_taxon.tsv "$out/"
rsvg-convert -w 720 "$out/support.svg" -o "$root/docs/support.png" 2>/dev/null ||
  echo "rsvg-convert not found: docs/support.png not made (Debian package librsvg2-bin)" >&2
echo "Wrote the example to $out"
