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
run() {
  local prefix=$1 exe=$2
  echo "contract: $(basename "$(dirname "$exe")")/$(basename "$exe") in $(basename "$prefix")"
  WINEPREFIX=$prefix wine "$exe" --gtest_brief=1 || status=1
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
}
p64=$(bash "$here/wine_prefix.sh" copy "$build" win64 contract64)
run "$p64" "$build/win32/contract_tests.exe"
run "$p64" "$build/win64/contract_tests.exe"
p32=$(bash "$here/wine_prefix.sh" copy "$build" win32 contract32)
run "$p32" "$build/win32/contract_tests.exe"
exit $status
