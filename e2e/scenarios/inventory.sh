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
INV_ALL_SCENARIOS=(no_devices null_device setup_starts)
# The setup window's title as an xdotool pattern (a regular expression).
INV_SETUP_WINDOW='^Mixolyte Installation \(Version 2\.1\.2\.2\)$'

inv_init() {
  INV_BUILD=$(cd "$1" && pwd)
  INV_EXE_DIR=${INV_EXE_DIR:-$INV_BUILD/win32}
  INV_OUT=$INV_BUILD/e2e/inventory
  INV_FAILS=0
  export WINEDEBUG=-all
  mkdir -p "$INV_OUT"
}

inv_pass() { echo "  ok    $*"; }
inv_fail() {
  echo "  FAIL  $*"
  INV_FAILS=$((INV_FAILS + 1))
}
# inv_check DESCRIPTION COMMAND...: passes when the command succeeds.
inv_check() {
  local what=$1
  shift
  if "$@"; then inv_pass "$what"; else inv_fail "$what"; fi
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
  if inv_run_check no_devices; then inv_pass "lists agree with Core Audio and WinMM"; else inv_fail "inventory_check"; fi
  inv_check "capture list empty" [ "$(inv_records no_devices capture)" = 0 ]
  inv_check "render list empty" [ "$(inv_records no_devices render)" = 0 ]
  inv_done
}

inv_scenario_null_device() {
  echo "inventory: null_device"
  inv_prefix null_device null
  if inv_run_check null_device; then inv_pass "lists agree with Core Audio and WinMM"; else inv_fail "inventory_check"; fi
  local capture render
  capture=$(inv_records null_device capture)
  render=$(inv_records null_device render)
  # An endpoint and a wave device per direction.
  inv_check "capture list: ${capture:-?} records" [ "${capture:-0}" -ge 2 ]
  inv_check "render list: ${render:-?} records" [ "${render:-0}" -ge 2 ]
  inv_done
}

# Starts MixolyteSetup.exe and waits for its window; a crash would end the
# process or raise Wine's "Program Error" box instead.
inv_setup_run() {
  local audio=$1 pid shown=0
  inv_prefix "setup-$audio" "$audio"
  HOME=$INV_HOME wine "$INV_EXE_DIR/MixolyteSetup.exe" >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 60); do
    if xdotool search --name "$INV_SETUP_WINDOW" >/dev/null 2>&1; then
      shown=1
      break
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.5
  done
  sleep 1
  if [ $shown = 1 ]; then inv_pass "window shown ($audio)"; else inv_fail "no window ($audio)"; fi
  if kill -0 "$pid" 2>/dev/null; then inv_pass "still running ($audio)"; else inv_fail "ended early ($audio)"; fi
  if xdotool search --name 'Program Error' >/dev/null 2>&1; then inv_fail "fault box ($audio)"; else inv_pass "no fault box ($audio)"; fi
  import -window root "$INV_OUT/setup-$audio.png" 2>/dev/null || true
  inv_done
  wait "$pid" 2>/dev/null || true
}

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
  if ! inv_ensure_display; then
    inv_fail "no X display"
    return 0
  fi
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
  if [ "$INV_FAILS" -eq 0 ]; then
    echo "inventory e2e: all passed (reports in $INV_OUT)"
  else
    echo "inventory e2e: $INV_FAILS check(s) failed"
  fi
  [ "$INV_FAILS" -eq 0 ]
}

if [ "${BASH_SOURCE[0]}" == "$0" ]; then
  set -uo pipefail
  e2e_inventory "$@"
fi
