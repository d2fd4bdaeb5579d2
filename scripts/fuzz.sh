#!/usr/bin/env bash
# Fuzzing. `scripts/fuzz.sh smoke` runs every target for a short fixed time (part of the test
# command); `scripts/fuzz.sh long [SECONDS]` runs each for longer (default 600 s) with a
# persistent corpus in build/fuzz/corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-smoke}
case "$mode" in
  smoke) seconds=${2:-20} ;;
  long) seconds=${2:-600} ;;
  *) echo "usage: scripts/fuzz.sh smoke|long [SECONDS]" >&2; exit 2 ;;
esac

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
bin=build/fuzz
seeds=$bin/seeds
rm -rf "$seeds"
"$bin/fuzz/vantrel-fuzz-seeds" "$seeds"
for f in ../shared/samples/*; do
  case "$f" in *.md) ;; *) [ -f "$f" ] && cp "$f" "$seeds/raw/" ;; esac
done

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in "$bin"/fuzz/*_fuzzer; do
  name=$(basename "$target")
  corpus=$bin/corpus/$name
  mkdir -p "$corpus"
  [ "$mode" = smoke ] && corpus=$(mktemp -d "$bin/smoke-XXXXXX")
  case "$name" in
    extract_fuzzer) seed=$seeds/raw ;;
    converter_fuzzer) seed=$seeds/thumb ;;
    *) seed=$seeds/jpeg ;;
  esac
  echo "== $name: $seconds s"
  # A hang is anything slower than 10 s on one input; memory is capped well below the machine.
  "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024 \
    -dict=fuzz/raw.dict -print_final_stats=1 -artifact_prefix="$bin/artifact-$name-" \
    "$corpus" "$seed" 2>&1 | grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::peak_rss|==[0-9]+==ERROR|SUMMARY|Done)' || true
  if ls "$bin"/artifact-"$name"-* >/dev/null 2>&1; then
    echo "fuzz: $name found a failing input:" "$bin"/artifact-"$name"-* >&2
    exit 1
  fi
  [ "$mode" = smoke ] && rm -rf "$corpus"
done
echo "fuzz: no crash, hang, leak or bound violation"
