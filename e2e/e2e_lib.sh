# shellcheck shell=bash
# Helpers for end-to-end scenarios that start Windows programs in Wine and
# look at their windows (sourced; every name starts with e2e_).
#
#   e2e_lib_init BUILD              paths: E2E_BUILD, E2E_BIN (BUILD/win32),
#                                   E2E_SETUP, E2E_OUT (BUILD/e2e); a display
#   e2e_run SUITE FUNCTION PREFIX... runs the scenario function once per
#                                   prefix (win64 or win32, optionally with a
#                                   Windows version: win64/win7), each time in
#                                   a fresh copy of that architecture's base
#                                   prefix, and ends what it started
#   e2e_start NAME EXE [ARGS...]    starts a Windows program in the background
#   e2e_wait NAME [SECONDS]         its exit code as the shell sees it, or
#                                   "running" after SECONDS
#   e2e_running NAME                succeeds while it runs
#   e2e_probe ARGS...               the window probe (e2e/winprobe.cpp)
# In a scenario: E2E_PREFIX, E2E_ARCH, and E2E_TAG (scenario and prefix as
# one name for files). The assertions (expect, check, fail) and their count
# come from e2e/expect.sh; e2e_passed and e2e_failures count the scenarios
# for the suite's closing line.

E2E_LIB_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=expect.sh
. "$E2E_LIB_HERE/expect.sh"
# shellcheck source=screen.sh
. "$E2E_LIB_HERE/screen.sh"
declare -A E2E_PIDS=()
e2e_failures=0
e2e_passed=0

e2e_lib_init() {
  E2E_BUILD=$(cd "$1" && pwd)
  E2E_BIN=$E2E_BUILD/win32
  E2E_SETUP=$E2E_BIN/MixolyteSetup.exe
  E2E_OUT=$E2E_BUILD/e2e
  expect_reset
  e2e_failures=0
  e2e_passed=0
  export WINEDEBUG=-all
  mkdir -p "$E2E_OUT"
  if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    . "$E2E_LIB_HERE/xvfb.sh"
    start_xvfb || return 1
    trap stop_xvfb EXIT
  fi
}

e2e_start() {
  local name=$1
  shift
  local status=$E2E_OUT/$E2E_TAG-$name.exit
  rm -f "$status"
  (
    WINEPREFIX=$E2E_PREFIX wine "$@" >"$E2E_OUT/$E2E_TAG-$name.log" 2>&1
    echo $? >"$status.part"
    mv "$status.part" "$status"
  ) &
  E2E_PIDS[$name]=$!
}

e2e_running() { [ ! -f "$E2E_OUT/$E2E_TAG-$1.exit" ] && kill -0 "${E2E_PIDS[$1]}" 2>/dev/null; }

e2e_wait() {
  local status=$E2E_OUT/$E2E_TAG-$1.exit seconds=${2:-30} i
  for ((i = 0; i < seconds * 10; i++)); do
    if [ -f "$status" ]; then
      cat "$status"
      return 0
    fi
    sleep 0.1
  done
  echo running
}

e2e_probe() {
  WINEPREFIX=$E2E_PREFIX wine "$E2E_BIN/winprobe.exe" "$@" 2>/dev/null | tr -d '\r'
}

e2e_end_scenario() {
  local name
  for name in "${!E2E_PIDS[@]}"; do kill "${E2E_PIDS[$name]}" 2>/dev/null || true; done
  if [ -n "${E2E_PREFIX:-}" ]; then
    WINEPREFIX=$E2E_PREFIX wineserver -k 2>/dev/null || true
    for name in "${!E2E_PIDS[@]}"; do wait "${E2E_PIDS[$name]}" 2>/dev/null || true; done
    rm -rf "$E2E_PREFIX"
  fi
  E2E_PIDS=()
  E2E_PREFIX=
}

e2e_run() {
  local suite=$1 function=$2 where version started
  shift 2
  for where in "$@"; do
    E2E_ARCH=${where%%/*}
    if [ -n "${E2E_ARCHS:-}" ] && [[ " $E2E_ARCHS " != *" $E2E_ARCH "* ]]; then
      echo "  $function in $where: skipped (E2E_ARCHS=$E2E_ARCHS)"
      continue
    fi
    version=
    if [[ "$where" == */* ]]; then version=${where#*/}; fi
    E2E_TAG=$suite-$function-${where//\//-}
    echo "  $function in $where"
    started=$SECONDS
    expect_scenario_begin
    E2E_PREFIX=$(bash "$E2E_LIB_HERE/wine_prefix.sh" copy "$E2E_BUILD" "$E2E_ARCH" "e2e-$E2E_TAG" $version)
    "$function"
    e2e_end_scenario
    if expect_scenario_failed; then
      e2e_failures=$((e2e_failures + 1))
      echo "  $function in $where FAILED ($((SECONDS - started)) s)"
    else
      e2e_passed=$((e2e_passed + 1))
      echo "  $function in $where passed ($((SECONDS - started)) s)"
    fi
  done
}
