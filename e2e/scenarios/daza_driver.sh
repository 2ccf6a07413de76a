#!/usr/bin/env bash
# The DAZA stand-in driver in Wine: in a fresh 64-bit prefix (Windows 10),
# install the root-enumerated DAZA device from its INF the way Windows does,
# check that its interface is present and answers the pin check's requests
# (from a 32-bit program, as the setup program is), that Wine brings the
# device up again in a new session, and that removal leaves nothing behind.
#   e2e/scenarios/daza_driver.sh [BUILD]      (BUILD defaults to build/)
# Builds the driver and its test programs into BUILD/daza_driver64 and
# BUILD/daza_driver32 when they are missing.
# The checks go on after a failed one (no `set -e`); what they need to start
# at all (the builds, the prefix) ends the script when it fails.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root=$(cd "$here/.." && pwd)
# shellcheck source=../expect.sh
. "$here/expect.sh"
die() { echo "daza_driver: $*" >&2; exit 1; }
build=${1:-$root/build}
mkdir -p "$build" || die "cannot make $build"
build=$(cd "$build" && pwd)
b64=$build/daza_driver64
b32=$build/daza_driver32
logs=$build/e2e-daza_driver
rm -rf "$logs"
mkdir -p "$logs" || die "cannot make $logs"

configure_and_build() {
  local dir=$1 toolchain=$2
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$root/standins/daza_driver" -B "$dir" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" >"$logs/cmake-$(basename "$dir").log" || return 1
  fi
  ninja -j2 -C "$dir" >"$logs/ninja-$(basename "$dir").log"
}
configure_and_build "$b64" mingw-x86_64.cmake || die "the 64-bit build failed; logs in $logs"
configure_and_build "$b32" mingw-i686.cmake || die "the 32-bit build failed; logs in $logs"

prefix=$(bash "$here/wine_prefix.sh" copy "$build" win64 daza_driver win10) || die "no prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all
dir=$prefix/drive_c/daza_test
mkdir -p "$dir" || die "cannot make $dir"
cp "$b64/ztmixolytevaio64_win10.sys" "$b64/ztmixolytevaio64_win10.inf" "$b64/daza_device_tool.exe" \
   "$b64/daza_probe64.exe" "$b32/daza_probe.exe" "$dir/" || die "cannot copy the programs into the prefix"
cd "$dir" || die "cannot enter $dir"

# One Wine session for each part: the server stays up between the programs.
new_session() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  wineserver -p || die "no wineserver"
}
run() {  # run LOGNAME program args...: output into the log, exit code kept
  local name=$1
  shift
  timeout 90 wine "$@" >"$logs/$name.log" 2>&1
}
reg_value() {  # reg_value KEY VALUE: "TYPE|DATA" of a value, "" when absent
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v v="$2" '$1 == v { print $2 "|" $NF }'
}
stat_of() {  # stat_of LOGNAME NAME: a number that "daza_probe64 stats" printed
  tr -d '\r' <"$logs/$1.log" | awk -v k="$2" '$1 == k { print $2 }'
}
key_absent() { ! wine reg query "$1" >/dev/null 2>&1; }

services='HKLM\System\CurrentControlSet\Services\ZTMixolyteDAZAMME'
device='HKLM\System\CurrentControlSet\Enum\ROOT\MEDIA\0000'
media_entry='HKLM\System\CurrentControlSet\Control\Class\{4d36e96c-e325-11ce-bfc1-08002be10318}\0000'
drivers=$prefix/drive_c/windows/system32/drivers

new_session
check "no DAZA interface before the install" run absent-before daza_probe.exe absent

# Install, the way the DAZA driver setup stand-in does it.
check "the device installs from the INF" run install daza_device_tool.exe -i ztmixolytevaio64_win10.inf
cat "$logs/install.log"
expect "the device carries the hardware id ZTMixolyteDAZA" \
  "REG_MULTI_SZ|ZTMixolyteDAZA" "$(reg_value "$device" HardwareId)"
expect "the device is driven by the service ZTMixolyteDAZAMME" \
  "REG_SZ|ZTMixolyteDAZAMME" "$(reg_value "$device" Service)"
expect "the service names the driver file as Windows does" \
  'REG_EXPAND_SZ|\SystemRoot\System32\drivers\ztmixolytevaio64_win10.sys' "$(reg_value "$services" ImagePath)"
expect "the media class entry matches the hardware id" \
  "REG_SZ|ztmixolytedaza" "$(reg_value "$media_entry" MatchingDeviceId)"
check "the driver file is in System32\\drivers" test -f "$drivers/ztmixolytevaio64_win10.sys"

# The pin check's view, from a 32-bit program.
check "the DAZA interface is present" run present daza_probe.exe present
cat "$logs/present.log"
check "the device answers the pin check's requests" run check daza_probe.exe check --expect-climb
grep -v '^pin ' "$logs/check.log"
run stats daza_probe64.exe stats || true
answered=$(stat_of stats pin_requests)
check "daza_probe64 stats printed its count of answers" test -n "$answered"
expect "the driver publishes its count of answers in the registry" \
  "$(printf 'REG_DWORD|0x%x' "${answered:-0}")" "$(reg_value "$services\\Parameters" PinRequests)"

# A new session: Wine starts the driver's service and the device again.
new_session
check "the interface is present again in a new session" run present-again daza_probe.exe present
run stats-again daza_probe64.exe stats || true
expect "the device was started once in the new session, its counts fresh (starts/answers)" \
  "1/0" "$(stat_of stats-again starts)/$(stat_of stats-again pin_requests)"
# The setup program's own polling, once a second, on the restarted device.
check "the pin check's polling sees all 16 pins come up" run pincheck daza_probe.exe pincheck
grep 'Pin(s) Ok' "$logs/pincheck.log" | tr -d '\r' | paste -sd ' ' -

# Removal, as "-h -u -H" of the driver setup stand-in does it.
check "the device and its service are removed" run remove daza_device_tool.exe -u
cat "$logs/remove.log"
check "no DAZA interface after the removal" run absent-after daza_probe.exe absent
check "the device node is gone" key_absent "$device"
check "the service is gone" key_absent "$services"
check "the media class entry is gone" key_absent "$media_entry"
check "the driver file is gone" test ! -e "$drivers/ztmixolytevaio64_win10.sys"
check "the published INF is gone" test ! -e "$prefix/drive_c/windows/inf/ztmixolytevaio64_win10.inf"

new_session
check "no DAZA interface in a new session after the removal" run absent-later daza_probe.exe absent
check "a second removal finds nothing and succeeds" run remove-again daza_device_tool.exe -u

wineserver -k 2>/dev/null || true
expect_summary daza_driver "logs in $logs"
