#!/usr/bin/env bash
# The platform contract suite against the Win32 backend in Wine.
#
#   run_contract.sh BUILD [PREFIX:BUILD_ARCH...]
#
# Each argument names a prefix architecture and the build to run in it:
# win64:win32 (the 32-bit build in a 64-bit prefix, WOW64), win64:win64 and
# win32:win32; the default is all three. Base prefixes are made fresh unless
# E2E_KEEP_PREFIXES=1 keeps those made earlier in the same run. Run as
# root, the suite runs as the user mixo-wine (made by `make deps`).
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
# Root may write a read-only file, which Windows' users cannot: run as
# root, the read-only checks would skip. So where this runs as root, Wine
# runs as the unprivileged user `make deps` makes, in a prefix it owns.
wine_user=
if [ "$(id -u)" = 0 ]; then
  if id -u mixo-wine > /dev/null 2>&1; then
    wine_user=mixo-wine
  else
    echo "contract: no user mixo-wine (make deps makes it): Wine runs as root, and the read-only checks skip"
  fi
fi
# as_wine_user COMMAND...: the command as that user (or as we are), with the
# prefix and the display.
as_wine_user() {
  if [ -n "$wine_user" ]; then
    runuser -u "$wine_user" -- env WINEPREFIX="$WINEPREFIX" WINEDEBUG=-all DISPLAY="$DISPLAY" "$@"
  else
    "$@"
  fi
}
# The copy's folders and its own files go to the user; the files it shares
# with the base through hard links (Wine's DLLs and programs, which nothing
# writes) stay as they are, readable by all, so the base is not changed.
# The file "wineserver" names the folder of the server of whoever last ran
# Wine in it (root's, unreadable to the user): the user's Wine makes its own.
give_prefix() {
  [ -n "$wine_user" ] || return 0
  rm -f "$1/wineserver"
  find "$1" \( -type d -o -links 1 \) -exec chown -h "$wine_user:" {} +
}
status=0
# The suite's own verdict is its XML report. Wine has been seen to crash
# now and then while a process ends, after every test has passed: that is
# reported, and judged by the report; any other failure fails the run.
run() {  # run PREFIX BITS: the suite of that build, copied into C:\contract
  local prefix=$1 bits=$2 rc=0
  local xml
  xml="$(cd "$build" && pwd)/contract-$bits-$(basename "$prefix").xml"
  echo "contract: $bits/contract_tests.exe in $(basename "$prefix")${wine_user:+, as $wine_user}"
  rm -f "$xml"
  # The report is written in the prefix (the user's), then moved here.
  export WINEPREFIX=$prefix
  # It runs in the prefix's C: (a folder the user may write: a test writes
  # in its current folder).
  (cd "$prefix/drive_c" &&
    as_wine_user wine 'C:\contract\contract_tests.exe' --gtest_brief=1 '--gtest_output=xml:C:\contract-report.xml') || rc=$?
  if [ -f "$prefix/drive_c/contract-report.xml" ]; then mv "$prefix/drive_c/contract-report.xml" "$xml"; fi
  if [ "$rc" -ne 0 ]; then
    if [ "$rc" -ge 128 ] && [ -f "$xml" ] && grep -q '<testsuites[^>]* failures="0"[^>]* errors="0"' "$xml"; then
      echo "contract: wine ended with signal $((rc - 128)) after every test passed (report: $xml)"
    else
      echo "contract: FAILED with exit code $rc$([ -f "$xml" ] || echo ', no report written')"
      status=1
    fi
  fi
  as_wine_user wineserver -k 2>/dev/null || true
  unset WINEPREFIX
}
for pair in "${runs[@]}"; do
  arch=${pair%%:*} bits=${pair#*:}
  prefix=$(bash "$here/wine_prefix.sh" copy "$build" "$arch" "contract-$arch-$bits")
  # The suite and its helpers go into the prefix, so that the user needs no
  # access to the build folder (which may lie below root's home).
  mkdir -p "$prefix/drive_c/contract"
  cp "$build/$bits/contract_tests.exe" "$build/$bits/child_exit.exe" "$build/$bits/contract_dll.dll" \
    "$prefix/drive_c/contract/"
  give_prefix "$prefix"
  run "$prefix" "$bits"
  rm -rf "$prefix"
done
exit $status
