#!/usr/bin/env bash
# Times a silent install ("-h -i") of the real setup program with the stand-in
# payload in a 64-bit Wine prefix reporting Windows 7 (the cable and aux
# driver path; no pin check there), and prints the time it takes beyond the
# pauses the install sequence is specified to take:
#   1000 ms before loading the package, 1000 ms before the shortcuts, and
#   50 ms after each of the three 32-bit ASIO registrations.
# Three runs; the install is repeated by removing the uninstall entry between
# runs (otherwise the setup program refuses with -4). Prints the median.
#   bench/install_bench.sh [BUILD]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=$(cd "${1:-$root/build}" && pwd)
setup_exe=$build/win32/MixolyteSetup.exe
[ -f "$setup_exe" ] || { echo "install_bench: $setup_exe missing (make build)" >&2; exit 1; }

export WINEDEBUG=-all
# The setup program makes its (hidden) window even with "-h": Wine needs a display.
source "$root/e2e/install_lib.sh"
ie_ensure_display
pauses_ms=$((1000 + 1000 + 3 * 50))
uninstall_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\ZT:Mixolyte {17359A74-1236-5467}'

prefix=$(bash "$root/e2e/wine_prefix.sh" copy "$build" win64 bench-install win7)
export WINEPREFIX=$prefix
cleanup() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  rm -rf "$prefix"
  ie_stop_display
}
trap cleanup EXIT

# A running wineserver and warm caches: the timing is the setup program's.
wineserver -p
wine reg query 'HKLM\SOFTWARE' >/dev/null 2>&1 || true
mkdir -p "$prefix/drive_c/Setup"
cp "$setup_exe" "$prefix/drive_c/Setup/MixolyteSetup.exe"

walls=()
for run in 1 2 3; do
  start=$(date +%s.%N)
  rc=0
  (cd "$prefix/drive_c/Setup" && wine 'C:\Setup\MixolyteSetup.exe' -h -i >/dev/null 2>&1) || rc=$?
  end=$(date +%s.%N)
  if [ "$rc" -ne 1 ]; then
    echo "install_bench: run $run ended with $rc, expected 1" >&2
    exit 1
  fi
  wall=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
  walls+=("$wall")
  printf 'install run %d: %.3f s wall\n' "$run" "$wall"
  wine reg delete "$uninstall_key" /f /reg:32 >/dev/null 2>&1
done

median=$(printf '%s\n' "${walls[@]}" | sort -g | sed -n 2p)
awk -v m="$median" -v p="$pauses_ms" 'BEGIN {
  printf "install_pauses_seconds: %.3f\n", p / 1000
  printf "install_overhead_seconds: %.3f\n", m - p / 1000
}'
