# shellcheck shell=bash
# The scaffolding of every Wine suite (e2e/scenarios/*.sh, e2e/demo.sh) and
# the install benchmark: paths and the Windows-side helpers of the build,
# a display, fresh Wine prefixes, programs started and waited for, the
# registry read with `wine reg query`, the stand-ins' run log, shortcuts
# read through the shell (win_ops.exe), windows and boxes with
# window_list.exe and xdotool, screenshots. Sourced, not run. Every function
# name starts with ie_; the assertions (expect, check, fail, skip) and their
# count come from e2e/expect.sh.
#
#   ie_init BUILD [OUT]      paths (IE_BUILD, IE_WIN32, IE_WIN64, IE_SETUP_EXE,
#                            IE_PAYLOAD, IE_OUT: BUILD/OUT, default
#                            BUILD/e2e/install), the count reset, a display
#   ie_need FILE...          fails, naming them, when files are missing
#   ie_suite ...             runs a suite's scenario functions, then its count
#   ie_prefix NAME ARCH [VERSION]   a fresh prefix for one scenario;
#                            ie_prefix_done ends it
#   ie_each_prefix SUITE FUNCTION WHERE...   a scenario once per prefix
#   ie_start NAME EXE [ARGS...], ie_wait NAME [SECONDS], ie_running NAME
#                            programs started in the background, by name
#   ie_setup ARGS...         the setup program, waited for (IE_RC)

IE_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
IE_ROOT=$(dirname "$IE_HERE")
# shellcheck source=expect.sh
. "$IE_HERE/expect.sh"
# shellcheck source=screen.sh
. "$IE_HERE/screen.sh"

IE_UNINSTALL_KEY='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\ZT:Mixolyte {17359A74-1236-5467}'
IE_SETTINGS_KEY='HKCU\ZT-Audio\MixoLyte'
IE_QUADWIRE_KEY='HKLM\SOFTWARE\ZT-Audio\QuadWire'
IE_QUADWIRE_SERVICE_KEY='HKLM\SYSTEM\CurrentControlSet\Services\ZT-QuadWire'
IE_ASIO_KEY='HKLM\SOFTWARE\ASIO'
IE_SETUP_WINDOW='Mixolyte Installation (Version 2.1.2.2)'
declare -gA IE_PIDS=()
declare -gA IE_LNK=()

# ie_init BUILD [OUT]: paths, the Windows-side helpers' places, an X display.
# The helpers are built by CMake (cmake/e2e_helpers.cmake) into the build
# of their bitness: BUILD/win32 (most) and BUILD/win64.
ie_init() {
  IE_BUILD=$(cd "$1" && pwd) || return 1
  IE_WIN32=$IE_BUILD/win32
  IE_WIN64=$IE_BUILD/win64
  IE_SETUP_EXE=$IE_WIN32/MixolyteSetup.exe
  IE_PAYLOAD=$IE_BUILD/payload
  IE_OUT=$IE_BUILD/${2:-e2e/install}
  IE_WINDOW_LIST=$IE_WIN32/window_list.exe
  IE_WIN_OPS=$IE_WIN32/win_ops.exe
  IE_ACC_PROBE=$IE_WIN32/acc_probe.exe
  IE_PROBE=$IE_WIN32/winprobe.exe
  expect_reset
  IE_PASSED=0
  IE_FAILED=0
  export WINEDEBUG=-all
  mkdir -p "$IE_OUT"
  ie_ensure_display
}

# ie_need FILE...: succeeds when every file is there; else fails, naming
# those missing (the suite cannot start: a failure, not a skip).
ie_need() {
  local file absent=()
  for file in "$@"; do [ -e "$file" ] || absent+=("${file#"$IE_BUILD"/}"); done
  [ ${#absent[@]} -eq 0 ] && return 0
  fail "missing in $IE_BUILD: ${absent[*]} (make build)"
}

# The setup program, the payload it carries, and the helpers of the
# window and file scenarios.
ie_have_pieces() {
  ie_need "$IE_SETUP_EXE" "$IE_PAYLOAD" "$IE_WINDOW_LIST" "$IE_WIN_OPS" "$IE_ACC_PROBE"
}

# Uses the display the caller has (the e2e runner's), or starts a private
# Xvfb for this run (e2e/xvfb.sh).
ie_ensure_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  # shellcheck source=xvfb.sh
  . "$IE_HERE/xvfb.sh"
  start_xvfb || return 1
  IE_OWN_DISPLAY=1
}

ie_stop_display() {
  if [ -n "${IE_OWN_DISPLAY:-}" ]; then stop_xvfb; IE_OWN_DISPLAY=; fi
}

# ie_suite NAME NOTE PREFIX "ALL" [SCENARIO...]: the rest of a suite's entry,
# once ie_init has run and the suite has found its pieces: runs the scenario
# functions PREFIX<scenario> for the SCENARIOs named, or for every name of
# the list ALL (one word, space-separated) when none is, then prints the
# count as NAME (with NOTE when not empty). Nonzero when a check failed.
ie_suite() {
  local name=$1 note=$2 prefix=$3 all=$4
  shift 4
  local scenarios=("$@") s
  [ ${#scenarios[@]} -eq 0 ] && read -ra scenarios <<< "$all"
  for s in "${scenarios[@]}"; do
    "$prefix$s"
  done
  ie_stop_display
  expect_summary "$name" "$note"
}

# ---------------------------------------------------------------------------
# Prefixes

# ie_prefix NAME win64|win32 [win10|win7]: a fresh copy of the base prefix,
# with a wineserver kept running for the whole scenario (so that every
# `wine reg` does not start one), and the setup program in C:\Setup.
ie_prefix() {
  local name=$1 arch=$2 version=${3:-}
  expect_scenario_begin
  # shellcheck disable=SC2086 # no version: no argument
  IE_PREFIX=$(bash "$IE_HERE/wine_prefix.sh" copy "$IE_BUILD" "$arch" "ie-$name" $version) || {
    fail "no prefix $name ($arch${version:+, $version})"
    return 1
  }
  IE_ARCH=$arch
  IE_C=$IE_PREFIX/drive_c
  export WINEPREFIX=$IE_PREFIX
  IE_PREFIX_ACTIVE=1
  wineserver -p
  mkdir -p "$IE_C/Setup"
  [ ! -f "$IE_SETUP_EXE" ] || cp "$IE_SETUP_EXE" "$IE_C/Setup/MixolyteSetup.exe"
  if [ "$arch" = win64 ]; then
    IE_PRODUCT_WIN='C:\Program Files (x86)\ZT\Mixolyte'
    IE_PRODUCT=$IE_C/Program\ Files\ \(x86\)/ZT/Mixolyte
  else
    IE_PRODUCT_WIN='C:\Program Files\ZT\Mixolyte'
    IE_PRODUCT=$IE_C/Program\ Files/ZT/Mixolyte
  fi
  IE_SHORTCUTS=$IE_C/ProgramData/Microsoft/Windows/Start\ Menu/Programs/ZT\ Audio/MixoLyte
  IE_RUN_LOG=$IE_C/ProgramData/ZT-Audio/standin-runs.log
}

# Ends the scenario's Wine session and the programs ie_start started; the
# prefix copy is removed when the scenario passed (about 1 GB each) and
# kept for a look when it failed.
ie_prefix_done() {
  local name
  for name in "${!IE_PIDS[@]}"; do kill "${IE_PIDS[$name]}" 2>/dev/null || true; done
  wineserver -k 2>/dev/null || true
  for name in "${!IE_PIDS[@]}"; do wait "${IE_PIDS[$name]}" 2>/dev/null || true; done
  IE_PIDS=()
  wineserver -w 2>/dev/null || true
  if expect_scenario_failed; then
    echo "  (prefix kept: $IE_PREFIX)"
  else
    rm -rf "$IE_PREFIX"
  fi
  IE_PREFIX_ACTIVE=
  unset WINEPREFIX
}

# For an EXIT trap: a run cut short (an error, an interrupt) leaves no
# persistent wineserver and no private display behind.
ie_abort_cleanup() {
  if [ -n "${IE_PREFIX_ACTIVE:-}" ]; then WINEPREFIX=$IE_PREFIX wineserver -k 2>/dev/null || true; fi
  ie_stop_display
}

# ie_each_prefix SUITE FUNCTION WHERE...: the scenario FUNCTION once per
# prefix WHERE (win64 or win32, optionally with a Windows version:
# win64/win7), each in a fresh prefix; IE_TAG names scenario and prefix in
# one word (for files). E2E_ARCHS, when set, limits the architectures: a
# prefix left out is reported as skipped. IE_PASSED and IE_FAILED count the
# runs.
ie_each_prefix() {
  local suite=$1 function=$2 where started
  shift 2
  for where in "$@"; do
    if [ -n "${E2E_ARCHS:-}" ] && [[ " $E2E_ARCHS " != *" ${where%%/*} "* ]]; then
      skip "$function in $where" "E2E_ARCHS=$E2E_ARCHS"
      continue
    fi
    IE_TAG=$suite-$function-${where//\//-}
    echo "  $function in $where"
    started=$SECONDS
    # shellcheck disable=SC2046 # no version: no argument
    if ! ie_prefix "$IE_TAG" "${where%%/*}" $([[ "$where" == */* ]] && echo "${where#*/}"); then
      IE_FAILED=$((IE_FAILED + 1))
      continue
    fi
    "$function"
    if expect_scenario_failed; then
      IE_FAILED=$((IE_FAILED + 1))
      echo "  $function in $where FAILED ($((SECONDS - started)) s)"
    else
      IE_PASSED=$((IE_PASSED + 1))
      echo "  $function in $where passed ($((SECONDS - started)) s)"
    fi
    ie_prefix_done
  done
}

# ---------------------------------------------------------------------------
# Programs started in the background, by name (within one scenario)

# ie_start NAME EXE [ARGS...]: starts a Windows program in the prefix; its
# output goes to IE_OUT/IE_TAG-NAME.log, its exit code to ….exit.
ie_start() {
  local name=$1
  shift
  local status=$IE_OUT/$IE_TAG-$name.exit
  rm -f "$status"
  (
    wine "$@" >"$IE_OUT/$IE_TAG-$name.log" 2>&1
    echo $? >"$status.part"
    mv "$status.part" "$status"
  ) &
  IE_PIDS[$name]=$!
}

# ie_running NAME: succeeds while it runs.
ie_running() { [ ! -f "$IE_OUT/$IE_TAG-$1.exit" ] && kill -0 "${IE_PIDS[$1]}" 2>/dev/null; }

# ie_wait NAME [SECONDS]: its exit code as the shell sees it, or "running"
# after SECONDS (default 30).
ie_wait() {
  local status=$IE_OUT/$IE_TAG-$1.exit seconds=${2:-30} i
  for ((i = 0; i < seconds * 10; i++)); do
    if [ -f "$status" ]; then
      cat "$status"
      return 0
    fi
    sleep 0.1
  done
  echo running
}

# ie_probe ARGS...: the window probe (e2e/winprobe.cpp): wait, info, count
# and close windows by class.
ie_probe() { wine "$IE_PROBE" "$@" 2>/dev/null | tr -d '\r'; }

# ie_setup ARGS...: runs C:\Setup\MixolyteSetup.exe from its folder and
# waits for it; IE_RC is the exit code as the shell sees it (low 8 bits).
ie_setup() {
  IE_RC=0
  (cd "$IE_C/Setup" && timeout 300 wine 'C:\Setup\MixolyteSetup.exe' "$@" >/dev/null 2>&1) || IE_RC=$?
}

# ie_setup_background ARGS...: starts it and returns; IE_SETUP_PID is the
# shell's wine process, whose exit status is the program's.
ie_setup_background() {
  (cd "$IE_C/Setup" && exec wine 'C:\Setup\MixolyteSetup.exe' "$@" >/dev/null 2>&1) &
  IE_SETUP_PID=$!
}

# ie_command_background COMMAND_LINE: starts a command line as Windows
# does when no program is named apart from it (win_ops.exe exec, from C:\),
# and returns; IE_SETUP_PID as above, its exit status the program's.
ie_command_background() {
  (cd "$IE_C" && exec wine "$IE_WIN_OPS" exec "$1" 'C:\' >/dev/null 2>&1) &
  IE_SETUP_PID=$!
}

# ie_setup_window FAILURE [OFFER]: starts the setup program with its window
# and waits up to 60 s for it; when none came, fails FAILURE and gives 1 (the
# caller ends its scenario). With OFFER (Install, Remove), also checks "the
# OFFER offer is drawn"; that check does not stop the scenario.
ie_setup_window() {
  ie_setup_background
  if ! ie_wait_window "$IE_SETUP_WINDOW" 60; then
    fail "$1"
    return 1
  fi
  [ -z "${2:-}" ] || check "the $2 offer is drawn" ie_wait_drawn 60
  return 0
}

# ie_wait_exit SECONDS: waits for the background setup program; IE_RC as above
# (124 when it did not end in time).
ie_wait_exit() {
  local limit=$1 i
  for ((i = 0; i < limit * 10; i++)); do
    if ! kill -0 "$IE_SETUP_PID" 2>/dev/null; then
      IE_RC=0
      wait "$IE_SETUP_PID" || IE_RC=$?
      return 0
    fi
    sleep 0.1
  done
  IE_RC=124
}

# ---------------------------------------------------------------------------
# Registry, read the way a user's tools do

# ie_reg_value KEY VALUE VIEW(32|64): "TYPE|DATA", or nothing when absent.
# `(Default)` reads the default value.
ie_reg_value() {
  local key=$1 value=$2 view=$3 out
  if [ "$value" = "(Default)" ]; then
    out=$(wine reg query "$key" /ve "/reg:$view" 2>/dev/null | tr -d '\r') || return 0
  else
    out=$(wine reg query "$key" /v "$value" "/reg:$view" 2>/dev/null | tr -d '\r') || return 0
  fi
  printf '%s\n' "$out" | awk -v name="$value" -F '    ' '
    $2 == name && NF >= 3 { data = $4; for (i = 5; i <= NF; i++) data = data "    " $i; print $3 "|" data; exit }'
}

# ie_programs_and_features: the names Programs and Features lists, one a
# line: the DisplayName of every uninstall entry, machine-wide in both
# registry views and the user's own, read from the registry itself.
ie_programs_and_features() {
  local key='SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall' view
  {
    for view in 32 64; do wine reg query "HKLM\\$key" /s /v DisplayName "/reg:$view" 2>/dev/null; done
    wine reg query "HKCU\\$key" /s /v DisplayName 2>/dev/null
  } | tr -d '\r' | sed -n 's/^ *DisplayName *REG_SZ *//p' | sort -u
}

ie_key_exists() {  # ie_key_exists KEY VIEW
  wine reg query "$1" "/reg:$2" >/dev/null 2>&1
}

# Everything below KEY in one view, as text (for before/after comparisons).
ie_reg_dump() {  # ie_reg_dump KEY VIEW
  wine reg query "$1" /s "/reg:$2" 2>/dev/null | tr -d '\r' || true
}

# ie_endpoint_properties AUDIO_KEY FLOW: the audio endpoints of a flow (Render,
# Capture) below AUDIO_KEY in the 64-bit view, one line each: channel value,
# driver id, name, icon (tab-separated).
ie_endpoint_properties() {
  wine reg query "$1\\$2" /s /reg:64 2>/dev/null | tr -d '\r' | awk -F'    ' '
    /^HKEY_/ { if (key ~ /\\Properties$/) print channel "\t" id "\t" name "\t" icon
               key = $0; channel = id = name = icon = ""; next }
    $2 == "{233164c8-1b2c-4c7d-bc68-b671687a2567},1" { channel = $4 }
    $2 == "{83da6326-97a6-4088-9453-a1923f573b29},3" { id = $4 }
    $2 == "{a45c254e-df1c-4efd-8020-67d146a850e0},2" { name = $4 }
    $2 == "{259abffc-50a7-47ce-af08-68c9a7d73366},12" { icon = $4 }
    END { if (key ~ /\\Properties$/) print channel "\t" id "\t" name "\t" icon }'
}

# ---------------------------------------------------------------------------
# Files and logs

# Lines of the stand-ins' run log that start with the program name.
ie_runs_of() {  # ie_runs_of EXE_NAME
  [ -f "$IE_RUN_LOG" ] || return 0
  tr -d '\r' < "$IE_RUN_LOG" | grep -F "$1|" || true
}
ie_run_count() { ie_runs_of "$1" | grep -c . || true; }

# A state fingerprint of what an install touches: files with size, time and
# digest; registry keys in both views. Two equal fingerprints: nothing changed.
ie_fingerprint() {
  local folder
  for folder in "$IE_PRODUCT" "$IE_SHORTCUTS" "$IE_C/ProgramData/ZT-Audio" "$IE_C/windows/inf"; do
    [ -d "$folder" ] || { echo "absent: $folder"; continue; }
    (cd "$folder" && find . -type f -printf '%p %s %T@\n' | sort && find . -type f -print0 | sort -z |
      xargs -0 -r md5sum)
  done
  local key view
  for view in 32 64; do
    for key in "$IE_UNINSTALL_KEY" "$IE_SETTINGS_KEY" "$IE_QUADWIRE_KEY" "$IE_QUADWIRE_SERVICE_KEY" \
               "$IE_ASIO_KEY" 'HKLM\SYSTEM\CurrentControlSet\Services\ZTMixolyteDAZAMME' \
               'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\MMDevices\Audio' \
               'HKLM\SYSTEM\CurrentControlSet\Control\Class\{4D36E96C-E325-11CE-BFC1-08002BE10318}'; do
      echo "[$view] $key"
      ie_reg_dump "$key" "$view"
    done
  done
}

# ie_win_path FILE: the Windows path of a file in the prefix (drive C: is
# IE_C; anything else through winepath).
ie_win_path() {
  local file=$1
  if [[ "$file" == "$IE_C"/* ]]; then
    file=${file#"$IE_C"/}
    printf 'C:\\%s\n' "${file//\//\\}"
  else
    winepath -w "$file" 2>/dev/null | tr -d '\r'
  fi
}

# Shortcuts, read as Windows reads them (IShellLinkW, win_ops.exe shortcut):
# ie_lnk_read FILE... reads the files that exist (Unix paths in the prefix)
# in one program start into IE_LNK, in place of those read before.
ie_lnk_read() {
  local files=() paths=() file line key k=-1
  IE_LNK=()
  for file in "$@"; do
    [ -f "$file" ] || continue
    files+=("$file")
    paths+=("$(ie_win_path "$file")")
  done
  [ ${#files[@]} -gt 0 ] || return 0
  while IFS= read -r line; do
    [ "${line%% *}" = shortcut ] && k=$((k + 1))
    if [ "$k" -lt 0 ] || [ "$k" -ge ${#files[@]} ]; then continue; fi
    key="${files[k]}|${line%% *}"
    IE_LNK[$key]=${line#* }
  done < <(ie_win_ops shortcut "${paths[@]}")
}

# ie_lnk_field FILE FIELD: one field of a shortcut: target, arguments,
# folder (the working folder), description, icon (PATH,INDEX), show; read
# first when the file was not among those ie_lnk_read read last.
ie_lnk_field() {
  [ -n "${IE_LNK[$1|shortcut]+set}" ] || ie_lnk_read "$1"
  printf '%s\n' "${IE_LNK[$1|$2]:-}"
}

# ---------------------------------------------------------------------------
# Windows, boxes, screenshots

ie_window_list() { wine "$IE_WINDOW_LIST" 2>/dev/null | tr -d '\r'; }

# ie_win_ops ARGS...: win_ops.exe's one line of answer.
ie_win_ops() { wine "$IE_WIN_OPS" "$@" 2>/dev/null | tr -d '\r'; }
# ie_acc ARGS...: the accessibility client on the setup window (e2e/acc_probe.cpp).
ie_acc() { wine "$IE_ACC_PROBE" "$@" 2>/dev/null | tr -d '\r'; }

# ie_wait_window TITLE SECONDS: waits for a visible top-level window with
# that exact title; IE_WINDOW is its "W|..." line, IE_WINDOW_TEXTS the texts
# of its children (one per line). Gives 1 when none came.
ie_wait_window() {
  local title=$1 limit=$2 i listing
  for ((i = 0; i < limit * 2; i++)); do
    listing=$(ie_window_list)
    IE_WINDOW=$(printf '%s\n' "$listing" | awk -F '|' -v t="$title" '$1 == "W" && $4 == t { print; exit }')
    if [ -n "$IE_WINDOW" ]; then
      local handle
      handle=$(printf '%s' "$IE_WINDOW" | cut -d'|' -f2)
      IE_WINDOW_TEXTS=$(printf '%s\n' "$listing" | awk -F '|' -v h="$handle" '
        $1 == "W" { inside = ($2 == h) } $1 == "C" && inside { print $4 }')
      return 0
    fi
    sleep 0.5
  done
  return 1
}

# ie_wait_titles SECONDS TITLE...: waits until a window with one of the
# titles is up; IE_TITLES_SEEN lists which of them were up at that moment,
# one per line. Gives 1 when none came.
ie_wait_titles() {
  local limit=$1 i listing title
  shift
  for ((i = 0; i < limit * 4; i++)); do
    listing=$(ie_window_list)
    IE_TITLES_SEEN=""
    for title in "$@"; do
      if printf '%s\n' "$listing" | awk -F '|' -v t="$title" '$1 == "W" && $4 == t { found = 1 } END { exit !found }'; then
        IE_TITLES_SEEN+="$title"$'\n'
      fi
    done
    [ -n "$IE_TITLES_SEEN" ] && return 0
    sleep 0.25
  done
  return 1
}

# ie_wait_painted X Y SECONDS: waits until the screen pixel is white (the
# setup window's button is drawn, so a click can hit it).
ie_wait_painted() {
  local deadline=$((SECONDS + $3))
  while :; do
    import -window root "$IE_OUT/.probe.png" 2>/dev/null
    [ "$(ie_pixel "$IE_OUT/.probe.png" "$1" "$2")" = "255,255,255" ] && { rm -f "$IE_OUT/.probe.png"; return 0; }
    [ "$SECONDS" -lt "$deadline" ] || break
    sleep 0.25
  done
  rm -f "$IE_OUT/.probe.png"
  return 1
}

# ie_wait_drawn SECONDS: waits until the setup window (IE_WINDOW, as
# ie_wait_window found it) is drawn: its button's face white and its client
# area the same in two grabs in a row (IE_CX IE_CY IE_CW IE_CH are read on
# the way). Gives 1 after SECONDS without that.
ie_wait_drawn() {
  local deadline=$((SECONDS + $1))
  ie_window_client
  ie_wait_painted $((IE_CX + IE_CW - 310)) $((IE_CY + IE_CH - 75)) "$1" || return 1
  screen_settled "${IE_CW}x${IE_CH}+${IE_CX}+${IE_CY}" $((deadline > SECONDS ? deadline - SECONDS : 1))
}

# ie_wait_gone TITLE SECONDS: waits until no top-level window has that
# title. Gives 1 after SECONDS with it still up.
ie_wait_gone() {
  local deadline=$((SECONDS + $2))
  while ie_window_list | awk -F '|' -v t="$1" '$1 == "W" && $4 == t { found = 1 } END { exit !found }'; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.25
  done
}

# Client area origin and size of IE_WINDOW: IE_CX IE_CY IE_CW IE_CH.
ie_window_client() {
  local rect
  rect=$(printf '%s' "$IE_WINDOW" | cut -d'|' -f5)
  IFS=, read -r IE_CX IE_CY IE_CW IE_CH <<< "$rect"
}

# ie_click_client X Y: a real mouse click at client coordinates of IE_WINDOW
# (ie_window_client has read them).
ie_click_client() {
  xdotool mousemove "$((IE_CX + $1))" "$((IE_CY + $2))" sleep 0.2 click 1
}

# ie_press_ok TITLE: clicks the OK button of the box with that title.
ie_press_ok() {
  ie_wait_window "$1" 5 || return 1
  local handle listing button
  handle=$(printf '%s' "$IE_WINDOW" | cut -d'|' -f2)
  listing=$(ie_window_list)
  button=$(printf '%s\n' "$listing" | awk -F '|' -v h="$handle" '
    $1 == "W" { inside = ($2 == h) } $1 == "C" && inside && $3 == "Button" && $4 == "OK" { print $5; exit }')
  [ -n "$button" ] || return 1
  local x y w h
  IFS=, read -r x y w h <<< "$button"
  xdotool mousemove "$((x + w / 2))" "$((y + h / 2))" sleep 0.2 click 1
}

# ie_screenshot NAME: the whole screen into build/e2e/install/NAME.png.
ie_screenshot() {
  import -window root "$IE_OUT/$1.png" 2>/dev/null
}

# ie_pixel FILE X Y: "r,g,b" of a screenshot at screen coordinates.
ie_pixel() {
  /usr/bin/convert "$1" -format '%[fx:int(255*p{'"$2"','"$3"'}.r)],%[fx:int(255*p{'"$2"','"$3"'}.g)],%[fx:int(255*p{'"$2"','"$3"'}.b)]' info: 2>/dev/null
}

# ie_white_pixels FILE X Y W H: how many near-white pixels the region holds.
ie_white_pixels() {
  /usr/bin/convert "$1" -crop "$4x$5+$2+$3" +repage -fuzz 20% -fill black +opaque white \
    -fill white -opaque white -format '%[fx:int(mean*w*h+0.5)]' info: 2>/dev/null
}
