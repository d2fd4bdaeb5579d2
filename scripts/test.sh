#!/usr/bin/env bash
# Builds every configuration and runs every test suite: native, sanitized, and the Windows
# build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

echo "== native (g++)"
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

echo "== sanitize (clang, ASan + UBSan)"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize
ctest --preset sanitize

echo "== bench (build only: the benchmarks are run by scripts/bench.sh)"
cmake --preset bench >/dev/null
cmake --build --preset bench

echo "== mingw (cross-build)"
cmake --preset mingw >/dev/null
cmake --build --preset mingw
scripts/wine-tests.sh

echo "== fuzz smoke (clang, libFuzzer, ASan + UBSan)"
scripts/fuzz.sh smoke 20
