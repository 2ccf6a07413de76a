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

INV_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
INV_E2E=$(dirname "$INV_HERE")
# shellcheck source=../expect.sh
. "$INV_E2E/expect.sh"
# shellcheck source=../screen.sh
. "$INV_E2E/screen.sh"
INV_ALL_SCENARIOS=(no_devices null_device setup_starts)
# The setup window's title as an xdotool pattern (a regular expression).
INV_SETUP_WINDOW='^Mixolyte Installation \(Version 2\.1\.2\.2\)$'

inv_init() {
  INV_BUILD=$(cd "$1" && pwd)
  INV_EXE_DIR=${INV_EXE_DIR:-$INV_BUILD/win32}
  INV_OUT=$INV_BUILD/e2e/inventory
  expect_reset
  export WINEDEBUG=-all
  mkdir -p "$INV_OUT"
}

# inv_prefix NAME AUDIO: a fresh prefix; AUDIO is "none" (no audio driver)
# or "null" (ALSA with its null device as the default device).
inv_prefix() {
  local name=$1 audio=$2
  INV_PREFIX=$(bash "$INV_E2E/wine_prefix.sh" copy "$INV_BUILD" win64 "inv-$name")
  export WINEPREFIX=$INV_PREFIX
  INV_HOME=$INV_OUT/home-$audio
  mkdir -p "$INV_HOME"
  if [ "$audio" = null ]; then
    printf 'pcm.!default {\n  type null\n}\n' >"$INV_HOME/.asoundrc"
    wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d alsa /f >/dev/null 2>&1
  else
    rm -f "$INV_HOME/.asoundrc"
    wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d '' /f >/dev/null 2>&1
  fi
  wineserver -w
}

inv_done() {
  wineserver -k 2>/dev/null || true
  rm -rf "$INV_PREFIX"
}

# Runs inventory_check.exe; its report goes to INV_OUT/NAME.txt.
inv_run_check() {
  local name=$1 status
  HOME=$INV_HOME timeout 120 wine "$INV_EXE_DIR/inventory_check.exe" >"$INV_OUT/$name.txt" 2>/dev/null
  status=$?
  tr -d '\r' <"$INV_OUT/$name.txt" >"$INV_OUT/$name.tmp" && mv "$INV_OUT/$name.tmp" "$INV_OUT/$name.txt"
  sed 's/^/        /' "$INV_OUT/$name.txt"
  return $status
}

# The number of records a direction's line reports.
inv_records() { sed -n "s/^$2: \([0-9]*\) records.*/\1/p" "$INV_OUT/$1.txt"; }

inv_scenario_no_devices() {
  echo "inventory: no_devices"
  inv_prefix no_devices none
  check "inventory_check: lists agree with Core Audio and WinMM" inv_run_check no_devices
  expect "capture list empty" 0 "$(inv_records no_devices capture)"
  expect "render list empty" 0 "$(inv_records no_devices render)"
  inv_done
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
  inv_done
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
  import -window root "$INV_OUT/setup-$audio.png" 2>/dev/null || true
  inv_done
  wait "$pid" 2>/dev/null || true
}

inv_no_fault_box() { ! xdotool search --name 'Program Error' >/dev/null 2>&1; }

inv_ensure_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n
  for n in 81 82 83 84 85 86 87 88 89; do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    INV_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
  done
  return 1
}

inv_scenario_setup_starts() {
  echo "inventory: setup_starts"
  if [ ! -f "$INV_EXE_DIR/MixolyteSetup.exe" ]; then
    echo "  SKIPPED: $INV_EXE_DIR/MixolyteSetup.exe is missing (make build)"
    return 0
  fi
  check "an X display" inv_ensure_display || return 0
  inv_setup_run none
  inv_setup_run null
  if [ -n "${INV_XVFB_PID:-}" ]; then
    kill "$INV_XVFB_PID" 2>/dev/null || true
    INV_XVFB_PID=
  fi
}

e2e_inventory() {
  local build=${1:-build}
  shift || true
  inv_init "$build" || return 1
  if [ ! -f "$INV_EXE_DIR/inventory_check.exe" ]; then
    echo "inventory e2e: $INV_EXE_DIR/inventory_check.exe is missing (make build)"
    return 1
  fi
  local scenarios=("$@") s
  [ ${#scenarios[@]} -eq 0 ] && scenarios=("${INV_ALL_SCENARIOS[@]}")
  for s in "${scenarios[@]}"; do
    "inv_scenario_$s"
  done
  expect_summary "inventory e2e" "reports in $INV_OUT"
}

if [ "${BASH_SOURCE[0]}" == "$0" ]; then
  set -uo pipefail
  e2e_inventory "$@"
fi
