#!/usr/bin/env bash
# Runs README.md's walk-through exactly as written: the ```sh blocks of its section "A whole
# taxon-jackknife", in order, in one shell started in the repository's folder, with HOME a
# fresh folder whose ~/.local/bin holds DROPKIT_BATCH (as scripts/run.sh leaves it). Where
# IQ-TREE or GNU parallel is missing, a stand-in takes its place (its trees are ladders of
# the alignment's taxa, so the tables then differ from the example's). Copies the scratch
# folder's run/ and support/ into OUT.
#
# With --check, it fails unless every block ran, and, when the real IQ-TREE ran, unless
# the design and the tables equal examples/jackknife/support/'s (dropkit.json but for its
# date).
#
# Usage: bash scripts/readme_walkthrough.sh [--check] DROPKIT_BATCH OUT
set -euo pipefail
check=0
if [ "${1:-}" = --check ]; then check=1; shift; fi
[ $# -eq 2 ] || { echo "usage: $0 [--check] DROPKIT_BATCH OUT" >&2; exit 2; }
batch="$(realpath "$1")"
out="$2"
root="$(cd "$(dirname "$0")/.." && pwd)"

blocks="$(awk '
  /^## / { inside = ($0 ~ /^## A whole taxon-jackknife/) }
  inside && /^```sh$/ { code = 1; next }
  code && /^```$/ { code = 0; print ""; next }
  code { print }' "$root/README.md")"
[ -n "$blocks" ] || { echo "README.md: no sh blocks in the walk-through" >&2; exit 1; }

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home/.local/bin" "$scratch/tmp"
ln -s "$batch" "$scratch/home/.local/bin/dropkit-batch"
real_iqtree=1
if ! command -v iqtree2 >/dev/null; then
  real_iqtree=0
  # Writes PREFIX.treefile: a ladder of the alignment's taxa, in the file's order.
  cat >"$scratch/home/.local/bin/iqtree2" <<'STANDIN'
#!/usr/bin/env bash
set -euo pipefail
while [ $# -gt 0 ]; do
  case "$1" in -s) alignment=$2; shift ;; --prefix) prefix=$2; shift ;; esac
  shift
done
awk '/^>/ { name = substr($1, 2); tree = tree == "" ? name : "(" tree "," name ")" }
     END { print tree ";" }' "$alignment" >"$prefix.treefile"
STANDIN
  chmod +x "$scratch/home/.local/bin/iqtree2"
fi
if ! command -v parallel >/dev/null; then
  printf '#!/usr/bin/env bash\nwhile IFS= read -r line; do bash -c "$line"; done\n' \
    >"$scratch/home/.local/bin/parallel"
  chmod +x "$scratch/home/.local/bin/parallel"
fi
mkdir -p "$scratch/home/.parallel" && touch "$scratch/home/.parallel/will-cite"

# The blocks, then a copy of what they made from the folder they end in.
mkdir -p "$out"
rm -rf "${out:?}/run" "${out:?}/support"
(cd "$root" && HOME="$scratch/home" TMPDIR="$scratch/tmp" bash -euo pipefail -c \
  "$blocks
cp -R run support \"\$1\"/" walkthrough "$(realpath "$out")")

if [ "$check" = 1 ]; then
  for file in run/groups.tsv run/reference.treefile support/support.tsv support/support.svg; do
    [ -s "$out/$file" ] || { echo "the walk-through made no $file" >&2; exit 1; }
  done
  if [ "$real_iqtree" = 1 ]; then
    example="$root/examples/jackknife/support"
    status=0
    for file in run/groups.tsv support/support.tsv support/by_taxon.tsv support/taxa.tsv; do
      cmp -s "$out/$file" "$example/$(basename "$file")" ||
        { echo "$file differs from the example's" >&2; status=1; }
    done
    grep -v '"created"' "$out/run/dropkit.json" >"$scratch/made.json"
    grep -v '"created"' "$example/dropkit.json" >"$scratch/shipped.json"
    cmp -s "$scratch/made.json" "$scratch/shipped.json" ||
      { echo "run/dropkit.json differs from the example's (but for its date)" >&2; status=1; }
    exit "$status"
  fi
fi
