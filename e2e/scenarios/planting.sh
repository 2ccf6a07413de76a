#!/usr/bin/env bash
# End-to-end scenario of DLL planting: DLLs that leave a mark when loaded
# (build/win32/plant_mark.dll) are saved under the names of system DLLs
# beside the setup program in C:\users\Public\Downloads and in its current
# folder C:\users\Public\Documents, and Wine is given Windows' search order
# for those names (WINEDLLOVERRIDES name=n,b: native first, found through
# the search path). The program then runs with its window, "-h -i" and
# "-h -u". No mark may come from it. The hardened reference program
# (build/win32/plant_reference.exe), run the same way, shows which planted
# DLLs Wine loads by itself; those marks are named, never hidden.
#
# The names: what the program loads itself or loaded by bare name before
# (winmm, shfolder; oleacc when a screen reader asks the window), what the system DLLs it uses load by name for its kinds
# of calls (version, uxtheme, dwmapi for windows; mmdevapi, propsys for
# the endpoint enumerator; cfgmgr32, newdev for SetupAPI and the INF step;
# msacm32 for WinMM). KnownDLLs are left out: Windows never searches for
# them, while Wine would take a planted one for the program's own static
# imports and so never start it.
#
# PLANT_SETUP_EXE runs another setup program instead of the one built
# (the program before this check: it must leave the WINMM mark).
#
# Sourced by the e2e runner, which calls `e2e_planting BUILD`; or run alone:
#   bash e2e/scenarios/planting.sh [BUILD] [SCENARIO...]
# Scenarios: planted
# core: planted

PL_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../install_lib.sh
source "$PL_HERE/../install_lib.sh"

PL_NAMES=(winmm shfolder oleacc version uxtheme dwmapi mmdevapi propsys cfgmgr32 newdev msacm32)
PL_ALL_SCENARIOS=(planted)

# pl_run CURRENT_FOLDER PROGRAM ARGS...: a Windows program started from the
# folder given (as a Unix path), with the overrides; PL_RC its exit code.
pl_run() {
  local folder=$1 program=$2
  shift 2
  PL_RC=0
  (cd "$folder" && WINEDLLOVERRIDES=$PL_OVERRIDES timeout 300 wine "$program" "$@" >/dev/null 2>&1) || PL_RC=$?
}

# pl_marks PROGRAM_NAME: the planted DLLs that program loaded, as
# "name (beside|current folder)" lines, sorted.
pl_marks() {
  local log=$IE_C/planted-marks.log
  [ -f "$log" ] || return 0
  tr -d '\r' < "$log" | awk -F '|' -v p="$1" '
    { n = split($1, a, "\\"); if (tolower(a[n]) != tolower(p)) next
      m = split($2, b, "\\"); where = (tolower($2) ~ /downloads/) ? "beside" : "current folder"
      print tolower(b[m]) " (" where ")" }' | sort -u
}

pl_scenario_planted() {
  local setup=${PLANT_SETUP_EXE:-$IE_SETUP_EXE}
  echo "planting e2e: planted DLLs beside $(basename "$setup") and in its current folder"
  ie_prefix planting win64 win10
  local downloads=$IE_C/users/Public/Downloads documents=$IE_C/users/Public/Documents name
  mkdir -p "$downloads" "$documents"
  cp "$setup" "$downloads/MixolyteSetup.exe"
  cp "$IE_WIN32/plant_reference.exe" "$downloads/plant_reference.exe"
  PL_OVERRIDES=
  for name in "${PL_NAMES[@]}"; do
    cp "$IE_WIN32/plant_mark.dll" "$downloads/$name.dll"
    cp "$IE_WIN32/plant_mark.dll" "$documents/$name.dll"
    PL_OVERRIDES+="${PL_OVERRIDES:+,}$name"
  done
  PL_OVERRIDES+="=n,b"

  # What Wine loads by itself, for a program hardened as the setup program.
  pl_run "$documents" 'C:\users\Public\Downloads\plant_reference.exe'
  expect "the reference program's exit code" 0 "$PL_RC"
  local wine_marks
  wine_marks=$(pl_marks plant_reference.exe)
  rm -f "$IE_C/planted-marks.log"

  # The setup program with its window, closed once it is drawn.
  (cd "$documents" && WINEDLLOVERRIDES=$PL_OVERRIDES exec wine 'C:\users\Public\Downloads\MixolyteSetup.exe' \
    >/dev/null 2>&1) &
  IE_SETUP_PID=$!
  if check "the window appears" ie_wait_window "$IE_SETUP_WINDOW" 60; then
    ie_wait_drawn 30 || true
    # A screen reader reads it: the program loads its accessibility library.
    expect "a reader finds the button" Install \
      "$(ie_acc tree | awk -F'|' '$1 == "1" { print $4 }')"
    # Closed as a user would: WM_CLOSE, as the close box sends it.
    ie_probe close ZTMixolyte0Installer0MainWindow0 >/dev/null || true
  fi
  ie_wait_exit 30
  if [ "$IE_RC" = 124 ]; then kill "$IE_SETUP_PID" 2>/dev/null || true; fi
  expect "the window run's exit code" 0 "$IE_RC"
  pl_run "$documents" 'C:\users\Public\Downloads\MixolyteSetup.exe' -h -i
  expect "\"-h -i\" exit code" 1 "$PL_RC"
  pl_run "$documents" 'C:\users\Public\Downloads\MixolyteSetup.exe' -h -u
  expect "\"-h -u\" exit code" 1 "$PL_RC"

  local setup_marks own
  setup_marks=$(pl_marks MixolyteSetup.exe)
  own=$(comm -23 <(printf '%s\n' "$setup_marks" | sed '/^$/d') <(printf '%s\n' "$wine_marks" | sed '/^$/d'))
  echo "  planted: ${PL_NAMES[*]} (beside the program and in its current folder)"
  echo "  marks Wine causes by itself (the reference program has them too):"
  printf '%s\n' "${wine_marks:-(none)}" | sed 's/^/    /'
  echo "  marks of the setup program beyond those:"
  printf '%s\n' "${own:-(none)}" | sed 's/^/    /'
  expect "planted DLLs the setup program loaded beyond Wine's own" "" "$own"
  ie_prefix_done
}

e2e_planting() {
  trap ie_abort_cleanup EXIT
  ie_init "${1:-build}" || return 1
  if ! ie_have_pieces || ! ie_need "$IE_WIN32/plant_mark.dll" "$IE_WIN32/plant_reference.exe" "$IE_PROBE"; then
    return 1
  fi
  ie_suite "planting e2e" "" pl_scenario_ "${PL_ALL_SCENARIOS[*]}" "${@:2}"
}

if [ "${BASH_SOURCE[0]}" == "$0" ]; then
  set -uo pipefail
  e2e_planting "$@"
fi
