#!/usr/bin/env bash
# Builds Dropkit with address, undefined-behaviour and leak sanitizers and runs every
# test. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j2
