#!/usr/bin/env bash
# The platform contract suite against the Win32 backend in Wine: the 32-bit
# build in a 64-bit prefix (WOW64) and in a 32-bit prefix, the 64-bit build
# in the 64-bit prefix.
set -euo pipefail
build=$1
here=$(dirname "$0")
export WINEDEBUG=-all
# Prefixes are made fresh once per run.
rm -rf "$build/wine"
# The window operations need a display: a private virtual one.
. "$here/xvfb.sh"
start_xvfb
trap stop_xvfb EXIT
status=0
# The suite's own verdict is its XML report. Wine has been seen to crash
# now and then while a process ends, after every test has passed: that is
# reported, and judged by the report; any other failure fails the run.
run() {
  local prefix=$1 exe=$2 rc=0
  local xml
  xml="$(cd "$build" && pwd)/contract-$(basename "$(dirname "$exe")")-$(basename "$prefix").xml"
  echo "contract: $(basename "$(dirname "$exe")")/$(basename "$exe") in $(basename "$prefix")"
  rm -f "$xml"
  WINEPREFIX=$prefix wine "$exe" --gtest_brief=1 "--gtest_output=xml:Z:${xml//\//\\}" || rc=$?
  if [ "$rc" -ne 0 ]; then
    if [ "$rc" -ge 128 ] && [ -f "$xml" ] && grep -q '<testsuites[^>]* failures="0"[^>]* errors="0"' "$xml"; then
      echo "contract: wine ended with signal $((rc - 128)) after every test passed (report: $xml)"
    else
      status=1
    fi
  fi
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
}
p64=$(bash "$here/wine_prefix.sh" copy "$build" win64 contract64)
run "$p64" "$build/win32/contract_tests.exe"
run "$p64" "$build/win64/contract_tests.exe"
p32=$(bash "$here/wine_prefix.sh" copy "$build" win32 contract32)
run "$p32" "$build/win32/contract_tests.exe"
exit $status
