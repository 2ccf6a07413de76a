#!/usr/bin/env bash
# The DAZA stand-in driver in Wine: in a fresh 64-bit prefix (Windows 10),
# install the root-enumerated DAZA device from its INF the way Windows does,
# check that its interface is present and answers the pin check's requests
# (from a 32-bit program, as the setup program is), that Wine brings the
# device up again in a new session, and that removal leaves nothing behind.
# The driver and its test programs are those of the stand-ins' builds
# (`make standins`: BUILD/standins64, BUILD/standins32).
#
# Sourced by the e2e runner, which calls `e2e_daza_driver BUILD`; or run
# alone: bash e2e/scenarios/daza_driver.sh [BUILD]
# The checks go on after a failed one; what they need to start at all (the
# programs, the prefix) ends the suite when it is missing.

# shellcheck source=../install_lib.sh
. "$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/install_lib.sh"

# One Wine session for each part: the server stays up between the programs.
dd_new_session() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  wineserver -p
}
dd_run() {  # dd_run LOGNAME program args...: output into the log, exit code kept
  local name=$1
  shift
  (cd "$DD_DIR" && timeout 90 wine "$@" >"$IE_OUT/$name.log" 2>&1)
}
dd_reg_value() {  # dd_reg_value KEY VALUE: "TYPE|DATA" of a value, "" when absent
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v v="$2" '$1 == v { print $2 "|" $NF }'
}
dd_stat_of() {  # dd_stat_of LOGNAME NAME: a number that "daza_probe64 stats" printed
  tr -d '\r' <"$IE_OUT/$1.log" | awk -v k="$2" '$1 == k { print $2 }'
}
dd_key_absent() { ! wine reg query "$1" >/dev/null 2>&1; }

dd_scenario_driver() {
  local b64=$IE_BUILD/standins64 b32=$IE_BUILD/standins32
  ie_prefix daza_driver win64 win10 || return
  DD_DIR=$IE_C/daza_test
  mkdir -p "$DD_DIR"
  cp "$b64/ztmixolytevaio64_win10.sys" "$b64/ztmixolytevaio64_win10.inf" "$b64/daza_device_tool.exe" \
     "$b64/daza_probe64.exe" "$b32/daza_probe.exe" "$DD_DIR/" || { fail "cannot copy the programs into the prefix"; return; }
  local prefix=$IE_PREFIX
  local services='HKLM\System\CurrentControlSet\Services\ZTMixolyteDAZAMME'
  local device='HKLM\System\CurrentControlSet\Enum\ROOT\MEDIA\0000'
  local media_entry='HKLM\System\CurrentControlSet\Control\Class\{4d36e96c-e325-11ce-bfc1-08002be10318}\0000'
  local drivers=$prefix/drive_c/windows/system32/drivers

  dd_new_session
  check "no DAZA interface before the install" dd_run absent-before daza_probe.exe absent

  # Install, the way the DAZA driver setup stand-in does it.
  check "the device installs from the INF" dd_run install daza_device_tool.exe -i ztmixolytevaio64_win10.inf
  cat "$IE_OUT/install.log"
  expect "the device carries the hardware id ZTMixolyteDAZA" \
    "REG_MULTI_SZ|ZTMixolyteDAZA" "$(dd_reg_value "$device" HardwareId)"
  expect "the device is driven by the service ZTMixolyteDAZAMME" \
    "REG_SZ|ZTMixolyteDAZAMME" "$(dd_reg_value "$device" Service)"
  expect "the service names the driver file as Windows does" \
    'REG_EXPAND_SZ|\SystemRoot\System32\drivers\ztmixolytevaio64_win10.sys' "$(dd_reg_value "$services" ImagePath)"
  expect "the media class entry matches the hardware id" \
    "REG_SZ|ztmixolytedaza" "$(dd_reg_value "$media_entry" MatchingDeviceId)"
  check "the driver file is in System32\\drivers" test -f "$drivers/ztmixolytevaio64_win10.sys"

  # The pin check's view, from a 32-bit program.
  check "the DAZA interface is present" dd_run present daza_probe.exe present
  cat "$IE_OUT/present.log"
  check "the device answers the pin check's requests" dd_run check daza_probe.exe check --expect-climb
  grep -v '^pin ' "$IE_OUT/check.log"
  dd_run stats daza_probe64.exe stats || true
  local answered
  answered=$(dd_stat_of stats pin_requests)
  check "daza_probe64 stats printed its count of answers" test -n "$answered"
  expect "the driver publishes its count of answers in the registry" \
    "$(printf 'REG_DWORD|0x%x' "${answered:-0}")" "$(dd_reg_value "$services\\Parameters" PinRequests)"

  # A new session: Wine starts the driver's service and the device again.
  dd_new_session
  check "the interface is present again in a new session" dd_run present-again daza_probe.exe present
  dd_run stats-again daza_probe64.exe stats || true
  expect "the device was started once in the new session, its counts fresh (starts/answers)" \
    "1/0" "$(dd_stat_of stats-again starts)/$(dd_stat_of stats-again pin_requests)"
  # The setup program's own polling, once a second, on the restarted device.
  check "the pin check's polling sees all 16 pins come up" dd_run pincheck daza_probe.exe pincheck
  grep 'Pin(s) Ok' "$IE_OUT/pincheck.log" | tr -d '\r' | paste -sd ' ' -

  # Removal, as "-h -u -H" of the driver setup stand-in does it.
  check "the device and its service are removed" dd_run remove daza_device_tool.exe -u
  cat "$IE_OUT/remove.log"
  check "no DAZA interface after the removal" dd_run absent-after daza_probe.exe absent
  check "the device node is gone" dd_key_absent "$device"
  check "the service is gone" dd_key_absent "$services"
  check "the media class entry is gone" dd_key_absent "$media_entry"
  check "the driver file is gone" test ! -e "$drivers/ztmixolytevaio64_win10.sys"
  check "the published INF is gone" test ! -e "$prefix/drive_c/windows/inf/ztmixolytevaio64_win10.inf"

  dd_new_session
  check "no DAZA interface in a new session after the removal" dd_run absent-later daza_probe.exe absent
  check "a second removal finds nothing and succeeds" dd_run remove-again daza_device_tool.exe -u

  ie_prefix_done
}

# e2e_daza_driver BUILD: nonzero when a check failed.
e2e_daza_driver() {
  trap ie_abort_cleanup EXIT
  ie_init "${1:-build}" e2e/daza_driver || return 1
  local b64=$IE_BUILD/standins64 b32=$IE_BUILD/standins32
  ie_need "$b64/ztmixolytevaio64_win10.sys" "$b64/ztmixolytevaio64_win10.inf" "$b64/daza_device_tool.exe" \
    "$b64/daza_probe64.exe" "$b32/daza_probe.exe" || return 1
  ie_suite daza_driver "logs in $IE_OUT" dd_scenario_ driver
}

if [ "${BASH_SOURCE[0]}" == "$0" ]; then
  set -uo pipefail
  e2e_daza_driver "$@"
fi
