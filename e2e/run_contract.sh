#!/usr/bin/env bash
# The platform contract suite against the Win32 backend in Wine.
#
#   run_contract.sh BUILD [PREFIX:BUILD_ARCH...]
#
# Each argument names a prefix architecture and the build to run in it:
# win64:win32 (the 32-bit build in a 64-bit prefix, WOW64), win64:win64 and
# win32:win32; the default is all three. Base prefixes are made fresh unless
# E2E_KEEP_PREFIXES=1 keeps those made earlier in the same run.
set -euo pipefail
build=$1
shift
runs=("$@")
[ ${#runs[@]} -gt 0 ] || runs=(win64:win32 win64:win64 win32:win32)
here=$(dirname "$0")
export WINEDEBUG=-all
if [ "${E2E_KEEP_PREFIXES:-0}" != 1 ]; then rm -rf "$build/wine"; fi
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
      echo "contract: FAILED with exit code $rc$([ -f "$xml" ] || echo ', no report written')"
      status=1
    fi
  fi
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
}
for pair in "${runs[@]}"; do
  arch=${pair%%:*} bits=${pair#*:}
  prefix=$(bash "$here/wine_prefix.sh" copy "$build" "$arch" "contract-$arch-$bits")
  run "$prefix" "$build/$bits/contract_tests.exe"
  rm -rf "$prefix"
done
exit $status
