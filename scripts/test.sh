#!/usr/bin/env bash
# Everything CI checks, in order (installs what is missing first):
#   1. the format of every C++ file (clang-format);
#   2. a build with address, undefined-behaviour and leak sanitizers, clang-tidy over the
#      tree, and every test, each test program run whole in shuffled order;
#   3. the program's files compiled with clang 16;
#   4. an optimized build without the benchmarks (where the small-block pool runs) and
#      every test again.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --tests
jobs="$(nproc)"

bash scripts/check-format.sh

cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
bash scripts/check-tidy.sh build/asan
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for program in dropkit_tests dropkit_jackknife_tests dropkit_clades_tests \
               dropkit_qt_tests; do
  if [ ! -x "build/asan/$program" ]; then
    [ "$program" = dropkit_qt_tests ] && continue  # built only where Qt 6 is
    echo "build/asan/$program was not built" >&2
    exit 1
  fi
  echo "== build/asan/$program (shuffled)"
  QT_QPA_PLATFORM=offscreen "build/asan/$program" --gtest_shuffle --gtest_brief=1
done
# The layering probes run once, in the optimized build below.
ctest --preset asan -L checks -E Layering

bash scripts/check-clang.sh build/clang

cmake --preset check >/dev/null
cmake --build --preset check -j "$jobs"
ctest --preset check -j "$jobs"
