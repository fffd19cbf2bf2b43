#!/usr/bin/env bash
# Checks that the program's C++ files build with clang 16 under the warnings and errors
# of the gcc builds: each file is compiled (syntax and semantics, no code) with the flags
# a clang build of the project gives it. The tests are left out to keep CI short (they
# build with gcc, under the sanitizers); `--with-tests` takes them too. Two files are
# left out always:
# alignment/alignment.cpp and clades/tree_reader.cpp include NCL's headers, which use a
# class before it is complete, and clang with libstdc++ 12 refuses that.
# Usage: scripts/check-clang.sh [--with-tests] [BUILD_DIR]   (default build/clang)
set -euo pipefail
cd "$(dirname "$0")/.."
with_tests=0
if [ "${1:-}" = --with-tests ]; then
  with_tests=1
  shift
fi
build="${1:-build/clang}"
CC=clang-16 CXX=clang++-16 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DDROPKIT_WERROR=ON >/dev/null
python3 - "$build/compile_commands.json" "$with_tests" > "$build/clang-check.commands" <<'PY'
import json, shlex, sys
skip = ("/alignment/alignment.cpp", "/clades/tree_reader.cpp")
with_tests = sys.argv[2] == "1"
for entry in json.load(open(sys.argv[1])):
    source = entry["file"]
    if source.endswith(skip) or "/layer_probes/" in source:
        continue
    if not with_tests and (source.endswith("_test.cpp") or "/testing/" in source):
        continue
    args, out, drop = shlex.split(entry["command"]), [], False
    for arg in args:
        if drop:
            drop = False
        elif arg in ("-o", "-MT", "-MF", "-c"):
            drop = True
        elif arg != "-MD":
            out.append(arg)
    print(shlex.join(out + ["-fsyntax-only", source]))
PY
count="$(wc -l < "$build/clang-check.commands")"
if ! xargs -P "$(nproc)" -d '\n' -I{} sh -c '{}' < "$build/clang-check.commands" \
    > "$build/clang-check.log" 2>&1; then
  cat "$build/clang-check.log" >&2
  echo "clang: the files above do not build with clang 16" >&2
  exit 1
fi
echo "clang: $count files build with clang 16"
