#!/usr/bin/env bash
# End-to-end checks of the audio device inventory in Wine, each scenario in
# a fresh copy of the 64-bit base prefix (the 32-bit programs run under
# WOW64 there):
#   no_devices    Wine's audio drivers switched off: inventory_check.exe
#                 finds both lists empty, in agreement with Core Audio and
#                 WinMM.
#   null_device   ALSA's null device as Wine's default: one endpoint and
#                 one wave device per direction, each listed as Core Audio
#                 and WinMM report it.
#   setup_starts  MixolyteSetup.exe starts and shows its window, with no
#                 audio devices and with the null device, without a fault.
# inventory_check.exe also proves the registry name route through a real
# 64-bit registry view (see e2e/inventory_check.cpp).
#
# Sourced by the e2e runner, which calls `e2e_inventory BUILD`; or run alone:
#   bash e2e/scenarios/inventory.sh [BUILD] [SCENARIO...]
# The Windows programs are taken from BUILD/win32 (INV_EXE_DIR overrides).
# The prefixes, the display and the count: e2e/install_lib.sh.

# shellcheck source=../install_lib.sh
. "$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/install_lib.sh"
INV_ALL_SCENARIOS=(no_devices null_device setup_starts)
# The setup window's title as an xdotool pattern (a regular expression).
INV_SETUP_WINDOW='^Mixolyte Installation \(Version 2\.1\.2\.2\)$'

# inv_prefix NAME AUDIO: a fresh 64-bit prefix; AUDIO is "none" (no audio
# driver) or "null" (ALSA with its null device as the default device).
inv_prefix() {
  local name=$1 audio=$2
  ie_prefix "inv-$name" win64 || return 1
  INV_HOME=$IE_OUT/home-$audio
  mkdir -p "$INV_HOME"
  if [ "$audio" = null ]; then
    printf 'pcm.!default {\n  type null\n}\n' >"$INV_HOME/.asoundrc"
    wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d alsa /f >/dev/null 2>&1
  else
    rm -f "$INV_HOME/.asoundrc"
    wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d '' /f >/dev/null 2>&1
  fi
}

# Runs inventory_check.exe; its report goes to IE_OUT/NAME.txt.
inv_run_check() {
  local name=$1 status
  HOME=$INV_HOME timeout 120 wine "$INV_EXE_DIR/inventory_check.exe" >"$IE_OUT/$name.txt" 2>/dev/null
  status=$?
  tr -d '\r' <"$IE_OUT/$name.txt" >"$IE_OUT/$name.tmp" && mv "$IE_OUT/$name.tmp" "$IE_OUT/$name.txt"
  sed 's/^/        /' "$IE_OUT/$name.txt"
  return $status
}

# The number of records a direction's line reports.
inv_records() { sed -n "s/^$2: \([0-9]*\) records.*/\1/p" "$IE_OUT/$1.txt"; }

inv_scenario_no_devices() {
  echo "inventory: no_devices"
  inv_prefix no_devices none
  check "inventory_check: lists agree with Core Audio and WinMM" inv_run_check no_devices
  expect "capture list empty" 0 "$(inv_records no_devices capture)"
  expect "render list empty" 0 "$(inv_records no_devices render)"
  ie_prefix_done
}

inv_scenario_null_device() {
  echo "inventory: null_device"
  inv_prefix null_device null
  check "inventory_check: lists agree with Core Audio and WinMM" inv_run_check null_device
  local capture render
  capture=$(inv_records null_device capture)
  render=$(inv_records null_device render)
  # An endpoint and a wave device per direction.
  check "capture list: ${capture:-?} records" [ "${capture:-0}" -ge 2 ]
  check "render list: ${render:-?} records" [ "${render:-0}" -ge 2 ]
  ie_prefix_done
}

# Starts MixolyteSetup.exe and waits for its window; a crash would end the
# process or raise Wine's "Program Error" box instead.
inv_setup_run() {
  local audio=$1 pid shown=0 xid geometry
  inv_prefix "setup-$audio" "$audio"
  HOME=$INV_HOME wine "$INV_EXE_DIR/MixolyteSetup.exe" >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 60); do
    xid=$(xdotool search --name "$INV_SETUP_WINDOW" 2>/dev/null | head -1)
    if [ -n "$xid" ]; then
      shown=1
      break
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.5
  done
  check "window shown ($audio)" [ $shown = 1 ]
  if [ $shown = 1 ]; then
    # Painted, so that a fault while drawing shows below.
    geometry=$(xdotool getwindowgeometry --shell "$xid" 2>/dev/null |
               awk -F= '{ v[$1] = $2 } END { print v["WIDTH"] "x" v["HEIGHT"] "+" v["X"] "+" v["Y"] }')
    check "window drawn ($audio)" screen_settled "$geometry" 60
  fi
  check "still running ($audio)" kill -0 "$pid"
  check "no fault box ($audio)" inv_no_fault_box
  import -window root "$IE_OUT/setup-$audio.png" 2>/dev/null || true
  ie_prefix_done
  wait "$pid" 2>/dev/null || true
}

inv_no_fault_box() { ! xdotool search --name 'Program Error' >/dev/null 2>&1; }

inv_scenario_setup_starts() {
  echo "inventory: setup_starts"
  if [ ! -f "$INV_EXE_DIR/MixolyteSetup.exe" ]; then
    skip setup_starts "no $INV_EXE_DIR/MixolyteSetup.exe (a build without the package: make build)"
    return 0
  fi
  check "an X display" ie_ensure_display || return 0
  inv_setup_run none
  inv_setup_run null
}

e2e_inventory() {
  trap ie_abort_cleanup EXIT
  ie_init "${1:-build}" e2e/inventory || return 1
  shift || true
  INV_EXE_DIR=${INV_EXE_DIR:-$IE_WIN32}
  ie_need "$INV_EXE_DIR/inventory_check.exe" || return 1
  ie_suite "inventory e2e" "reports in $IE_OUT" inv_scenario_ "${INV_ALL_SCENARIOS[*]}" "$@"
}

if [ "${BASH_SOURCE[0]}" == "$0" ]; then
  set -uo pipefail
  e2e_inventory "$@"
fi
