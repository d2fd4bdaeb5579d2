#!/usr/bin/env bash
# The main job: builds Vantrel, generates sample raw files, and for every sample and every real
# camera file in ../shared/samples prints what the parsers find, writes the thumbnail file and
# renders a 256 x 256 PNG thumbnail through the whole road (as a file manager would get it).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native
bin=build/native
vantrel=$bin/tools/vantrel/vantrel
out=$bin/main-job
rm -rf "$out"
mkdir -p "$out/thumbnails"
"$bin/tests/fixtures/vantrel-make-samples" "$out/samples"
made=0
failed=0
for raw in "$out"/samples/* ../shared/samples/*.*; do
  case "$raw" in *.md) continue ;; esac
  [ -f "$raw" ] || continue
  name=$(basename "$raw")
  echo "== $name"
  "$vantrel" info "$raw" || true
  if "$vantrel" extract "$raw" "$out/$name.thumb"; then
    echo "   thumbnail file: $out/$name.thumb ($(stat -c %s "$out/$name.thumb") bytes)"
  fi
  # Real camera files whose preview was cut down to a few bytes fail here, as expected.
  if "$vantrel" thumbnail -s 256 "$raw" "$out/thumbnails/$name.png"; then
    echo "   PNG thumbnail: $out/thumbnails/$name.png"
    made=$((made + 1))
  else
    echo "   no PNG thumbnail (see the error above)"
    failed=$((failed + 1))
  fi
done
echo "PNG thumbnails: $made made, $failed failed, in $out/thumbnails"
echo "Outputs are in $out"
