#!/usr/bin/env bash
# End-to-end scenarios of the install: the real MixolyteSetup.exe with the
# stand-in payload, each scenario in a fresh copy of a base Wine prefix.
# Results are read as a user's tools would: exit codes, files under drive_c,
# `wine reg query` in both registry views, the shortcuts through the shell's
# link object (win_ops.exe shortcut), the stand-ins' run log,
# window_list.exe and xdotool for boxes and clicks, screenshots kept under
# build/e2e/install/.
#
# Sourced by the e2e runner, which calls `e2e_install BUILD`; or run alone:
#   bash e2e/scenarios/install.sh [BUILD] [SCENARIO...]
# Scenarios: standins win10 win7 win32 daza_fails daza_fails_boxes damaged stamped interactive
# core: damaged stamped

IE_SCENARIOS_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../install_lib.sh
source "$IE_SCENARIOS_HERE/../install_lib.sh"

# The shortcut table: title, target file, when made (always / daza / nodaza / x64).
IE_SHORTCUT_ROWS=(
  "Readme|readme.txt|always"
  "Virtual IO Control Panel|ZTMixolyteDAZA_ControlPanel.exe|daza"
  "Virtual IO Control Panel|ZTCABLE_ControlPanel.exe|nodaza"
  "Virtual AUX IO Control Panel|ZTMLAUX_ControlPanel.exe|nodaza"
  "Mixolyte Kumbra|MixolytePro.exe|always"
  "Mixolyte Kumbra x64|MixolytePro_x64.exe|x64"
  "Macro Buttons|MixolyteMacroButtons.exe|always"
  "ZTAN-2-MIDI|ZTAN2MIDI.exe|always"
  "8x8 Output Matrix|MixolyteBUSMatrix8.exe|always"
  "15 Bands Graphic EQ|MixolyteBUSGEQ15.exe|always"
  "ML Streamer View|MLStreamerView.exe|always"
  "Mixolyte|Mixolyte.exe|always"
  "Mixolyte x64|Mixolyte_x64.exe|x64"
)

# ---------------------------------------------------------------------------
# Checks shared by the scenarios

# The product folder holds the 98 package files byte for byte, and the
# uninstaller copy of the setup program, and nothing else.
ie_check_product_files() {
  local differ=0 missing=0 name
  while IFS= read -r name; do
    if [ ! -f "$IE_PRODUCT/$name" ]; then
      missing=$((missing + 1))
    elif ! cmp -s "$IE_PAYLOAD/$name" "$IE_PRODUCT/$name"; then
      differ=$((differ + 1))
    fi
  done < <(cd "$IE_PAYLOAD" && find . -type f | sed 's|^\./||' | sort)
  expect "98 package files present" 0 "$missing"
  expect "98 package files byte for byte" 0 "$differ"
  check "uninstaller copy is the setup program" cmp -s "$IE_SETUP_EXE" "$IE_PRODUCT/MixolyteSetup.exe"
  local count
  count=$(find "$IE_PRODUCT" -type f ! -name '*.exitcode' | wc -l)
  expect "product folder file count" 99 "$count"
}

# ie_installed_kib PAYLOAD EXE: KiB, rounded up, of the package files and the
# uninstaller (a copy of the setup program), as "EstimatedSize" gives it.
ie_installed_kib() {
  local bytes
  bytes=$( (cd "$1" && find . -type f -printf '%s\n'; stat -c %s "$2") | awk '{ s += $1 } END { print s }')
  echo $(((bytes + 1023) / 1024))
}

# The uninstall entry in the program's own view (32-bit on 64-bit Windows):
# the four values, and the description Programs and Features reads.
ie_check_uninstall_entry() {  # ie_check_uninstall_entry PUBLISHER
  local exe="$IE_PRODUCT_WIN\\MixolyteSetup.exe"
  expect "DisplayName" "REG_SZ|Mixolyte, The Virtual Mixing Console" \
    "$(ie_reg_value "$IE_UNINSTALL_KEY" DisplayName 32)"
  expect "Publisher" "REG_SZ|$1" "$(ie_reg_value "$IE_UNINSTALL_KEY" Publisher 32)"
  expect "UninstallString" "REG_SZ|$exe" "$(ie_reg_value "$IE_UNINSTALL_KEY" UninstallString 32)"
  expect "DisplayIcon" "REG_SZ|$exe" "$(ie_reg_value "$IE_UNINSTALL_KEY" DisplayIcon 32)"
  expect "DisplayVersion" "REG_SZ|2.1.2.2" "$(ie_reg_value "$IE_UNINSTALL_KEY" DisplayVersion 32)"
  expect "InstallLocation" "REG_SZ|$IE_PRODUCT_WIN" "$(ie_reg_value "$IE_UNINSTALL_KEY" InstallLocation 32)"
  expect "QuietUninstallString" "REG_SZ|\"$exe\" -h -u" \
    "$(ie_reg_value "$IE_UNINSTALL_KEY" QuietUninstallString 32)"
  expect "NoModify" "REG_DWORD|0x1" "$(ie_reg_value "$IE_UNINSTALL_KEY" NoModify 32)"
  expect "NoRepair" "REG_DWORD|0x1" "$(ie_reg_value "$IE_UNINSTALL_KEY" NoRepair 32)"
  expect "EstimatedSize (KiB of the installed files)" \
    "$(printf 'REG_DWORD|0x%x' "$(ie_installed_kib "$IE_PAYLOAD" "$IE_SETUP_EXE")")" \
    "$(ie_reg_value "$IE_UNINSTALL_KEY" EstimatedSize 32)"
  if [ "$IE_ARCH" = win64 ]; then
    check "no uninstall entry in the 64-bit view" bash -c '! WINEPREFIX="$1" wine reg query "$2" /reg:64 >/dev/null 2>&1' _ "$IE_PREFIX" "$IE_UNINSTALL_KEY"
  fi
}

ie_check_settings() {
  local name expected
  for name in install:0 nbLaunch:0 done:0 TimerResolution:1 SysTray:0 SysTrayShowOnRun:0 EngineMode:0; do
    expected=$(printf 'REG_DWORD|0x%x' "${name#*:}")
    expect "setting ${name%%:*}" "$expected" "$(ie_reg_value "$IE_SETTINGS_KEY" "${name%%:*}" 32)"
  done
}

ie_check_loopback() {  # ie_check_loopback present|absent
  local key view want
  for key in "$IE_QUADWIRE_KEY" "$IE_QUADWIRE_SERVICE_KEY"; do
    for view in 32 64; do
      [ "$IE_ARCH" = win32 ] && [ "$view" = 64 ] && continue
      want=""
      [ "$1" = present ] && want="REG_DWORD|0x1"
      expect "loop-back flag $key /reg:$view" "$want" \
        "$(ie_reg_value "$key" ZTMixolyteDAZA_LoopBack "$view")"
    done
  done
}

# ie_check_shortcuts DAZA(0|1) X64(0|1): the rows made, with their target,
# working folder and description, and no other shortcut.
ie_check_shortcuts() {
  local daza=$1 x64=$2 row title file when made=0 expected_count=0
  ie_lnk_read "$IE_SHORTCUTS"/*
  for row in "${IE_SHORTCUT_ROWS[@]}"; do
    IFS='|' read -r title file when <<< "$row"
    case $when in
      daza) [ "$daza" = 1 ] || continue ;;
      nodaza) [ "$daza" = 0 ] || continue ;;
      x64) [ "$x64" = 1 ] || continue ;;
    esac
    expected_count=$((expected_count + 1))
    local lnk="$IE_SHORTCUTS/$title.LNK"
    if [ ! -f "$lnk" ]; then
      fail "shortcut \"$title\" missing"
      continue
    fi
    made=$((made + 1))
    expect "shortcut \"$title\" target" "$IE_PRODUCT_WIN\\$file" "$(ie_lnk_field "$lnk" target)"
    expect "shortcut \"$title\" working folder" "$IE_PRODUCT_WIN" "$(ie_lnk_field "$lnk" folder)"
    expect "shortcut \"$title\" description" "$title" "$(ie_lnk_field "$lnk" description)"
    if [ -n "$(ie_lnk_field "$lnk" arguments)" ]; then
      fail "shortcut \"$title\" has arguments"
    fi
  done
  local count
  count=$(find "$IE_SHORTCUTS" -maxdepth 1 -type f 2>/dev/null | wc -l)
  expect "shortcut count" "$expected_count" "$count"
}

# ie_check_asio VIEW SUFFIX CLSID_END: the three drivers of one build,
# registered as COM servers and ASIO drivers in that view.
ie_check_asio() {
  local view=$1 suffix=$2 build=$3 entry name dll clsid
  for entry in "Mixolyte Virtual ASIO|ztml_asiodriver|11" "Mixolyte AUX Virtual ASIO|ztmlaux_asiodriver|12" \
               "Mixolyte Insert Virtual ASIO|ztmlins_asiodriver|13"; do
    IFS='|' read -r name dll clsid <<< "$entry"
    clsid="{6A3E1F20-7C4B-4D85-9B21-3F0C5E7A${clsid}0$build}"
    expect "ASIO \"$name\" /reg:$view CLSID" "REG_SZ|$clsid" "$(ie_reg_value "$IE_ASIO_KEY\\$name" CLSID "$view")"
    expect "COM server $dll$suffix.dll /reg:$view" \
      "REG_SZ|$IE_PRODUCT_WIN\\$dll$suffix.dll" \
      "$(ie_reg_value "HKLM\\SOFTWARE\\Classes\\CLSID\\$clsid\\InprocServer32" "(Default)" "$view")"
    expect "COM server $dll$suffix.dll ThreadingModel" "REG_SZ|Both" \
      "$(ie_reg_value "HKLM\\SOFTWARE\\Classes\\CLSID\\$clsid\\InprocServer32" ThreadingModel "$view")"
  done
}

ie_check_asio_absent() {
  local view
  for view in 32 64; do
    [ "$IE_ARCH" = win32 ] && [ "$view" = 64 ] && continue
    check "no ASIO drivers /reg:$view" bash -c '! WINEPREFIX="$1" wine reg query "$2" /reg:$3 >/dev/null 2>&1' _ "$IE_PREFIX" "$IE_ASIO_KEY" "$view"
  done
}

# ie_check_driver_runs DAZA CABLE AUX: how many times each driver setup
# stand-in ran, and that each run had the install line in the product folder.
ie_check_driver_runs() {
  local suffix=.exe
  [ "$IE_ARCH" = win64 ] && suffix=_x64.exe
  local spec name want
  for spec in "ZTMixolyteDAZA_Setup_x64.exe:$1" "ZTCABLE_Setup$suffix:$2" "ZTMLAUX_Setup$suffix:$3"; do
    name=${spec%:*} want=${spec##*:}
    expect "$name ran $want time(s)" "$want" "$(ie_run_count "$name")"
    if [ "$want" -gt 0 ]; then
      expect "$name command line and folder" "$name|-h -i -H -n|$IE_PRODUCT_WIN" \
        "$(ie_runs_of "$name" | sort -u)"
    fi
  done
}

# ie_check_child_temp COUNT: each of the COUNT child runs (driver setups,
# ztregsvr64.exe) had TEMP and TMP set to a folder of its own in the
# Windows folder's Temp, never the user's, and none is left.
ie_check_child_temp() {
  local log=$IE_C/ProgramData/ZT-Audio/standin-temp.log
  expect "child runs that logged their TEMP" "$1" "$(tr -d '\r' 2>/dev/null < "$log" | grep -c .)"
  expect "children whose TEMP or TMP is not a folder of the run's in C:\\windows\\Temp" 0 \
    "$(tr -d '\r' 2>/dev/null < "$log" | awk -F '|' '
        { t = tolower($2) } t !~ /^c:\\windows\\temp\\zt-mixolyte-[0-9a-f]+-[0-9]+$/ || $2 != $3 { n++ }
        END { print n + 0 }')"
  check "no child TEMP folder left" test -z "$(find "$IE_C/windows/temp" -maxdepth 1 -iname 'ZT-Mixolyte-*' 2>/dev/null)"
}

# ---------------------------------------------------------------------------
# Scenarios

# The stand-ins on their own, against the contracts the setup program relies
# on: the driver setups' registry facts and their removal, forced exit codes,
# ztregsvr64.exe's command lines, the ASIO DLLs' registration in the view of
# their bitness, and the window programs (class, title, a DLL held in use).
ie_scenario_standins() {
  echo "install e2e: the stand-ins' own contracts, 64-bit Windows 10"
  ie_prefix standins win64 win10
  mkdir -p "$IE_PRODUCT"
  cp -r "$IE_PAYLOAD"/. "$IE_PRODUCT"/
  local p=$IE_PRODUCT_WIN
  local render='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\MMDevices\Audio\Render'
  local capture='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\MMDevices\Audio\Capture'
  local class='HKLM\SYSTEM\CurrentControlSet\Control\Class\{4D36E96C-E325-11CE-BFC1-08002BE10318}'
  local daza_service='HKLM\SYSTEM\CurrentControlSet\Services\ZTMixolyteDAZAMME'
  local drivers=$IE_C/windows/system32/drivers

  # The DAZA driver setup: install.
  expect "DAZA install exit code" "exit 0" "$(ie_win_ops run "$p\\ZTMixolyteDAZA_Setup_x64.exe" "-h -i -H -n" "$p")"
  expect "DAZA run logged with its raw line and folder" "ZTMixolyteDAZA_Setup_x64.exe|-h -i -H -n|$p" \
    "$(ie_runs_of ZTMixolyteDAZA_Setup_x64.exe)"
  expect "DAZA service ImagePath" 'REG_EXPAND_SZ|\SystemRoot\System32\drivers\ztmixolytevaio64_win10.sys' \
    "$(ie_reg_value "$daza_service" ImagePath 64)"
  check "DAZA driver file in System32\\drivers" \
    cmp -s "$IE_PAYLOAD/ztmixolytevaio64_win10.sys" "$drivers/ztmixolytevaio64_win10.sys"
  local entry
  # The device install keeps the matching id in lower case, as Windows does.
  entry=$(ie_reg_dump "$class" 64 | awk '/^HKEY/ { key = $0 } tolower($0) ~ /matchingdeviceid +reg_sz +ztmixolytedaza$/ { print key }')
  expect "one media class entry for ZTMixolyteDAZA" 1 "$(printf '%s' "$entry" | grep -c .)"
  expect "its Driver value" "REG_SZ|ztmixolytevaio64_win10.sys" \
    "$(ie_reg_value "${entry/HKEY_LOCAL_MACHINE/HKLM}" Driver 64)"
  local flow key
  for flow in "$render" "$capture"; do
    key=${flow##*\\}
    expect "$key endpoints of the DAZA driver" 8 \
      "$(ie_reg_dump "$flow" 64 | grep -cE '\{83da6326-97a6-4088-9453-a1923f573b29\},3 +REG_SZ +.*:ZTMixolyteDAZA$')"
    expect "$key channel numbers" \
      "0001,0002,0003,0004,0005,0006,0007,0008" \
      "$(ie_reg_dump "$flow" 64 | grep -E '\{233164c8-1b2c-4c7d-bc68-b671687a2567\},1 ' | grep -oE '[0-9]{4}$' | sort | paste -sd,)"
    expect "$key endpoints not in the 32-bit view" 0 "$(ie_reg_dump "$flow" 32 | grep -c ZTMixolyteDAZA)"
  done

  # The DAZA driver setup: uninstall takes it all away.
  expect "DAZA uninstall exit code" "exit 0" "$(ie_win_ops run "$p\\ZTMixolyteDAZA_Setup_x64.exe" "-h -u -H" "$p")"
  expect "DAZA service removed" "" "$(ie_reg_value "$daza_service" ImagePath 64)"
  expect "DAZA class entry removed" 0 "$(ie_reg_dump "$class" 64 | grep -ci 'ZTMixolyteDAZA$')"
  expect "DAZA endpoints removed" 0 "$( { ie_reg_dump "$render" 64; ie_reg_dump "$capture" 64; } | grep -c ZTMixolyteDAZA)"
  check "DAZA driver file removed" test ! -e "$drivers/ztmixolytevaio64_win10.sys"

  # Forced exit codes: a failure does no work; 2 and above do the work.
  local aux_service='HKLM\SYSTEM\CurrentControlSet\Services\ZTMixolyteMLAUXMME'
  printf -- '-1\n' > "$IE_PRODUCT/ZTMLAUX_Setup_x64.exe.exitcode"
  expect "forced -1" "exit -1" "$(ie_win_ops run "$p\\ZTMLAUX_Setup_x64.exe" "-h -i -H -n" "$p")"
  expect "forced -1 installs nothing" "" "$(ie_reg_value "$aux_service" ImagePath 64)"
  printf '7\n' > "$IE_PRODUCT/ZTMLAUX_Setup_x64.exe.exitcode"
  expect "forced 7" "exit 7" "$(ie_win_ops run "$p\\ZTMLAUX_Setup_x64.exe" "-h -i -H -n" "$p")"
  expect "forced 7 installs (Windows 10 x64 build of the aux driver)" 'REG_EXPAND_SZ|\SystemRoot\System32\drivers\ztaudio_mlauxvaio64_win10.sys' \
    "$(ie_reg_value "$aux_service" ImagePath 64)"
  rm "$IE_PRODUCT/ZTMLAUX_Setup_x64.exe.exitcode"
  expect "aux uninstall" "exit 0" "$(ie_win_ops run "$p\\ZTMLAUX_Setup_x64.exe" "-h -u -H" "$p")"
  expect "aux service removed" "" "$(ie_reg_value "$aux_service" ImagePath 64)"

  # ztregsvr64.exe: the setup program's lines, unquoted paths with blanks.
  local asio='HKLM\SOFTWARE\ASIO\Mixolyte Virtual ASIO' clsid='{6A3E1F20-7C4B-4D85-9B21-3F0C5E7A1102}'
  ie_win_ops run "$p\\ztregsvr64.exe" " -f$p\\ztml_asiodriver64.dll" 'C:\' >/dev/null
  expect "ztregsvr64 registers (ASIO entry, 64-bit view)" "REG_SZ|$clsid" "$(ie_reg_value "$asio" CLSID 64)"
  expect "ztregsvr64 registers (COM server, 64-bit view)" "REG_SZ|$p\\ztml_asiodriver64.dll" \
    "$(ie_reg_value "HKLM\\SOFTWARE\\Classes\\CLSID\\$clsid\\InprocServer32" "(Default)" 64)"
  expect "nothing in the 32-bit view" "" "$(ie_reg_value "$asio" CLSID 32)"
  ie_win_ops run "$p\\ztregsvr64.exe" " -u  -f$p\\ztml_asiodriver64.dll" 'C:\' >/dev/null
  expect "ztregsvr64 -u removes the ASIO entry" "" "$(ie_reg_value "$asio" CLSID 64)"
  check "ztregsvr64 -u removes the COM server" \
    bash -c '! WINEPREFIX="$1" wine reg query "$2" /reg:64 >/dev/null 2>&1' _ "$IE_PREFIX" "HKLM\\SOFTWARE\\Classes\\CLSID\\$clsid"
  mkdir -p "$IE_C/odd -u folder"
  cp "$IE_PAYLOAD/ztmlaux_asiodriver64.dll" "$IE_C/odd -u folder/"
  ie_win_ops run "$p\\ztregsvr64.exe" ' -fC:\odd -u folder\ztmlaux_asiodriver64.dll' 'C:\' >/dev/null
  expect "a \"-u\" inside the path still registers" \
    'REG_SZ|C:\odd -u folder\ztmlaux_asiodriver64.dll' \
    "$(ie_reg_value 'HKLM\SOFTWARE\Classes\CLSID\{6A3E1F20-7C4B-4D85-9B21-3F0C5E7A1202}\InprocServer32' "(Default)" 64)"

  # A 32-bit ASIO DLL registers in the 32-bit view, through Windows' own regsvr32.
  asio='HKLM\SOFTWARE\ASIO\Mixolyte Insert Virtual ASIO'
  wine 'C:\windows\syswow64\regsvr32.exe' /s "$p\\ztmlins_asiodriver.dll" >/dev/null 2>&1
  expect "32-bit DLL registers in the 32-bit view" "REG_SZ|Mixolyte Insert Virtual ASIO Driver" \
    "$(ie_reg_value "$asio" Description 32)"
  expect "and not in the 64-bit view" "" "$(ie_reg_value "$asio" Description 64)"
  wine 'C:\windows\syswow64\regsvr32.exe' /u /s "$p\\ztmlins_asiodriver.dll" >/dev/null 2>&1
  expect "32-bit DLL unregisters" "" "$(ie_reg_value "$asio" Description 32)"

  # Window programs: the console's class and title, a tool's, the positional
  # form, and a package DLL held in use (delete refused, rename allowed).
  (cd "$IE_PRODUCT" && exec wine "$p\\mixolyte_x64.exe" >/dev/null 2>&1) &
  (cd "$IE_PRODUCT" && exec wine "$p\\ZTAN2MIDI.exe" >/dev/null 2>&1) &
  (cd "$IE_PRODUCT" && exec wine "$p\\ZTDeviceCheck.exe" Some0Class0 Some title >/dev/null 2>&1) &
  (cd "$IE_PRODUCT" && exec wine "$p\\MixolyteMacroButtons.exe" --hold ztml_asiodriver.dll >/dev/null 2>&1) &
  if ie_wait_window "Mixolyte Kumbra" 30; then
    expect "console window class" "ZTCABLE0Mixolyte0MainWindow0" "$(printf '%s' "$IE_WINDOW" | cut -d'|' -f3)"
  else
    fail "console window not shown"
  fi
  check "ZTAN2MIDI window" ie_wait_window "ZTAN2MIDI-Converter" 30
  if ie_wait_window "Some title" 30; then
    expect "positional class and title" "Some0Class0" "$(printf '%s' "$IE_WINDOW" | cut -d'|' -f3)"
  else
    fail "positional window not shown"
  fi
  if ie_wait_window "Mixolyte.Remote Macro Buttons" 30; then
    expect "held DLL cannot be deleted" "error" "$(ie_win_ops delete "$p\\ztml_asiodriver.dll" | cut -d' ' -f1)"
    expect "held DLL can be renamed" "renamed" "$(ie_win_ops rename "$p\\ztml_asiodriver.dll" "$p\\ztml_asiodriver.del")"
  else
    fail "window holding the DLL not shown"
  fi
  ie_prefix_done
}

# 64-bit Windows 10: the DAZA path; a second run refuses and changes nothing.
ie_scenario_win10() {
  echo "install e2e: 64-bit prefix, Windows 10"
  ie_prefix win10 win64 win10
  local start=$SECONDS
  ie_setup -h -i
  expect "\"-h -i\" exit code" 1 "$IE_RC"
  echo "  (install took $((SECONDS - start)) s, the pin check on the stand-in DAZA device included)"
  ie_check_product_files
  ie_check_uninstall_entry "ZT-Audio"
  ie_check_loopback present
  ie_check_settings
  ie_check_shortcuts 1 1
  ie_check_asio 32 "" 1
  ie_check_asio 64 64 2
  ie_check_driver_runs 1 0 0
  expect "ztregsvr64.exe command lines" "$(printf ' -f%s\\%s\n' "$IE_PRODUCT_WIN" ztml_asiodriver64.dll "$IE_PRODUCT_WIN" ztmlaux_asiodriver64.dll \
       "$IE_PRODUCT_WIN" ztmlins_asiodriver64.dll)" \
    "$(ie_runs_of ztregsvr64.exe | cut -d'|' -f2)"
  expect "DAZA service ImagePath (the stand-in's work)" \
    'REG_EXPAND_SZ|\SystemRoot\System32\drivers\ztmixolytevaio64_win10.sys' \
    "$(ie_reg_value 'HKLM\SYSTEM\CurrentControlSet\Services\ZTMixolyteDAZAMME' ImagePath 64)"
  # The pin check found the stand-in's device and named its sixteen endpoints
  # (names and icons in detail: e2e/scenarios/daza_install.sh).
  expect "endpoints named by the pin check" 16 \
    "$(ie_reg_dump 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\MMDevices\Audio' 64 |
       grep -cE '\{a45c254e-df1c-4efd-8020-67d146a850e0\},2 +REG_SZ +Mixolyte ' || true)"
  check "no UART INF on Windows 10" test ! -e "$IE_C/windows/inf/ztusbgpi_uart.inf"
  ie_check_child_temp 4

  local before after
  before=$(ie_fingerprint)
  ie_setup -h -i
  expect "second \"-h -i\" exit code (-4)" 252 "$IE_RC"
  after=$(ie_fingerprint)
  if ! check "second run changed nothing" test "$before" == "$after"; then
    diff <(printf '%s\n' "$before") <(printf '%s\n' "$after") | head -20
  fi
  ie_prefix_done
}

# 64-bit Windows 7: the cable and aux drivers (x64 builds), the UART INF.
ie_scenario_win7() {
  echo "install e2e: 64-bit prefix, Windows 7"
  ie_prefix win7 win64 win7
  ie_setup -h -i
  expect "\"-h -i\" exit code" 1 "$IE_RC"
  ie_check_driver_runs 0 1 1
  check "ztusbgpi_uart.inf in the Windows inf folder" \
    cmp -s "$IE_PAYLOAD/ztusbgpi_uart.inf" "$IE_C/windows/inf/ztusbgpi_uart.inf"
  check "no XP/Vista UART INF" test ! -e "$IE_C/windows/inf/ztusbgpi_uart_xp_vista.inf"
  ie_check_product_files
  ie_check_loopback absent
  ie_check_shortcuts 0 1
  ie_check_asio 32 "" 1
  ie_check_asio 64 64 2
  ie_prefix_done
}

# 32-bit Windows (10): the 32-bit driver setups, no 64-bit registration.
ie_scenario_win32() {
  echo "install e2e: 32-bit prefix, Windows 10"
  ie_prefix win32 win32 win10
  ie_setup -h -i
  expect "\"-h -i\" exit code" 1 "$IE_RC"
  ie_check_driver_runs 0 1 1
  expect "ztregsvr64.exe ran" 0 "$(ie_run_count ztregsvr64.exe)"
  ie_check_product_files
  ie_check_uninstall_entry "ZT-Audio"
  ie_check_loopback absent
  ie_check_settings
  ie_check_shortcuts 0 0
  ie_check_asio 32 "" 1
  check "no UART INF on Windows 10" test ! -e "$IE_C/windows/inf/ztusbgpi_uart.inf"
  ie_prefix_done
}

# Puts "<program>.exitcode" into the product folder before the install, so
# the stand-in extracted there ends with that code.
ie_force_exit_code() {  # ie_force_exit_code PROGRAM CODE
  mkdir -p "$IE_PRODUCT"
  printf '%s\n' "$2" > "$IE_PRODUCT/$1.exitcode"
}

# A DAZA driver setup that asks for a restart (exit code 1): reported, not fatal.
ie_scenario_daza_fails() {
  echo "install e2e: DAZA driver setup exits 1, hidden"
  ie_prefix daza-fails win64 win10
  ie_force_exit_code ZTMixolyteDAZA_Setup_x64.exe 1
  local start=$SECONDS
  ie_setup -h -i
  local took=$((SECONDS - start))
  expect "\"-h -i\" exit code" 1 "$IE_RC"
  ie_check_driver_runs 1 0 0
  ie_check_uninstall_entry "ZT-Audio"
  ie_check_shortcuts 1 1
  ie_check_asio 64 64 2
  check "DAZA stand-in did no driver work" \
    bash -c '! WINEPREFIX="$1" wine reg query "HKLM\SYSTEM\CurrentControlSet\Services\ZTMixolyteDAZAMME" /reg:64 >/dev/null 2>&1' _ "$IE_PREFIX"
  # No pin check after a driver failure: its device wait alone takes 26 s.
  check "no pin check (the install took $took s)" test "$took" -lt 20
  ie_prefix_done
}

# The same without "-h": the restart box first, then "REBOOT YOUR SYSTEM"
# with the driver-issue text; after its OK the program ends with 1. (The
# second report arrives while the first box is open, and that box's message
# loop hands it to the window: the reboot box opens above the restart box.)
ie_scenario_daza_fails_boxes() {
  echo "install e2e: DAZA driver setup exits 1, with the window"
  ie_prefix daza-boxes win64 win10
  ie_force_exit_code ZTMixolyteDAZA_Setup_x64.exe 1
  ie_setup_window "setup window did not appear" Install || { ie_prefix_done; return; }
  ie_screenshot daza-fails-0-offer
  ie_click_client $((IE_CW - 170)) $((IE_CH - 50))
  local restart="Mixolyte Installation Error" reboot="REBOOT YOUR SYSTEM"
  if ie_wait_titles 90 "$restart" "$reboot"; then
    expect "first box to appear" "$restart" "$(printf '%s' "$IE_TITLES_SEEN" | paste -sd,)"
    ie_screenshot daza-fails-1-restart-box
    ie_wait_window "$restart" 5 || true
    expect "restart box text" 'Cannot install Package now...\nYou must RESTART your system and then relaunch setup program' \
      "$(printf '%s\n' "$IE_WINDOW_TEXTS" | grep -F 'Cannot install' || true)"
  else
    fail "no box appeared after the click"
  fi
  if check "reboot box shown after the restart box" ie_wait_window "$reboot" 60; then
    ie_screenshot daza-fails-2-reboot-box
    check "reboot box has the driver-issue text" \
      grep -qF 'Virtual Audio Driver might not be installed correctly' <<< "$IE_WINDOW_TEXTS"
    ie_press_ok "$reboot" || fail "could not press OK"
  fi
  # Whatever box is still open gets its OK too, once the reboot box above
  # it has gone (or the program has ended).
  ie_wait_gone "$reboot" 30 || true
  ie_wait_window "$restart" 1 && { ie_press_ok "$restart" || true; }
  ie_wait_exit 30
  expect "exit code after OK" 1 "$IE_RC"
  ie_prefix_done
}

# A setup program whose package has one damaged entry: -102, nothing registered.
ie_scenario_damaged() {
  echo "install e2e: one damaged package entry"
  ie_prefix damaged win64 win10
  # The package sits verbatim in the program's resources: flip one byte in
  # the middle of entry 95 ("mp3lame\lame_enc.dll").
  if ! python3 - "$IE_C/Setup/MixolyteSetup.exe" "$IE_BUILD/package.bin" <<'EOF'
import struct, sys
exe_path, package_path = sys.argv[1], sys.argv[2]
exe = bytearray(open(exe_path, 'rb').read())
package = open(package_path, 'rb').read()
start = exe.find(package[:15680])
if start < 0 or exe.find(package[:15680], start + 1) >= 0:
    sys.exit("the package is not found exactly once in the setup program")
record = 95 * 160
offset, size = struct.unpack_from('<II', package, record + 128)
exe[start + offset + size // 2] ^= 0x5A
open(exe_path, 'wb').write(exe)
EOF
  then
    fail "could not damage the embedded package"
    ie_prefix_done
    return
  fi
  ie_setup -h -i
  expect "\"-h -i\" exit code (-102)" 154 "$IE_RC"
  check "no uninstall entry" bash -c '! WINEPREFIX="$1" wine reg query "$2" /reg:32 >/dev/null 2>&1' _ "$IE_PREFIX" "$IE_UNINSTALL_KEY"
  check "no settings key" bash -c '! WINEPREFIX="$1" wine reg query "$2" >/dev/null 2>&1' _ "$IE_PREFIX" "$IE_SETTINGS_KEY"
  ie_check_loopback absent
  ie_check_asio_absent
  check "no shortcuts" test ! -e "$IE_SHORTCUTS"
  expect "no stand-in ran" 0 "$( [ -f "$IE_RUN_LOG" ] && tr -d '\r' < "$IE_RUN_LOG" | grep -c . || echo 0)"
  check "no uninstaller copy" test ! -e "$IE_PRODUCT/MixolyteSetup.exe"
  ie_prefix_done
}

# A program made by `mixpack stamp` from the built one and another payload
# (a longer readme): it installs that payload, and removes it again.
ie_scenario_stamped() {
  echo "install e2e: a program stamped with another payload, 64-bit Windows 10"
  local stamped=$IE_BUILD/stamp/MixolyteSetup.exe
  if [ ! -f "$stamped" ] || [ ! -d "$IE_BUILD/stamp/payload" ]; then
    fail "no stamped program at $stamped (scripts/stamp_proof.sh makes it)"
    return
  fi
  local built_exe=$IE_SETUP_EXE built_payload=$IE_PAYLOAD
  IE_SETUP_EXE=$stamped IE_PAYLOAD=$IE_BUILD/stamp/payload
  ie_prefix stamped win64 win10
  ie_setup -h -i
  expect "\"-h -i\" exit code" 1 "$IE_RC"
  ie_check_product_files
  check "the installed readme is the stamped payload's" \
    grep -q 'This setup program was stamped with another package.' "$IE_PRODUCT/readme.txt"
  ie_setup -h -u
  expect "\"-h -u\" exit code" 1 "$IE_RC"
  check "the stamped readme is removed" test ! -e "$IE_PRODUCT/readme.txt"
  ie_stamped_signed
  ie_prefix_done
  IE_SETUP_EXE=$built_exe IE_PAYLOAD=$built_payload
}

# The stamped program signed (scripts/stamp_proof.sh signs it) installs as
# the unsigned one does. WinVerifyTrust tells it from the unsigned program
# and from a copy with one package byte changed; Wine takes the throwaway
# self-signed root as trusted, where Windows would answer CERT_E_UNTRUSTEDROOT.
ie_stamped_signed() {
  local signed=$IE_BUILD/stamp/MixolyteSetup-signed.exe tampered=$IE_BUILD/stamp/MixolyteSetup-tampered.exe
  if [ ! -f "$signed" ] || [ ! -f "$tampered" ]; then
    fail "no signed program at $signed (scripts/stamp_proof.sh makes it)"
    return
  fi
  IE_SETUP_EXE=$signed
  cp "$signed" "$IE_C/Setup/MixolyteSetup.exe"
  ie_setup -h -i
  expect "signed: \"-h -i\" exit code" 1 "$IE_RC"
  ie_check_product_files
  check "signed: the installed readme is the stamped payload's" \
    grep -q 'This setup program was stamped with another package.' "$IE_PRODUCT/readme.txt"
  # 64-bit, so that it runs natively where 32-bit programs are emulated.
  local probe=$IE_WIN64/trust_check.exe
  ie_need "$probe" || return
  cp "$IE_BUILD/stamp/MixolyteSetup.exe" "$IE_C/Setup/unsigned.exe"
  cp "$tampered" "$IE_C/Setup/tampered.exe"
  cp "$probe" "$IE_C/Setup/trust_check.exe"
  local answers
  answers=$(cd "$IE_C/Setup" && timeout 120 wine 'C:\Setup\trust_check.exe' unsigned.exe MixolyteSetup.exe tampered.exe 2>/dev/null | tr -d '\r')
  echo "$answers" | sed 's/^/  WinVerifyTrust: /'
  expect "WinVerifyTrust: the unsigned program" no-signature "$(echo "$answers" | awk '$1 == "unsigned.exe" {print $3}')"
  check "WinVerifyTrust: the signed program is signed and whole" \
    grep -Eq '^MixolyteSetup.exe [0-9a-f]{8} (trusted|untrusted-root)$' <<< "$answers"
  expect "WinVerifyTrust: a package byte changed" bad-digest "$(echo "$answers" | awk '$1 == "tampered.exe" {print $3}')"
}

# ie_check_acc_tree FACE LINE1 LINE2: the window as a screen reader reads it
# (e2e/acc_probe.cpp): the client object named by the title with five
# children, the button a focusable push button named by its face with
# "Press" and Enter, the two lines and the step label static texts, each
# where it is drawn on the screen (IE_CX IE_CY IE_CW IE_CH).
ie_check_acc_tree() {
  local tree bx=$((IE_CX + IE_CW - 320)) by=$((IE_CY + IE_CH - 80))
  tree=$(ie_acc tree)
  printf '%s\n' "$tree" > "$IE_OUT/acc-tree-$1.txt"
  expect "reader: the client object" "0|10|$IE_SETUP_WINDOW|$IE_CX,$IE_CY,$IE_CW,$IE_CH" \
    "$(awk -F'|' '$1 == "0" { print $1 "|" $2 "|" $4 "|" $5 }' <<< "$tree")"
  expect "reader: five children" "children|5" "$(grep '^children|' <<< "$tree")"
  expect "reader: the button" "1|43|$1|$bx,$by,300,60|Press|Enter" \
    "$(awk -F'|' '$1 == "1" { print $1 "|" $2 "|" $4 "|" $5 "|" $6 "|" $7 }' <<< "$tree")"
  local state
  state=$(awk -F'|' '$1 == "1" { print $3 }' <<< "$tree")
  check "reader: the button is focusable ($state)" test $((${state:-0} & 0x100000)) -ne 0
  expect "reader: the status lines" "2|41|$2|3|41|$3" \
    "$(awk -F'|' '$1 == "2" || $1 == "3" { print $1 "|" $2 "|" $4 }' <<< "$tree" | paste -sd '|')"
  expect "reader: the step label's place" "4|41|$bx,$((by + 40)),300,20" \
    "$(awk -F'|' '$1 == "4" { print $1 "|" $2 "|" $5 }' <<< "$tree")"
  expect "reader: the O/S label" "5|41|$((IE_CX + 20)),$((IE_CY + 390))" \
    "$(awk -F'|' '$1 == "5" { split($5, r, ","); print $1 "|" $2 "|" r[1] "," r[2] }' <<< "$tree")"
}

# The Install offer read and pressed as a screen reader does: the tree, the
# install started through the button's default action, with the busy state
# and the step names announced as WinEvents; then the black busy box with a
# step label, then "REBOOT YOUR SYSTEM"; after its OK the program ends with 1.
# Started again, it offers Remove, which the default action carries out.
# Windows 10, so that the pin check on the DAZA device keeps the busy box up
# for a while (its step labels in detail: e2e/scenarios/daza_install.sh,
# which installs with a click).
ie_scenario_interactive() {
  echo "install e2e: interactive install, 64-bit Windows 10"
  ie_prefix interactive win64 win10
  rm -f "$IE_OUT"/interactive-*.png
  ie_setup_window "setup window did not appear" Install || { ie_prefix_done; return; }
  # Screen positions in the band under the picture (client height = picture
  # + 100): the button is 300 x 60 at its right, 20 pixels from the edges;
  # the step label strip is the bottom 20 pixels of the button.
  local left=$((IE_CX + IE_CW - 320)) band=$((IE_CY + IE_CH - 100))
  local corner_x=$((left + 10)) corner_y=$((band + 25))
  ie_screenshot interactive-0-offer
  expect "white button before the click" "255,255,255" \
    "$(ie_pixel "$IE_OUT/interactive-0-offer.png" "$corner_x" "$corner_y")"
  ie_window_client
  ie_check_acc_tree Install "Ready to install ? Click the button right there..." \
    "it will install ZT-Audio Mixolyte on your system..."
  # A reader listens for the window's events, then presses the button.
  local events=$IE_OUT/acc-events.txt
  wine "$IE_ACC_PROBE" listen 240 2>/dev/null | tr -d '\r' > "$events" &
  local listener=$!
  for _ in $(seq 40); do grep -q '^listening' "$events" 2>/dev/null && break; sleep 0.25; done
  expect "reader: Press on the Install button" "press|0x00000000" "$(ie_acc press 1)"
  # On even blink ticks the box holds only the step label: black in the
  # middle, white text in the bottom strip. (The pressed button and odd ticks
  # have a word across the middle.) Screenshots every half second, at least
  # twelve, until one shows the label alone, the reboot box ends the install,
  # or 90 s have passed (the busy box may be slow to come under emulation).
  local i=0 shot busy=0 labelled=0 middle label deadline=$((SECONDS + 90))
  while [ "$SECONDS" -lt "$deadline" ]; do
    [ "$i" -ge 12 ] && [ "$labelled" -gt 0 ] && break
    xdotool search --name '^REBOOT YOUR SYSTEM$' >/dev/null 2>&1 && break
    sleep 0.5
    i=$((i + 1))
    shot=interactive-$i-busy
    ie_screenshot "$shot"
    [ "$(ie_pixel "$IE_OUT/$shot.png" "$corner_x" "$corner_y")" = "0,0,0" ] || continue
    busy=$((busy + 1))
    middle=$(ie_white_pixels "$IE_OUT/$shot.png" $((left + 10)) $((band + 28)) 280 22)
    label=$(ie_white_pixels "$IE_OUT/$shot.png" $((left + 10)) $((band + 62)) 280 17)
    if [ "${middle:-1}" -eq 0 ] && [ "${label:-0}" -gt 10 ]; then labelled=$((labelled + 1)); fi
  done
  check "black busy box seen ($busy screenshot(s))" test "$busy" -gt 0
  check "step label alone in the box seen ($labelled screenshot(s))" test "$labelled" -gt 0
  if check "reboot box shown" ie_wait_window "REBOOT YOUR SYSTEM" 120; then
    ie_screenshot interactive-reboot-box
    check "reboot box says the install is complete" \
      grep -qF 'Installation Complete and Successful' <<< "$IE_WINDOW_TEXTS"
    ie_press_ok "REBOOT YOUR SYSTEM" || fail "could not press OK"
  fi
  ie_wait_exit 30
  expect "exit code after OK" 1 "$IE_RC"
  wait "$listener"
  # Each step is announced as the blink timer draws it (a step shorter than
  # a tick is neither drawn nor announced): the first, the pin check's, the
  # last, in that order. (The reader reads a name when the event reaches
  # it, out of context: a late one may read the step after.)
  local steps
  steps=$(awk -F'|' '$1 == "name" && $2 == "4" { print $3 }' "$events")
  expect "reader: steps announced: first, pin check, last" "Extract Package|Configure VAIOs|Installation Completed" \
    "$(grep -xE 'Extract Package|Configure VAIOs|Installation Completed' <<< "$steps" | uniq | paste -sd '|')"
  check "reader: a pin count announced" grep -qE '^name\|4\|[0-9]+/16 Pin\(s\) Ok$' "$events"
  expect "reader: the busy state announced, then its end" "busy|idle" \
    "$(awk -F'|' '$1 == "state" && $2 == "1" { print $3 }' "$events" |
       while read -r state; do [ $((state & 0x800)) -ne 0 ] && echo busy || echo idle; done | paste -sd '|')"
  ie_check_driver_runs 1 0 0
  ie_check_uninstall_entry "ZT-Audio Software"
  check "Programs and Features lists the product" \
    bash -c 'grep -qxF "$2" <<< "$1"' _ "$(ie_programs_and_features)" "Mixolyte, The Virtual Mixing Console"

  ie_setup_background
  if ie_wait_window "$IE_SETUP_WINDOW" 60 && check "the Remove offer is drawn" ie_wait_drawn 60; then
    ie_window_client
    ie_check_acc_tree Remove "Mixolyte is already installed..." \
      "previous version has to be removed before installing new one..."
    expect "reader: Press on the Remove button" "press|0x00000000" "$(ie_acc press 1)"
    if check "restart box after the Remove press" ie_wait_window "REBOOT YOUR SYSTEM" 90; then
      ie_press_ok "REBOOT YOUR SYSTEM" || fail "could not press OK"
    fi
    ie_wait_exit 30
    expect "exit code after the removal" 0 "$IE_RC"
    check "the uninstall entry went with all its values" bash -c '! wine reg query "$1" /reg:32 >/dev/null 2>&1' _ \
      "$IE_UNINSTALL_KEY"
  else
    fail "setup window did not offer Remove"
  fi
  ie_prefix_done
}

IE_ALL_SCENARIOS=(standins win10 win7 win32 daza_fails daza_fails_boxes damaged stamped interactive)

# e2e_install BUILD [SCENARIO...]: runs the scenarios; nonzero when one failed.
e2e_install() {
  trap ie_abort_cleanup EXIT
  ie_init "${1:-build}" || return 1
  ie_have_pieces || return 1
  ie_suite "install e2e" "screenshots in $IE_OUT" ie_scenario_ "${IE_ALL_SCENARIOS[*]}" "${@:2}"
}

if [ "${BASH_SOURCE[0]}" == "$0" ]; then
  set -uo pipefail
  e2e_install "$@"
fi
