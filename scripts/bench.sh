#!/usr/bin/env bash
# Benchmarks of extraction and thumbnail speed against their physical floors: builds the `bench`
# preset, makes the raw files in a private temporary directory (removed at the end) and prints
# one table of medians and ratios. See "Benchmarks" in README.md.
#
#   scripts/bench.sh [-r REPETITIONS] [-v] [GOOGLE-BENCHMARK-OPTIONS...]
#
# -r sets the repetitions of every measurement (default 15); -v shows Google Benchmark's own
# report as it goes (otherwise it is kept in build/bench/bench-floors.log).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

repetitions=15
verbose=0
while [ $# -gt 0 ]; do
  case "$1" in
    -r) repetitions="$2"; shift 2 ;;
    -v) verbose=1; shift ;;
    -h|--help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) break ;;
  esac
done

scripts/setup.sh
mkdir -p build
if ! { cmake --preset bench && cmake --build --preset bench; } >build/bench-build.log 2>&1; then
  cat build/bench-build.log >&2
  echo "bench: the build failed" >&2
  exit 1
fi

cores="$(nproc)"
load="$(cut -d' ' -f1 /proc/loadavg)"
if awk -v l="$load" -v c="$cores" 'BEGIN { exit !(l > c / 2) }'; then
  echo "bench: the load average is $load on $cores cores; other work will show in the times" >&2
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/vantrel-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
log="$root/build/bench/bench-floors.log"
echo "bench: measuring, one to three minutes (Google Benchmark's report: $log)" >&2
status=0
if [ "$verbose" -eq 1 ]; then
  TMPDIR="$work" build/bench/bench/vantrel-bench-floors \
    --benchmark_repetitions="$repetitions" "$@" 2> >(tee "$log" >&2) || status=$?
else
  TMPDIR="$work" build/bench/bench/vantrel-bench-floors \
    --benchmark_repetitions="$repetitions" "$@" 2>"$log" || status=$?
fi
if [ "$status" -ne 0 ]; then
  tail -n 20 "$log" >&2
  echo "bench: the benchmark program failed ($status)" >&2
fi
exit "$status"
