#!/usr/bin/env bash
# Runs clang-tidy (.clang-tidy) over the program's C++ sources, with the compile commands
# of the build folder given (default build/asan); fails on any finding. With --with-tests
# the test sources are checked too (about twice the time, so CI leaves them out). Left
# out always: the layering probes (they must not build), the two files that include NCL's
# headers (clang 14 cannot parse them with this standard library) and the processor
# feature check of the draws (names clang 14 does not know).
set -euo pipefail
cd "$(dirname "$0")/.."
with_tests=0
if [ "${1:-}" = "--with-tests" ]; then
  with_tests=1
  shift
fi
build="${1:-build/asan}"
jobs="$(nproc)"
root="$(pwd)"
mapfile -t files < <(git ls-files '*.cpp' | grep -E \
  '^(base|os|random|runtime|gui|design|frame|shell|figsupport|generator|window|export|review|survival|alignment|jackknife|clades|testing)/' |
  grep -vE '^testing/layering/|^alignment/alignment\.cpp$|^clades/tree_reader\.cpp$|^random/philox_batch\.cpp$' |
  if [ "$with_tests" = 1 ]; then cat; else grep -v '_test\.cpp$'; fi)
if ! run-clang-tidy -p "$build" -j "$jobs" -quiet "${files[@]/#/$root/}" \
    > "$build/tidy.log" 2>&1; then
  grep -E "(warning|error): " "$build/tidy.log" | sort -u >&2 || cat "$build/tidy.log" >&2
  echo "tidy: findings above (full log: $build/tidy.log)" >&2
  exit 1
fi
echo "tidy: no findings in ${#files[@]} files"
