#!/usr/bin/env bash
# Makes the README's screenshot: runs the real window under Qt's offscreen platform, loads
# the example name list, sets the seed, shows a listing and saves the window as
# docs/dropkit.png. Pass a scale factor (e.g. 2) to check the look at other scalings;
# those pictures go to /tmp.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target dropkit-screenshot
scale="${1:-1}"
out="$PWD/docs/dropkit.png"
[ "$scale" = 1 ] || out="/tmp/dropkit@${scale}x.png"
QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR="$scale" \
  build/release/dropkit-screenshot "$out" "$PWD/examples/taxa.txt"
echo "wrote $out"
