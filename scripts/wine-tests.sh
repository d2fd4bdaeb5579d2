#!/usr/bin/env bash
# Runs the Windows test programs of the mingw build under Wine, in a private Wine prefix that
# lives only for this run. Expects `cmake --build --preset mingw` to have run.
set -euo pipefail
cd "$(dirname "$0")/.."
tests=build/mingw/tests

wine=$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)

WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/vantrel-wine.XXXXXX")
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
finish() {
  "$wineserver" -k 2>/dev/null || true
  "$wineserver" -w 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap finish EXIT

echo "wine: preparing a prefix in $WINEPREFIX"
# A persistent server (it puts itself in the background) makes every start of a Windows
# program after the first cheap; finish() shuts it down.
"$wineserver" -p
"$wine" wineboot -i >/dev/null 2>&1

status=0
for program in vantrel_unit_tests.exe vantrel_win32_tests.exe vantrel_install_tests.exe; do
  echo "== wine $program"
  timeout 300 "$wine" "$tests/$program" || status=1
done
exit $status
