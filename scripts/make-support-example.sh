#!/usr/bin/env bash
# Makes the clade-survival example again, by running README.md's walk-through as written
# (scripts/readme_walkthrough.sh) with the real IQ-TREE, and writes it to
# examples/jackknife/support/: the design (groups.tsv, dropkit.json), the reference tree
# (reference.tre), the groups' trees in group order (groups.tre, one per line) and what
# `support --by-taxon` wrote; then draws support.svg into docs/support.png.
# Deterministic: the same inputs give the same files (but for the date in dropkit.json).
# Needs iqtree2 and parallel; builds dropkit-batch (release) first. Runs from any folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/examples/jackknife/support"
(cd "$root" && cmake --preset release >/dev/null &&
  cmake --build --preset release --target dropkit-batch)
command -v iqtree2 >/dev/null || { echo "iqtree2 is needed (Debian package iqtree)" >&2; exit 1; }
command -v parallel >/dev/null || { echo "parallel is needed (Debian package parallel)" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
bash "$root/scripts/readme_walkthrough.sh" "$root/build/release/dropkit-batch" "$work"

mkdir -p "$out"
cp "$work/run/reference.treefile" "$out/reference.tre"
cat "$work"/run/group*.treefile >"$out/groups.tre"
cp "$work/run/groups.tsv" "$work/run/dropkit.json" "$out/"
cp "$work"/support/{support.tsv,support.tre,support.svg,by_taxon.tsv,outcomes.tsv,taxa.tsv,instability.tsv} "$out/"
rsvg-convert -w 720 "$out/support.svg" -o "$root/docs/support.png" 2>/dev/null ||
  echo "rsvg-convert not found: docs/support.png not made (Debian package librsvg2-bin)" >&2
echo "Wrote the example to $out"
