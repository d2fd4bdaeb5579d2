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

# Each program runs in well under a minute. Once in a while Wine itself stalls one (seen once
# on a loaded machine, never reproduced): a program that has not finished after three minutes
# is stopped and run once more on a fresh Wine server. A program that fails is not retried.
run() {
  local rc=0
  timeout 180 "$wine" "$tests/$1" || rc=$?
  return $rc
}

status=0
for program in vantrel_unit_tests.exe vantrel_win32_tests.exe vantrel_install_tests.exe; do
  echo "== wine $program"
  rc=0
  run "$program" || rc=$?
  if [ $rc -eq 124 ]; then
    echo "wine: $program did not finish in 180 s; running it once more on a fresh server"
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true
    "$wineserver" -p
    rc=0
    run "$program" || rc=$?
  fi
  [ $rc -eq 0 ] || status=1
done
exit $status
