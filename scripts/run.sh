#!/usr/bin/env bash
# Builds Dropkit and starts its window. On a machine without a display it says so and
# runs the batch command on the example name list instead (3 names left out per group,
# 5 groups, seed 42, the listing shown on standard output). Installs what is missing first,
# and links dropkit-batch into ~/.local/bin for README's walk-through.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target dropkit-batch
mkdir -p "$HOME/.local/bin"
link="$HOME/.local/bin/dropkit-batch"
if [ -e "$link" ] && [ ! -L "$link" ]; then
  echo "$link is a file of its own (an installed dropkit-batch?); it is left as it is." >&2
else
  ln -sfn "$PWD/build/release/dropkit-batch" "$link"
  echo "dropkit-batch is linked into ~/.local/bin (export PATH=\"\$HOME/.local/bin:\$PATH\")."
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  cmake --build --preset release --target dropkit
  exec build/release/dropkit "$@"
fi
echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): running the batch example instead."
build/release/dropkit-batch examples/taxa.txt --omit 3 --groups 5 --seed 42 --show
