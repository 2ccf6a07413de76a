#!/usr/bin/env bash
# End-to-end scenarios of what users lose data over or could steer: a link
# planted where the elevated uninstall walks, an install killed halfway, a
# racing rename, the web page's handler, a Startup value pointing at a new
# folder, the setup program saved under a package file's name. The real
# MixolyteSetup.exe in fresh 64-bit Windows 10 prefixes.
#
# Sourced by the e2e runner, which calls `e2e_safety BUILD`; or run alone:
#   bash e2e/scenarios/safety.sh [BUILD] [SCENARIO...]
# Scenarios: link killed race webpage startup names

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

# The racing program (e2e/race_rename.cpp).
sf_build_racer() {
  SF_RACER=$IE_WIN32/race_rename.exe
  [ -f "$SF_RACER" ]
}

# A user's program racing the uninstall: as soon as the uninstall deletes
# in the product folder, it tries to open that folder for deletion and to
# rename it (as a swap for a link would). The folder is held: both are
# refused, and the uninstall removes what it removes without the racer.
sf_scenario_race() {
  echo "safety e2e: a program racing \"-h -u\" to rename the product folder"
  sf_build_racer || {
    fail "no $IE_WIN32/race_rename.exe (make win32)"
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

# The https handler that records who started it (e2e/parent_mark.cpp).
sf_build_marker() {
  SF_MARKER=$IE_WIN32/parent_mark.exe
  [ -f "$SF_MARKER" ]
}

# The Unix processes of the prefix's desktop shell (Explorer).
sf_explorers() {
  local p
  for p in $(pgrep -f 'explorer.exe' 2>/dev/null); do
    if tr '\0' '\n' 2>/dev/null < "/proc/$p/environ" | grep -qxF "WINEPREFIX=$IE_PREFIX"; then echo "$p"; fi
  done
}

# Esc to the setup window, focused first.
sf_escape_setup() {
  local xid
  xid=$(xdotool search --onlyvisible --name "Mixolyte Installation" 2>/dev/null | head -1)
  [ -n "$xid" ] && xdotool windowfocus --sync "$xid" 2>/dev/null
  xdotool key Escape
}

# sf_wait_marks COUNT SECONDS: until the handler's record has COUNT lines.
sf_wait_marks() {
  local i
  for ((i = 0; i < $2 * 4; i++)); do
    [ "$(tr -d '\r' 2>/dev/null < "$IE_C/web-marks.txt" | grep -c .)" -ge "$1" ] && return 0
    sleep 0.25
  done
  return 1
}

# The web page opens as the user or not at all. A handler of the test's own
# for https, in HKCU (where a user's program would put it) and in HKCR
# (Wine's HKCR view does not take HKCU's classes), records which process
# started it. A click into the picture: the desktop shell (Explorer) opens
# it. Explorer gone: nothing opens, and never the setup program itself.
sf_scenario_webpage() {
  echo "safety e2e: the web page, with the desktop shell and without it"
  sf_build_marker || {
    fail "no $IE_WIN32/parent_mark.exe (make win32)"
    return
  }
  ie_prefix safety-web win64 win10
  cp "$SF_MARKER" "$IE_C/Setup/parent_mark.exe"
  local key command='"C:\Setup\parent_mark.exe" "C:\web-marks.txt" "%1"'
  for key in 'HKCU\Software\Classes\https\shell\open\command' 'HKCR\https\shell\open\command'; do
    wine reg add "$key" /ve /d "$command" /f >/dev/null 2>&1
  done
  ie_setup_window "the setup window did not appear" || { ie_prefix_done; return; }
  ie_window_client
  sleep 1
  ie_click_client 450 150
  check "a click into the picture opens the page" sf_wait_marks 1 20
  local first
  first=$(tr -d '\r' 2>/dev/null < "$IE_C/web-marks.txt" | head -1)
  echo "  (handler started: $first)"
  expect "the page's address" "https://www.example.com" "$(cut -d'|' -f4 <<< "$first")"
  expect "started by the desktop shell" "explorer.exe" "$(cut -d'|' -f3 <<< "$first" | tr 'A-Z' 'a-z')"
  # Explorer ends (as a user's program may end it before a click).
  local explorers
  explorers=$(sf_explorers)
  check "the desktop shell runs" test -n "$explorers"
  # shellcheck disable=SC2086 # a list of process ids
  kill -9 $explorers 2>/dev/null
  sleep 2
  check "the desktop shell is gone" test -z "$(sf_explorers)"
  ie_click_client 450 150
  sf_wait_marks 2 8
  expect "without the desktop shell nothing opens" 1 "$(tr -d '\r' 2>/dev/null < "$IE_C/web-marks.txt" | grep -c .)"
  expect "the setup program never starts the handler" 0 \
    "$(tr -d '\r' 2>/dev/null < "$IE_C/web-marks.txt" | cut -d'|' -f3 | grep -ci 'mixolytesetup')"
  check "the setup program still runs" kill -0 "$IE_SETUP_PID"
  sf_escape_setup
  ie_wait_exit 20
  expect "exit code after Esc" 0 "$IE_RC"
  ie_prefix_done
}

# A user's Startup value pointing where no folder is: neither a start of
# the window nor a silent install makes it.
sf_scenario_startup() {
  echo "safety e2e: a Startup value pointing at a new folder, a start and \"-h -i\""
  ie_prefix safety-startup win64 win10
  wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders' /v Startup \
    /t REG_EXPAND_SZ /d 'C:\users\Public\Pointed\Startup' /f >/dev/null 2>&1
  local pointed=$IE_C/users/Public/Pointed
  if ie_setup_window "the setup window did not appear"; then
    sf_escape_setup
    ie_wait_exit 20
    expect "exit code after Esc" 0 "$IE_RC"
  fi
  check "no folder made by the start" test ! -e "$pointed"
  ie_setup -h -i
  expect "\"-h -i\" exit code" 1 "$IE_RC"
  check "no folder made by the install" test ! -e "$pointed"
  ie_prefix_done
}

# The setup program saved under a package file's name: "-h -i" refuses
# before any change (-104 arrives as 152). The product folder holds those
# two files from an earlier install whose entry is gone: they stay as they
# are, and nothing is added.
sf_scenario_names() {
  echo "safety e2e: the setup program named like a package file, \"-h -i\""
  ie_prefix safety-names win64 win10
  mkdir -p "$IE_PRODUCT"
  printf 'the console\r\n' > "$IE_PRODUCT/mixolyte.exe"
  printf 'the driver setup\r\n' > "$IE_PRODUCT/ZTMixolyteDAZA_Setup_x64.exe"
  local before name
  before=$(cd "$IE_PRODUCT" && find . -type f -print0 | sort -z | xargs -0 md5sum)
  for name in Mixolyte.exe ZTMixolyteDAZA_Setup_x64.exe; do
    cp "$IE_SETUP_EXE" "$IE_C/Setup/$name"
    IE_RC=0
    (cd "$IE_C/Setup" && timeout 300 wine "C:\\Setup\\$name" -h -i >/dev/null 2>&1) || IE_RC=$?
    expect "\"$name -h -i\" exit code (-104)" 152 "$IE_RC"
    expect "the product folder after $name: the same two files, unchanged" "$before" \
      "$(cd "$IE_PRODUCT" && find . -type f -print0 | sort -z | xargs -0 md5sum)"
    check "no uninstall entry after $name" test -z "$(ie_reg_value "$IE_UNINSTALL_KEY" UninstallString 32)"
  done
  ie_prefix_done
}

SF_ALL_SCENARIOS=(link killed race webpage startup names)

# e2e_safety BUILD [SCENARIO...]: runs the scenarios; nonzero when one failed.
e2e_safety() {
  trap ie_abort_cleanup EXIT
  ie_init "${1:-build}" || return 1
  ie_have_pieces || return 1
  ie_suite "safety e2e" "" sf_scenario_ "${SF_ALL_SCENARIOS[*]}" "${@:2}"
}

if [ "${BASH_SOURCE[0]}" == "$0" ]; then
  set -uo pipefail
  e2e_safety "$@"
fi
