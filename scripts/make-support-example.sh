#!/usr/bin/env bash
# Builds the clade-survival example end to end from examples/jackknife/example.fasta and
# writes it to examples/jackknife/support/:
#   1. a design of 10 groups of 3 omitted taxa (seed 42) and one pruned alignment per group;
#   2. iqtree2 (JC model, seed 1, one thread) on the whole alignment and on each group's;
#   3. the support command on the trees, writing support.tsv, support.tre, support.svg and
#      by_taxon.tsv.
# Deterministic: the same inputs give the same files. Needs iqtree2, python3 and a release
# build (made here when missing). Runs from any folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
fasta="$root/examples/jackknife/example.fasta"
out="$root/examples/jackknife/support"
build="$root/build/release"
omit=3
groups=10
seed=42

if [ ! -x "$build/dropkit-batch" ] || [ ! -x "$build/clades/dropkit-support" ]; then
  cmake --preset release -S "$root" >/dev/null
  cmake --build --preset release --target dropkit-batch dropkit-support -j2
fi
batch="$build/dropkit-batch"
command -v iqtree2 >/dev/null || { echo "iqtree2 is needed (Debian package iqtree)" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/design" "$out"

if "$batch" --help 2>&1 | grep -q -- '--prune-to'; then
  # The design and the pruned alignments, as dropkit-batch writes them.
  "$batch" "$fasta" --omit "$omit" --groups "$groups" --seed "$seed" \
    --prune-to "$work/design" --jobs iqtree2
else
  # ---- STAND-IN until dropkit-batch has --prune-to ---------------------------------------
  # Draws the same groups with the listing command (same generator, same seed), then
  # writes groups.tsv, dropkit.json and the pruned FASTA files by the design format.
  grep '^>' "$fasta" | cut -c2- > "$work/names.txt"
  "$batch" "$work/names.txt" --omit "$omit" --groups "$groups" --seed "$seed" \
    --output "$work/listing.txt"
  created="$(git -C "$root" log -1 --format=%cI -- examples/jackknife/example.fasta 2>/dev/null ||
             true)"
  python3 - "$fasta" "$work/names.txt" "$work/listing.txt" "$work/design" "$omit" "$groups" \
    "$seed" "${created:-1970-01-01T00:00:00+00:00}" <<'PY'
import hashlib, json, os, re, sys
fasta, names_file, listing, outdir, omit, count, seed, created = sys.argv[1:9]
omit, count, seed = int(omit), int(count), int(seed)
names = open(names_file).read().split("\n")[:-1]
rows, current = {}, None
for line in open(listing).read().split("\n"):
    m = re.match(r"\*\*\*  Repetition (\d+) ", line)
    if m:
        current = int(m.group(1)); rows[current] = []
    elif current is not None and line:
        rows[current].append(line)
line_of = {n: i + 1 for i, n in enumerate(names)}
tsv = "group\tposition\tname\tline\n"
for g in range(1, count + 1):
    for p, n in enumerate(rows.get(g, []), 1):
        tsv += f"{g}\t{p}\t{n}\t{line_of[n]}\n"
open(os.path.join(outdir, "groups.tsv"), "w").write(tsv)
seqs, order, name = {}, [], None
for line in open(fasta).read().split("\n"):
    if line.startswith(">"):
        name = line[1:]; order.append(name); seqs[name] = []
    elif line and name is not None:
        seqs[name].append(line)
omitted_all = set()
groups = []
for g in range(1, count + 1):
    om = rows.get(g, [])
    omitted_all.update(om)
    groups.append({"group": g, "label": f"group{g:03d}", "omitted": om,
                   "lines": [line_of[n] for n in om]})
    with open(os.path.join(outdir, f"group{g:03d}.fasta"), "w") as f:
        for n in order:
            if n not in om:
                f.write(">" + n + "\n" + "\n".join(seqs[n]) + "\n")
data = open(fasta, "rb").read()
design = {
    "format": "dropkit-design", "format_version": 1, "program": "dropkit-batch",
    "version": "0.1.0",
    "command": ["dropkit-batch", "example.fasta", "--omit", str(omit), "--groups", str(count),
                "--seed", str(seed), "--prune-to", "DIR", "--jobs", "iqtree2"],
    "input": {"file": "example.fasta", "size": len(data),
              "sha256": hashlib.sha256(data).hexdigest(), "format": "fasta"},
    "list_size": len(names), "names": names,
    "kept": [n for n in names if n not in omitted_all], "omit": omit, "group_count": count,
    "each": False, "seed": seed, "seed_source": "option",
    "generator": "Philox4x64-10; see docs/random.md", "created": created,
    "listing_sha256": hashlib.sha256(tsv.encode()).hexdigest(), "groups": groups,
}
open(os.path.join(outdir, "dropkit.json"), "w").write(json.dumps(design, indent=2) + "\n")
PY
  # ---- end of the stand-in ---------------------------------------------------------------
fi

# The trees: the whole alignment, then each group's, in group order.
tree_of() {
  local alignment="$1" dir
  dir="$(mktemp -d "$work/iq.XXXXXX")"
  cp "$alignment" "$dir/in.fasta"
  iqtree2 -s "$dir/in.fasta" -m JC -seed 1 -nt 1 -quiet >/dev/null
  cat "$dir/in.fasta.treefile"
}
tree_of "$fasta" > "$out/reference.tre"
: > "$out/groups.tre"
for g in $(seq 1 "$groups"); do
  tree_of "$work/design/$(printf 'group%03d' "$g").fasta" >> "$out/groups.tre"
done
cp "$work/design/groups.tsv" "$work/design/dropkit.json" "$out/"

support=("$batch" support)
"$batch" support --help 2>&1 | grep -q -- '--reference' || support=("$build/clades/dropkit-support")
"${support[@]}" --reference "$out/reference.tre" --trees "$out/groups.tre" \
  --design "$out/dropkit.json" --by-taxon --output "$out"
echo "Wrote the example to $out"
