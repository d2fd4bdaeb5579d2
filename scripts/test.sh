#!/usr/bin/env bash
# Builds every configuration and runs every test suite: native, sanitized, and the Windows
# build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
# Any failure stops the run (set -e); reaching the end means every suite passed.
suites=0
scripts/setup.sh

echo "== native (g++)"
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native
suites=$((suites + 1))

echo "== sanitize (clang, ASan + UBSan)"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize
ctest --preset sanitize
suites=$((suites + 1))

echo "== bench (build only: the benchmarks are run by scripts/bench.sh)"
cmake --preset bench >/dev/null
cmake --build --preset bench

echo "== mingw (cross-build)"
cmake --preset mingw >/dev/null
cmake --build --preset mingw
scripts/wine-tests.sh
suites=$((suites + 1))

echo "== fuzz smoke (clang, libFuzzer, ASan + UBSan)"
scripts/fuzz.sh smoke 20
suites=$((suites + 1))

echo "suites: $suites passed, 0 failed"
