#!/usr/bin/env bash
# End-to-end scenarios of the uninstall: the real MixolyteSetup.exe installs
# the stand-in payload, then removes it again, each scenario in a fresh copy
# of a base Wine prefix. Results are read as a user's tools would: exit
# codes, files under drive_c, `wine reg query` in both registry views, the
# stand-ins' run log, window_list.exe and xdotool for boxes and clicks,
# screenshots kept under build/e2e/install/.
#
# Of the virtual drivers only the DAZA stand-in has a driver Wine loads: after
# an install on 64-bit Windows 10 its device interface is present, so the
# uninstall runs its setup program with "-h -u -H". The cable and aux
# stand-ins leave no device interface in Wine, so their setup programs never
# run on uninstall here; that part is proven on the simulated machine.
#
# The two silent scenarios then do it all again for a user whose folder
# name lies outside ASCII, with Wine started in another locale and so
# another ANSI code page (the locales come from `make deps`).
#
# Sourced by the e2e runner, which calls `e2e_uninstall BUILD`; or run alone:
#   bash e2e/scenarios/uninstall.sh [BUILD] [SCENARIO...]
# Scenarios: hidden_win10 hidden_win32 in_use interactive restart reinstall_before_restart
# core: hidden_win10

IU_SCENARIOS_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../install_lib.sh
source "$IU_SCENARIOS_HERE/../install_lib.sh"

IU_ASIO_DRIVERS=("Mixolyte Virtual ASIO" "Mixolyte AUX Virtual ASIO" "Mixolyte Insert Virtual ASIO")

# The user's own Start-menu folders in the prefix (what the "Programs" and
# "StartUp" Shell Folders values name): Wine's own user's, or those of a user
# folder C:\users\NAME, as Windows and the shell give them (IU_*_WIN).
iu_user_folders() {  # iu_user_folders [NAME]
  local user=${1:-}
  [ -n "$user" ] || user=$(wine cmd /c 'echo %USERNAME%' 2>/dev/null | tr -d '\r')
  IU_USER_PROGRAMS=$IE_C/users/$user/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs
  IU_USER_SHORTCUTS=$IU_USER_PROGRAMS/ZT\ Audio/MixoLyte
  IU_STARTUP=$IU_USER_PROGRAMS/StartUp
  IU_USER_PROGRAMS_WIN="C:\\users\\$user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"
  IU_STARTUP_WIN="$IU_USER_PROGRAMS_WIN\\StartUp"
}

# What a user may have added: the product's shortcuts in the per-user
# Start menu too, the console in the Startup folder, and a shortcut of
# another program beside it.
iu_put_user_shortcuts() {  # iu_put_user_shortcuts [NAME]
  iu_user_folders "$@"
  mkdir -p "$IU_USER_SHORTCUTS" "$IU_STARTUP"
  cp "$IE_SHORTCUTS"/*.LNK "$IU_USER_SHORTCUTS/"
  cp "$IE_SHORTCUTS/Mixolyte.LNK" "$IU_STARTUP/Mixolyte (ZT-Audio).LNK"
  cp "$IE_SHORTCUTS/Readme.LNK" "$IU_STARTUP/Other Program.LNK"
  check "per-user shortcuts present" test -f "$IU_USER_SHORTCUTS/Mixolyte.LNK"
}

# Makes C:\users\NAME's Start menu and Startup folder the current user's,
# in "User Shell Folders" (where the shell reads them) and "Shell Folders"
# (where the program reads "Programs").
iu_set_user_folders() {  # iu_set_user_folders NAME
  iu_user_folders "$1"
  mkdir -p "$IU_STARTUP"
  local key=HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer
  wine reg add "$key\\User Shell Folders" /v Programs /t REG_EXPAND_SZ /d "$IU_USER_PROGRAMS_WIN" /f >/dev/null 2>&1
  wine reg add "$key\\User Shell Folders" /v Startup /t REG_EXPAND_SZ /d "$IU_STARTUP_WIN" /f >/dev/null 2>&1
  wine reg add "$key\\Shell Folders" /v Programs /d "$IU_USER_PROGRAMS_WIN" /f >/dev/null 2>&1
  wine reg add "$key\\Shell Folders" /v Startup /d "$IU_STARTUP_WIN" /f >/dev/null 2>&1
}

# Absent in both views (one view on 32-bit Windows).
iu_key_absent() {  # iu_key_absent DESCRIPTION KEY
  local view
  for view in 32 64; do
    [ "$IE_ARCH" = win32 ] && [ "$view" = 64 ] && continue
    check "$1 absent /reg:$view" bash -c '! ie_key_exists "$1" "$2"' _ "$2" "$view"
  done
}

# The product as an uninstall leaves it: no folder, no shortcuts, no entry,
# no ASIO registration; the settings key with its three values at 0; the
# DAZA setup program run to uninstall as often as given (0 or 1), no other.
iu_check_removed() {  # iu_check_removed [DAZA_UNINSTALL_RUNS]
  local daza_runs=${1:-0}
  check "no product folder" test ! -e "$IE_PRODUCT"
  check "no all-users shortcut folder" test ! -e "$IE_SHORTCUTS"
  check "no per-user shortcut folder" test ! -e "$IU_USER_SHORTCUTS"
  check "no per-user \"ZT Audio\"" test ! -e "$(dirname "$IU_USER_SHORTCUTS")"
  check "no Startup shortcut" test ! -e "$IU_STARTUP/Mixolyte (ZT-Audio).LNK"
  check "another program's Startup shortcut stays" test -f "$IU_STARTUP/Other Program.LNK"
  iu_key_absent "uninstall entry" "$IE_UNINSTALL_KEY"
  local name
  for name in "${IU_ASIO_DRIVERS[@]}"; do iu_key_absent "ASIO driver \"$name\"" "$IE_ASIO_KEY\\$name"; done
  for name in SysTray SysTrayShowOnRun EngineMode; do
    expect "setting $name" "REG_DWORD|0x0" "$(ie_reg_value "$IE_SETTINGS_KEY" "$name" 32)"
  done
  expect "driver setup programs run to uninstall" "$daza_runs" "$(iu_driver_runs '|-h -u -H|')"
  expect "DAZA setup program run to uninstall" "$daza_runs" "$(ie_runs_of ZTMixolyteDAZA_Setup_x64.exe | grep -c -F -- '|-h -u -H|' || true)"
}

# How many runs of the driver setup stand-ins the run log holds with that
# command line.
iu_driver_runs() {  # iu_driver_runs '|SWITCHES|'
  [ -f "$IE_RUN_LOG" ] || { echo 0; return; }
  tr -d '\r' < "$IE_RUN_LOG" | grep -F -- "$1" | grep -c -E '^(ZTMixolyteDAZA|ZTCABLE|ZTMLAUX)_Setup' || true
}

# What the uninstall is to remove is there after the install, so that its
# absence afterwards means something.
iu_check_installed() {
  check "product folder present" test -f "$IE_PRODUCT/ztml_asiodriver.dll"
  check "all-users shortcuts present" test -f "$IE_SHORTCUTS/Readme.LNK"
  check "uninstall entry present" ie_key_exists "$IE_UNINSTALL_KEY" 32
  check "ASIO driver registered /reg:32" ie_key_exists "$IE_ASIO_KEY\\${IU_ASIO_DRIVERS[0]}" 32
  if [ "$IE_ARCH" = win64 ]; then
    check "ASIO driver registered /reg:64" ie_key_exists "$IE_ASIO_KEY\\${IU_ASIO_DRIVERS[0]}" 64
  fi
  check "driver setup programs ran to install" test "$(iu_driver_runs '|-h -i -H -n|')" -ge 1
  local name
  for name in SysTray SysTrayShowOnRun EngineMode; do
    wine reg add "$IE_SETTINGS_KEY" /v "$name" /t REG_DWORD /d 1 /f >/dev/null 2>&1
  done
  expect "setting SysTray set by the user" "REG_DWORD|0x1" "$(ie_reg_value "$IE_SETTINGS_KEY" SysTray 32)"
}

# ---------------------------------------------------------------------------
# Scenarios

# A user folder C:\users\NAME whose name lies outside ASCII, with Wine
# started in LOCALE and so in the ANSI code page CODE_PAGE, where the "A"
# calls give the folder as C:\users\ANSI_NAME. The product installed again
# for that user, the user's copies of its shortcuts and the Startup one
# there: "-h -u" removes them as for any user. In the scenario's prefix,
# after its own uninstall (the stand-ins' run log starts anew).
iu_user_outside_ascii() {  # iu_user_outside_ascii LOCALE CODE_PAGE NAME ANSI_NAME DAZA_UNINSTALL_RUNS
  local locale=$1 code_page=$2 name=$3 ansi_name=$4 daza_runs=$5 saved=${LC_ALL-unset} folders
  echo "  a user folder C:\\users\\$name, Wine in $locale"
  check "the locale $locale is generated (make deps)" \
    grep -qix "${locale/%UTF-8/utf8}" <<< "$(locale -a 2>/dev/null)" || return
  export LC_ALL=$locale
  iu_set_user_folders "$name"
  folders=$(ie_win_ops userfolders)
  expect "ANSI code page in $locale" "acp $code_page" "$(grep '^acp ' <<< "$folders")"
  expect "the Programs folder read in UTF-16" "programs $IU_USER_PROGRAMS_WIN" "$(grep '^programs ' <<< "$folders")"
  expect "the Startup folder read in UTF-16" "startup $IU_STARTUP_WIN" "$(grep '^startup ' <<< "$folders")"
  expect "the Programs folder as the \"A\" call gives it" \
    "programs-ansi ${IU_USER_PROGRAMS_WIN/"\\$name\\"/"\\$ansi_name\\"}" "$(grep '^programs-ansi ' <<< "$folders")"
  rm -f "$IE_RUN_LOG"
  ie_setup -h -i
  expect "\"-h -i\" exit code" 1 "$IE_RC"
  iu_check_installed
  iu_put_user_shortcuts "$name"
  expect "the user's $(find "$IU_USER_SHORTCUTS" -name '*.LNK' | wc -l) shortcuts are the all-users ones" \
    "$(cd "$IE_SHORTCUTS" && ls)" "$(cd "$IU_USER_SHORTCUTS" && ls)"
  ie_setup -h -u
  expect "\"-h -u\" exit code" 1 "$IE_RC"
  iu_check_removed "$daza_runs"
  if [ "$saved" = unset ]; then unset LC_ALL; else LC_ALL=$saved; fi
}

# "-h -u" after an install: exit 1, the product gone; a second "-h -u" finds
# nothing to remove and ends with -4. Then the same for a user folder whose
# name lies outside ASCII (iu_user_outside_ascii's arguments but the last).
iu_hidden() {  # iu_hidden NAME ARCH VERSION LOCALE CODE_PAGE USER ANSI_USER
  local name=$1 arch=$2 version=$3 daza_runs=0
  echo "uninstall e2e: \"-h -u\" after an install, $arch prefix, $version"
  ie_prefix "$name" "$arch" "$version"
  ie_setup -h -i
  expect "\"-h -i\" exit code" 1 "$IE_RC"
  iu_check_installed
  iu_put_user_shortcuts
  if [ "$version" = win7 ]; then
    check "UART INF installed" test -f "$IE_C/windows/inf/ztusbgpi_uart.inf"
  fi
  ie_setup -h -u
  expect "\"-h -u\" exit code" 1 "$IE_RC"
  # The DAZA device is present after an install on 64-bit Windows 10 only.
  if [ "$arch" = win64 ] && [ "$version" = win10 ]; then daza_runs=1; fi
  iu_check_removed "$daza_runs"
  if [ "$arch" = win64 ]; then
    expect "64-bit ASIO drivers unregistered by ztregsvr64.exe" \
      "$(printf ' -u  -f%s\\%s\n' "$IE_PRODUCT_WIN" ztml_asiodriver64.dll "$IE_PRODUCT_WIN" ztmlaux_asiodriver64.dll \
         "$IE_PRODUCT_WIN" ztmlins_asiodriver64.dll)" \
      "$(ie_runs_of ztregsvr64.exe | cut -d'|' -f2 | grep -- '-u' || true)"
  else
    expect "ztregsvr64.exe never ran" 0 "$(ie_run_count ztregsvr64.exe)"
  fi
  check "no UART INF" test ! -e "$IE_C/windows/inf/ztusbgpi_uart.inf"
  ie_setup -h -u
  expect "second \"-h -u\" exit code (-4)" 252 "$IE_RC"
  iu_user_outside_ascii "$4" "$5" "$6" "$7" "$daza_runs"
  ie_prefix_done
}
# Code page 1252 and a Cyrillic user folder, as a local account on a
# Western Windows has it; code page 932 and a Japanese one, whose
# characters' second bytes are '|' and '\' (0x7C, 0x5C).
iu_scenario_hidden_win10() { iu_hidden uninstall-win10 win64 win10 en_US.UTF-8 1252 Иван '????'; }
iu_scenario_hidden_win32() { iu_hidden uninstall-win32 win32 win7 ja_JP.UTF-8 932 ポ表ソ能 ポ表ソ能; }

# A program holding "ztml_asiodriver.dll" loaded: the uninstall moves it to
# "ztml_asiodriver.del", which keeps the product folder; once the program
# has ended, the next install purges it and succeeds.
iu_scenario_in_use() {
  echo "uninstall e2e: a package DLL in use, 64-bit prefix, Windows 7"
  ie_prefix uninstall-in-use win64 win7
  ie_setup -h -i
  expect "\"-h -i\" exit code" 1 "$IE_RC"
  iu_user_folders
  # A tool of the product, run from the product folder, loads the DLL. Its
  # own window class keeps it out of the setup program's closing pass.
  (cd "$IE_PRODUCT" && exec wine "$IE_PRODUCT_WIN\\ZTDeviceCheck.exe" --class MixoDllHolder0 \
     --title "Mixolyte DLL holder" --hold ztml_asiodriver.dll >/dev/null 2>&1) &
  local holder=$!
  if ! ie_wait_window "Mixolyte DLL holder" 30; then
    fail "the holding program did not start"
    kill "$holder" 2>/dev/null
    ie_prefix_done
    return
  fi
  ie_setup -h -u
  expect "\"-h -u\" exit code" 1 "$IE_RC"
  check "the DLL moved to ztml_asiodriver.del" cmp -s "$IE_PAYLOAD/ztml_asiodriver.dll" "$IE_PRODUCT/ztml_asiodriver.del"
  check "no ztml_asiodriver.dll" test ! -e "$IE_PRODUCT/ztml_asiodriver.dll"
  check "the product folder stays" test -d "$IE_PRODUCT"
  check "no other package DLL left" test ! -e "$IE_PRODUCT/ztmlaux_asiodriver.dll"
  check "no all-users shortcut folder" test ! -e "$IE_SHORTCUTS"
  iu_key_absent "uninstall entry" "$IE_UNINSTALL_KEY"
  echo "  (left in the product folder: $(cd "$IE_PRODUCT" && find . -type f | sed 's|^\./||' | sort | tr '\n' ' '))"

  kill "$holder" 2>/dev/null
  wait "$holder" 2>/dev/null
  local i
  for i in $(seq 10); do ie_wait_window "Mixolyte DLL holder" 1 || break; done
  check "the holding program has ended" bash -c '! kill -0 "$1" 2>/dev/null' _ "$holder"
  ie_setup -h -i
  expect "install after the program ended: exit code" 1 "$IE_RC"
  check "ztml_asiodriver.del purged" test ! -e "$IE_PRODUCT/ztml_asiodriver.del"
  check "no .del file left" test -z "$(find "$IE_PRODUCT" -iname '*.del')"
  check "ztml_asiodriver.dll installed again" cmp -s "$IE_PAYLOAD/ztml_asiodriver.dll" "$IE_PRODUCT/ztml_asiodriver.dll"
  ie_prefix_done
}

# The pixels of the setup window's button as one digest (the button is 300 x
# 60 at the right of the band under the picture, 20 pixels from its edges).
iu_button_digest() {  # iu_button_digest SCREENSHOT
  ie_window_client
  convert "$1" -crop "280x40+$((IE_CX + IE_CW - 310))+$((IE_CY + IE_CH - 70))" +repage rgb:- | md5sum | cut -d' ' -f1
}

# The window before and after an install: the offer changes from Install to
# Remove; a click removes the product and shows the restart box; after its
# OK the program ends with 0.
iu_scenario_interactive() {
  echo "uninstall e2e: interactive uninstall, 64-bit prefix, Windows 7"
  ie_prefix uninstall-interactive win64 win7
  iu_user_folders
  ie_setup_window "setup window did not appear" Install || { ie_prefix_done; return; }
  ie_screenshot uninstall-0-install-offer
  local install_offer
  install_offer=$(iu_button_digest "$IE_OUT/uninstall-0-install-offer.png")
  # Esc closes the window: the program ends with 0.
  local xid
  xid=$(xdotool search --onlyvisible --name "Mixolyte Installation" | head -1)
  [ -n "$xid" ] && xdotool windowfocus --sync "$xid" key Escape 2>/dev/null
  ie_wait_exit 20
  expect "exit code after Esc" 0 "$IE_RC"
  if [ "$IE_RC" != 0 ]; then
    kill "$IE_SETUP_PID" 2>/dev/null
    ie_prefix_done
    return
  fi

  ie_setup -h -i
  expect "\"-h -i\" exit code" 1 "$IE_RC"
  ie_setup_window "setup window did not appear after the install" Remove || { ie_prefix_done; return; }
  ie_screenshot uninstall-1-remove-offer
  local remove_offer
  remove_offer=$(iu_button_digest "$IE_OUT/uninstall-1-remove-offer.png")
  check "the button's offer changed after the install (Install -> Remove)" \
    test -n "$remove_offer" -a "$remove_offer" != "$install_offer"
  ie_window_client
  ie_click_client $((IE_CW - 170)) $((IE_CH - 50))
  if check "restart box shown" ie_wait_window "REBOOT YOUR SYSTEM" 90; then
    ie_screenshot uninstall-2-restart-box
    check "restart box text" grep -qxF 'Restart System to finish the uninstallation!' <<< "$IE_WINDOW_TEXTS"
    check "the product is gone while the box is up" test ! -e "$IE_PRODUCT"
    ie_press_ok "REBOOT YOUR SYSTEM" || fail "could not press OK"
  fi
  ie_wait_exit 30
  expect "exit code after OK" 0 "$IE_RC"
  iu_key_absent "uninstall entry" "$IE_UNINSTALL_KEY"
  check "no all-users shortcut folder" test ! -e "$IE_SHORTCUTS"
  ie_prefix_done
}

# What Windows' Programs and Features does: it runs the command line of the
# entry's "UninstallString", read here from the registry (the copy in the
# product folder, without switches), as CreateProcess reads a line. Its
# window offers Remove; a click removes the product, and OK closes the
# restart box. Gives 1 when a step did not come.
iu_remove_through_programs_and_features() {
  local entry
  entry=$(ie_reg_value "$IE_UNINSTALL_KEY" UninstallString 32)
  if [ "${entry%%|*}" != REG_SZ ] || [ -z "${entry#*|}" ]; then
    fail "no UninstallString in the uninstall entry (got [$entry])"
    return 1
  fi
  ie_command_background "${entry#*|}"
  if ! ie_wait_window "$IE_SETUP_WINDOW" 60; then
    fail "the uninstaller's window did not appear"
    kill "$IE_SETUP_PID" 2>/dev/null
    return 1
  fi
  check "the Remove offer is drawn" ie_wait_drawn 60
  ie_window_client
  ie_click_client $((IE_CW - 170)) $((IE_CH - 50))
  if ! check "restart box shown" ie_wait_window "REBOOT YOUR SYSTEM" 90; then
    kill "$IE_SETUP_PID" 2>/dev/null
    return 1
  fi
  # The running uninstaller moved itself aside; the restart will take it.
  check "no MixolyteSetup.exe while the box is up" test ! -e "$IE_PRODUCT/MixolyteSetup.exe"
  check "the running uninstaller is MixolyteSetup.del" \
    cmp -s "$IE_SETUP_EXE" "$IE_PRODUCT/MixolyteSetup.del"
  local pending
  pending=$(wine reg query 'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations \
    2>/dev/null | tr -d '\r')
  check "MixolyteSetup.del waits for the restart" grep -qiF 'ZT\Mixolyte\MixolyteSetup.del' <<< "$pending"
  check "no file waits under its own name" bash -c '! grep -qiF "MixolyteSetup.exe" <<< "$1"' _ "$pending"
  ie_press_ok "REBOOT YOUR SYSTEM" || fail "could not press OK"
  ie_wait_exit 60
  expect "uninstaller's exit code after OK" 0 "$IE_RC"
}

# Windows' restart: wineboot -r carries out the pending file operations
# (the scenario's persistent wineserver stays up).
iu_restart() {
  wineboot -r >/dev/null 2>&1
}

# What is left of the product anywhere on drive C:, but the downloaded
# setup program and the stand-ins' own run log.
iu_product_traces() {
  (cd "$IE_C" && find . \( -iname 'ZT' -o -iname 'ZT Audio' -o -iname '*mixolyte*' -o -iname 'MixoLyte' \
    -o -iname '*.del' \) -print) | grep -v -x -F -e './Setup/MixolyteSetup.exe' | sort || true
}

# Uninstall through Programs and Features, then the restart it asks for:
# nothing of the product is left but what the uninstall keeps on purpose
# (the settings values, reset; the loop-back flags).
iu_scenario_restart() {
  echo "uninstall e2e: Programs and Features, then the restart, 64-bit prefix, Windows 7"
  ie_prefix uninstall-restart win64 win7
  ie_setup -h -i
  expect "\"-h -i\" exit code" 1 "$IE_RC"
  iu_put_user_shortcuts
  if iu_remove_through_programs_and_features; then
    check "no all-users \"ZT Audio\" before the restart" test ! -e "$(dirname "$IE_SHORTCUTS")"
    check "no per-user \"ZT Audio\" before the restart" test ! -e "$(dirname "$IU_USER_SHORTCUTS")"
    iu_key_absent "uninstall entry" "$IE_UNINSTALL_KEY"
    iu_restart
    check "no product folder after the restart" test ! -e "$IE_PRODUCT"
    check "no \"ZT\" after the restart" test ! -e "$(dirname "$IE_PRODUCT")"
    check "Program Files (x86) stays" test -d "$(dirname "$(dirname "$IE_PRODUCT")")"
    expect "nothing of the product on drive C:" "" "$(iu_product_traces)"
    check "nothing left pending" bash -c '! wine reg query "HKLM\SYSTEM\CurrentControlSet\Control\Session Manager" /v PendingFileRenameOperations >/dev/null 2>&1'
    iu_key_absent "uninstall entry" "$IE_UNINSTALL_KEY"
    check "Programs and Features lists no Mixolyte" bash -c '! grep -qi mixolyte <<< "$1"' _ "$(ie_programs_and_features)"
    # What the uninstall keeps on purpose.
    local name
    for name in SysTray SysTrayShowOnRun EngineMode; do
      expect "kept: setting $name, reset" "REG_DWORD|0x0" "$(ie_reg_value "$IE_SETTINGS_KEY" "$name" 32)"
    done
    # (The loop-back flags, also kept, are written on 64-bit Windows 10 only.)
  fi
  ie_prefix_done
}

# Uninstall through Programs and Features, then an install before the
# restart: the restart takes only what was left for it, and the new
# install survives it whole.
iu_scenario_reinstall_before_restart() {
  echo "uninstall e2e: an install between the uninstall and the restart, 64-bit prefix, Windows 7"
  ie_prefix uninstall-reinstall win64 win7
  ie_setup -h -i
  expect "\"-h -i\" exit code" 1 "$IE_RC"
  if iu_remove_through_programs_and_features; then
    ie_setup -h -i
    expect "\"-h -i\" before the restart: exit code" 1 "$IE_RC"
    local before after
    before=$(cd "$IE_PRODUCT" && find . -printf '%y %p\n' | sort && find . -type f -print0 | sort -z | xargs -0 md5sum)
    check "the new uninstaller is in place" cmp -s "$IE_SETUP_EXE" "$IE_PRODUCT/MixolyteSetup.exe"
    check "98 files and the uninstaller" test "$(find "$IE_PRODUCT" -type f | wc -l)" -eq 99
    iu_restart
    after=$(cd "$IE_PRODUCT" 2>/dev/null && find . -printf '%y %p\n' | sort && find . -type f -print0 | sort -z | xargs -0 md5sum)
    check "the product folder is whole after the restart" test -n "$after" -a "$before" = "$after"
    check "the restart carried out what was pending" bash -c '! wine reg query "HKLM\SYSTEM\CurrentControlSet\Control\Session Manager" /v PendingFileRenameOperations >/dev/null 2>&1'
    check "the shortcuts stay" test -f "$IE_SHORTCUTS/Readme.LNK"
    check "the uninstall entry stays" ie_key_exists "$IE_UNINSTALL_KEY" 32
  fi
  ie_prefix_done
}

IU_ALL_SCENARIOS=(hidden_win10 hidden_win32 in_use interactive restart reinstall_before_restart)

# e2e_uninstall BUILD [SCENARIO...]: runs the scenarios; nonzero when one failed.
e2e_uninstall() {
  ie_init "${1:-build}" || return 1
  ie_have_pieces || return 1
  export -f ie_key_exists
  ie_suite "uninstall e2e" "screenshots in $IE_OUT" iu_scenario_ "${IU_ALL_SCENARIOS[*]}" "${@:2}"
}

if [ "${BASH_SOURCE[0]}" == "$0" ]; then
  set -uo pipefail
  e2e_uninstall "$@"
fi
