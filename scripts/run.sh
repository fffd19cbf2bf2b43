#!/usr/bin/env bash
# Builds Dropkit and runs its batch command on the example name list: 3 names left out
# per group, 5 groups, seed 42, the listing shown on standard output.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target dropkit-batch
build/release/dropkit-batch examples/taxa.txt --omit 3 --groups 5 --seed 42 --show
