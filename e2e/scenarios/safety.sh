#!/usr/bin/env bash
# End-to-end scenarios of what users lose data over: a link planted where the
# elevated uninstall walks, and an install killed halfway. The real
# MixolyteSetup.exe in fresh 64-bit Windows 10 prefixes.
#
# Sourced by the e2e runner, which calls `e2e_safety BUILD`; or run alone:
#   bash e2e/scenarios/safety.sh [BUILD] [SCENARIO...]
# Scenarios: link killed race

SF_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# The install and uninstall checks (and through them install_lib.sh).
# shellcheck source=install.sh
source "$SF_HERE/install.sh"
# shellcheck source=uninstall.sh
source "$SF_HERE/uninstall.sh"

# A folder link in the per-user shortcut folder (which any user can write)
# pointing at a folder outside the product's places: the uninstall removes
# the link at most, never what it points at. Wine shows a Unix symbolic link
# inside the prefix as a folder carrying the reparse-point attribute.
sf_scenario_link() {
  echo "safety e2e: a link in the per-user shortcut folder, \"-h -u\""
  ie_prefix safety-link win64 win10
  ie_setup -h -i
  expect "\"-h -i\" exit code" 1 "$IE_RC"
  iu_user_folders
  local target=$IE_C/Precious
  mkdir -p "$target/inner" "$IU_USER_SHORTCUTS"
  printf 'keep me\r\n' > "$target/letter.txt"
  printf 'keep me too\r\n' > "$target/inner/notes.txt"
  ln -s "$target" "$IU_USER_SHORTCUTS/Linked"
  # What Windows programs see through the link: the target's file.
  local user=${IU_USER_PROGRAMS#"$IE_C/users/"}
  user=${user%%/*}
  expect "the link is seen through by Windows programs" "keep me" \
    "$(wine cmd /c type "C:\\users\\$user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\ZT Audio\\MixoLyte\\Linked\\letter.txt" 2>/dev/null | tr -d '\r')"
  ie_setup -h -u
  expect "\"-h -u\" exit code" 1 "$IE_RC"
  check "the link's target is still there" test -d "$target/inner"
  check "the file in the target is kept" test -f "$target/letter.txt"
  check "the file below it is kept" test -f "$target/inner/notes.txt"
  expect "the kept file's contents" "keep me" "$(tr -d '\r' < "$target/letter.txt" 2>/dev/null)"
  check "the product folder is removed" test ! -e "$IE_PRODUCT"
  ie_prefix_done
}

# The setup program killed (as Task Manager or a power cut would end it)
# while it unpacks the package into the product folder; the next "-h -i"
# finishes the install.
sf_scenario_killed() {
  echo "safety e2e: \"-h -i\" killed while unpacking, then \"-h -i\" again"
  ie_prefix safety-killed win64 win10
  local try count=0 killed=0
  for try in 1 2 3; do
    rm -rf "$IE_PRODUCT"
    ie_setup_background -h -i
    count=0
    local deadline=$((SECONDS + 120))
    while [ $SECONDS -lt $deadline ] && kill -0 "$IE_SETUP_PID" 2>/dev/null; do
      if [ -d "$IE_PRODUCT" ]; then
        count=$(find "$IE_PRODUCT" -type f | wc -l)
        if [ "$count" -ge 1 ]; then
          kill -9 "$IE_SETUP_PID" 2>/dev/null
          break
        fi
      fi
      sleep 0.05
    done
    wait "$IE_SETUP_PID" 2>/dev/null
    # The machine restarts: every process of the prefix is gone.
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    count=$(find "$IE_PRODUCT" -type f 2>/dev/null | wc -l)
    if [ "$count" -ge 1 ] && [ "$count" -lt 98 ]; then killed=1; break; fi
    echo "  (try $try: $count files in the product folder when the kill landed; again)"
    # A run that got further than the unpacking left more behind: start over.
    ie_prefix_done
    ie_prefix safety-killed win64 win10
  done
  check "killed while unpacking (some of the 98 files in place)" test "$killed" = 1 || {
    ie_prefix_done
    return
  }
  echo "  (killed with $count of the package's files in the product folder)"
  wineserver -p
  ie_setup -h -i
  expect "\"-h -i\" after the kill: exit code" 1 "$IE_RC"
  ie_check_product_files
  ie_check_uninstall_entry "ZT-Audio"
  ie_check_settings
  ie_check_shortcuts 1 1
  ie_prefix_done
}

# The racing program (e2e/race_rename.cpp), cross-built when missing or
# out of date.
sf_build_racer() {
  SF_RACER=$IE_BUILD/e2e/race_rename.exe
  mkdir -p "$IE_BUILD/e2e"
  if [ ! -f "$SF_RACER" ] || [ "$IE_HERE/race_rename.cpp" -nt "$SF_RACER" ]; then
    i686-w64-mingw32-g++-posix -std=c++20 -O2 -Wall -Wextra -Wshadow -Wformat=2 -Werror -static -s \
      -o "$SF_RACER" "$IE_HERE/race_rename.cpp" || return 1
  fi
}

# A user's program racing the uninstall: as soon as the uninstall deletes
# in the product folder, it tries to open that folder for deletion and to
# rename it (as a swap for a link would). The folder is held: both are
# refused, and the uninstall removes what it removes without the racer.
sf_scenario_race() {
  echo "safety e2e: a program racing \"-h -u\" to rename the product folder"
  sf_build_racer || {
    fail "race_rename.exe cannot be built"
    return
  }
  ie_prefix safety-race win64 win10
  ie_setup -h -i
  expect "\"-h -i\" exit code" 1 "$IE_RC"
  local out=$IE_BUILD/e2e/race.out
  rm -f "$out"
  (wine "$SF_RACER" 'C:\Program Files (x86)\ZT\Mixolyte' Mixolyte_Help.xml 120 2>/dev/null |
    tr -d '\r' > "$out") &
  local racer=$!
  sleep 2  # the racer sees the file before the uninstall starts
  ie_setup -h -u
  wait "$racer"
  expect "\"-h -u\" exit code" 1 "$IE_RC"
  echo "  (racer: $(cat "$out" 2>/dev/null))"
  check "the racer's open and rename were refused" grep -q '^refused ' "$out"
  check "the product folder is removed" test ! -e "$IE_PRODUCT"
  check "no folder left under the racer's name" test ! -e "$IE_PRODUCT.raced"
  ie_prefix_done
}

SF_ALL_SCENARIOS=(link killed race)

# e2e_safety BUILD [SCENARIO...]: runs the scenarios; nonzero when one failed.
e2e_safety() {
  local build=${1:-build}
  shift || true
  trap ie_abort_cleanup EXIT
  ie_init "$build" || return 1
  expect_reset
  if ! ie_have_pieces; then
    fail "$IE_SETUP_EXE or $IE_PAYLOAD is missing (make build)"
    return 1
  fi
  local scenarios=("$@")
  [ ${#scenarios[@]} -eq 0 ] && scenarios=("${SF_ALL_SCENARIOS[@]}")
  local s
  for s in "${scenarios[@]}"; do
    "sf_scenario_$s"
  done
  ie_stop_display
  expect_summary "safety e2e"
}

if [ "${BASH_SOURCE[0]}" == "$0" ]; then
  set -uo pipefail
  e2e_safety "$@"
fi
