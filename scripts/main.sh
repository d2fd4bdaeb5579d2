#!/usr/bin/env bash
# The main job: builds Vantrel, generates sample raw files and runs the extraction over them.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native
bin=build/native
out=$bin/main-job
rm -rf "$out"
mkdir -p "$out"
"$bin/tests/fixtures/vantrel-make-samples" "$out/samples"
status=0
for raw in "$out"/samples/* ../shared/samples/*.*; do
  case "$raw" in *.md) continue ;; esac
  [ -f "$raw" ] || continue
  name=$(basename "$raw")
  echo "== $name"
  "$bin/tools/vantrel/vantrel" info "$raw" || true
  if "$bin/tools/vantrel/vantrel" extract "$raw" "$out/$name.thumb"; then
    echo "   thumbnail file: $out/$name.thumb ($(stat -c %s "$out/$name.thumb") bytes)"
  fi
done
echo "Outputs are in $out"
exit $status
