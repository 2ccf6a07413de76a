#!/usr/bin/env bash
# The whole install and uninstall against the DAZA device in Wine: the real
# MixolyteSetup.exe with the payload whose DAZA driver setup installs the
# stand-in driver (standins/daza_driver/) as a root-enumerated device, in
# fresh 64-bit Windows 10 prefixes.
#
#   silent       "-h -i" exits 1; the driver answered the pin check (its
#                counts in the service's Parameters key); the sixteen endpoint
#                entries carry the channel table's names and icon paths in
#                the 64-bit registry view. A new start offers Remove (the
#                button's text as drawn, a screenshot), "-h -i" is refused
#                with -4, the interface is present; "-h -u" runs the DAZA
#                driver setup with "-h -u -H", exits 1 and leaves no present
#                DAZA interface, no service, no driver file, no endpoints.
#   interactive  a click on Install: the step label under the busy button
#                goes "Configure VAIOs", "n/16 Pin(s) Ok" with n growing,
#                "Set Pin Name/Icon" (held for the 5 s before the naming);
#                then the reboot box, and exit 1 after its OK.
#
# What the window draws is read two ways: Wine's trace of DrawTextExW (the
# "text" debug channel: the exact texts and rectangles the program drew) and
# screenshots of the screen, whose label strip must hold text, stay the same
# within a step and differ between steps. Screenshots stay in
# build/e2e/daza_install/.
#
# "16/16 Pin(s) Ok" is never on screen for long: the poll that counts 16
# ends the polling, and the label is replaced by "Set Pin Name/Icon" at once.
# That the count reached 16 shows in the timing: the polling ends one poll
# after the last partial count, not after the 60 s without change.
#
# Sourced by the e2e runner, which calls `e2e_daza_install BUILD`; or run
# alone: bash e2e/scenarios/daza_install.sh [BUILD] [silent|interactive...]
# core: silent

DI_SCENARIOS_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../install_lib.sh
source "$DI_SCENARIOS_HERE/../install_lib.sh"

DI_SERVICE_KEY='HKLM\SYSTEM\CurrentControlSet\Services\ZTMixolyteDAZAMME'
DI_AUDIO_KEY='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\MMDevices\Audio'
DI_CLASS_KEY='HKLM\SYSTEM\CurrentControlSet\Control\Class\{4D36E96C-E325-11CE-BFC1-08002BE10318}'
DI_IMAGE_PATH='\SystemRoot\System32\drivers\ztmixolytevaio64_win10.sys'
# The icon module as the naming makes it from the ImagePath.
DI_ICON_FILE='%windir%\System32\drivers\ztmixolytevaio64_win10.sys'
DI_RENDER_NAMES=("Mixolyte In 1" "Mixolyte In 2" "Mixolyte In 3" "Mixolyte In 4" "Mixolyte In 5"
                 "Mixolyte Input" "Mixolyte AUX Input" "Mixolyte DAZA3 Input")
DI_CAPTURE_NAMES=("Mixolyte Out A1" "Mixolyte Out A2" "Mixolyte Out A3" "Mixolyte Out A4" "Mixolyte Out A5"
                  "Mixolyte Out B1" "Mixolyte Out B2" "Mixolyte Out B3")

# ---------------------------------------------------------------------------
# Helpers

# di_prefix NAME: a fresh 64-bit Windows 10 prefix with the setup program in
# C:\Setup and the 32-bit DAZA probe (as the setup program, through WOW64)
# as C:\daza_probe.exe.
di_prefix() {
  ie_prefix "daza-$1" win64 win10
  cp "$DI_PROBE" "$IE_C/daza_probe.exe"
}

di_probe() { wine 'C:\daza_probe.exe' "$@" 2>/dev/null | tr -d '\r'; }

# di_count NAME: one of the driver's counts (service key, Parameters), in
# decimal; empty when absent.
di_count() {
  local value
  value=$(ie_reg_value "$DI_SERVICE_KEY\\Parameters" "$1" 64)
  [ -n "$value" ] && printf '%d\n' "${value#REG_DWORD|}"
}

# di_start_traced NAME ARGS...: starts C:\Setup\MixolyteSetup.exe in the
# background with its text drawing traced, with Wine's time stamps (seconds),
# into $IE_OUT/NAME.trace.
di_start_traced() {
  DI_TRACE=$IE_OUT/$1.trace
  shift
  : > "$DI_TRACE"
  (cd "$IE_C/Setup" && WINEDEBUG=+timestamp,trace+text exec wine 'C:\Setup\MixolyteSetup.exe' "$@" >/dev/null 2>"$DI_TRACE") &
  IE_SETUP_PID=$!
}

# di_drawn RECT: the texts the program drew into that rectangle, "(l,t)-(r,b)"
# as Wine writes it, in order, a repeated text once.
di_drawn() {
  grep -aoE 'DrawTextExW L"[^"]*", -?[0-9]+, \[\([0-9-]+,[0-9-]+\)-\([0-9-]+,[0-9-]+\)\]' "$DI_TRACE" 2>/dev/null |
    awk -v rect="[$1]" 'substr($0, length($0) - length(rect) + 1) == rect {
      text = $0; sub(/^DrawTextExW L"/, "", text); sub(/", -?[0-9]+, \[.*$/, "", text)
      if (text != last) print text; last = text }'
}

# di_drawn_at PREFIX [RECT]: Wine's time stamp of the first drawing of a text
# that starts with PREFIX (end it with '"' for the whole text), into RECT.
di_drawn_at() {
  grep -a 'trace:text:DrawTextExW L"' "$DI_TRACE" 2>/dev/null |
    awk -v p="DrawTextExW L\"$1" -v rect="${2:+[$2]}" '
      index($0, p) && (rect == "" || index($0, rect)) { split($0, f, ":"); print f[1]; exit }'
}

# di_button_rect: the rectangle of the first "Install" or "Remove" drawn (the
# button's face); DI_BUTTON and DI_STRIP (its bottom 20 pixels, where the
# step label goes while the install runs) as "(l,t)-(r,b)", and the numbers
# DI_BL DI_BT DI_BR DI_BB.
di_button_rect() {
  local rect
  rect=$(grep -aoE 'DrawTextExW L"(Install|Remove)", [0-9]+, \[\([0-9]+,[0-9]+\)-\([0-9]+,[0-9]+\)\]' "$DI_TRACE" 2>/dev/null |
         head -1 | sed 's/^.*\[//; s/\]$//')
  [ -n "$rect" ] || return 1
  IFS=', ' read -r DI_BL DI_BT DI_BR DI_BB <<< "$(printf '%s' "$rect" | tr -c '0-9\n' ' ')"
  DI_BUTTON=$rect
  DI_STRIP="($DI_BL,$((DI_BB - 20)))-($DI_BR,$DI_BB)"
}

# di_wait_button TEXT SECONDS: waits until the program drew the button with
# TEXT on its face (di_button_rect has read its rectangle).
di_wait_button() {
  local i
  for ((i = 0; i < $2 * 4; i++)); do
    di_button_rect && di_drawn "$DI_BUTTON" | grep -qxF "$1" && return 0
    sleep 0.25
  done
  return 1
}

# di_offers TEXT: the setup window is up and its button drawn with TEXT.
di_offers() { ie_wait_window "$IE_SETUP_WINDOW" 60 && di_wait_button "$1" 30; }

# The label strip of a screenshot (screen coordinates from the window's
# client origin IE_CX/IE_CY): inside the black box, below the blinking word
# above it (which reaches down to 15 pixels above the box's bottom).
di_strip_geometry() { echo "$((DI_BR - DI_BL - 2))x14+$((IE_CX + DI_BL + 1))+$((IE_CY + DI_BB - 15))"; }
di_strip_hash() { /usr/bin/convert "$1" -crop "$(di_strip_geometry)" +repage -threshold 50% -format '%#' info: 2>/dev/null; }
di_strip_white() {
  ie_white_pixels "$1" $((IE_CX + DI_BL + 1)) $((IE_CY + DI_BB - 15)) $((DI_BR - DI_BL - 2)) 14
}

# di_reboot_box_up SEEN: the loop saw the reboot box (SEEN 1) and Wine
# lists it (IE_WINDOW_TEXTS are its texts).
di_reboot_box_up() { [ "$1" = 1 ] && ie_wait_window "REBOOT YOUR SYSTEM" 30; }

# The sixteen endpoints of the DAZA driver, each with its channel's name and
# icon path (64-bit view), and none of the names in the 32-bit view.
di_check_endpoints() {
  local flow listing channel name icon_id line named=0
  for flow in Render Capture; do
    listing=$(ie_endpoint_properties "$DI_AUDIO_KEY" "$flow")
    for channel in 1 2 3 4 5 6 7 8; do
      if [ "$flow" = Render ]; then name=${DI_RENDER_NAMES[$((channel - 1))]} icon_id=$((200 + channel))
      else name=${DI_CAPTURE_NAMES[$((channel - 1))]} icon_id=$((300 + channel)); fi
      line=$(printf '%s\n' "$listing" | awk -F'\t' -v c="000$channel" \
               'tolower($2) ~ /:ztmixolytedaza$/ && substr($1, length($1) - 3) == c')
      # Name and icon as one text, a tab between them.
      if expect "$flow channel $channel: name and icon" "$name"$'\t'"$DI_ICON_FILE,-$icon_id" \
          "$(printf '%s\n' "$line" | cut -f3-4)"; then
        named=$((named + 1))
      fi
    done
  done
  expect "endpoints named with the channel table's names and icons (64-bit view)" 16 "$named"
  expect "no endpoint names in the 32-bit view" 0 \
    "$(wine reg query "$DI_AUDIO_KEY" /s /reg:32 2>/dev/null | grep -c 'Mixolyte' || true)"
  for flow in Render Capture; do
    ie_endpoint_properties "$DI_AUDIO_KEY" "$flow" | awk -F'\t' -v f="$flow" 'NF { print "        " f " " substr($1, length($1) - 3) ": " $3 " | " $4 }'
  done
}

# ---------------------------------------------------------------------------
# Scenarios

di_scenario_silent() {
  echo "daza_install e2e: \"-h -i\", a new start, \"-h -u\" (64-bit Windows 10)"
  di_prefix silent
  local started=$SECONDS
  ie_setup -h -i
  expect "\"-h -i\" exit code" 1 "$IE_RC"
  echo "  (install took $((SECONDS - started)) s, the pin check on the device included)"
  expect "the DAZA driver setup ran once, with \"-h -i -H -n\" in the product folder" \
    "ZTMixolyteDAZA_Setup_x64.exe|-h -i -H -n|$IE_PRODUCT_WIN" "$(ie_runs_of ZTMixolyteDAZA_Setup_x64.exe)"

  # The device and what the driver answered.
  expect "the device's service names the driver file" "REG_EXPAND_SZ|$DI_IMAGE_PATH" \
    "$(ie_reg_value "$DI_SERVICE_KEY" ImagePath 64)"
  check "the driver file is in System32\\drivers" \
    cmp -s "$IE_PAYLOAD/ztmixolytevaio64_win10.sys" "$IE_C/windows/system32/drivers/ztmixolytevaio64_win10.sys"
  local starts info pins
  starts=$(di_count DeviceStarts) info=$(di_count InfoRequests) pins=$(di_count PinRequests)
  echo "  (driver counts: device starts $starts, 0x222040 answered $info, 0x222050 answered $pins)"
  expect "the device was started once" 1 "$starts"
  expect "the pin check's 0x222040 was answered once" 1 "$info"
  # Eight records after opening, eight per poll; the pins climb over several
  # polls, so at least four polls ran.
  expect "0x222050 answered in whole rounds of 8 channels" 0 "$(( ${pins:-1} % 8 ))"
  check "0x222050 answered for the first records and at least four polls ($pins)" \
    test "${pins:-0}" -ge 40
  di_check_endpoints

  # A new start offers Remove.
  expect "the DAZA interface is present" PASS "$(di_probe present | cut -d' ' -f1)"
  di_start_traced remove-offer
  if check "a new start offers Remove" di_offers Remove; then
    echo "        (the button's text as drawn: $(di_drawn "$DI_BUTTON" | paste -sd '|'))"
    check "the Remove offer is on screen" ie_wait_drawn 60
    ie_screenshot silent-remove-offer
    expect "the Remove button is drawn (screenshot: white face)" "255,255,255" \
      "$(ie_pixel "$IE_OUT/silent-remove-offer.png" $((IE_CX + DI_BL + 10)) $((IE_CY + DI_BT + 10)))"
  else
    echo "        (texts drawn: $(grep -ao 'DrawTextExW L"[^"]*"' "$DI_TRACE" | sort -u | paste -sd '|'))"
  fi
  wine taskkill /im MixolyteSetup.exe >/dev/null 2>&1
  ie_wait_exit 30
  [ "$IE_RC" = 124 ] && { kill "$IE_SETUP_PID" 2>/dev/null; fail "the offer window did not close"; }
  ie_setup -h -i
  expect "\"-h -i\" refused on an installed product (-4)" 252 "$IE_RC"

  # Uninstall.
  ie_setup -h -u
  expect "\"-h -u\" exit code" 1 "$IE_RC"
  expect "the DAZA driver setup ran with \"-h -u -H\" in the product folder" \
    "ZTMixolyteDAZA_Setup_x64.exe|-h -u -H|$IE_PRODUCT_WIN" \
    "$(ie_runs_of ZTMixolyteDAZA_Setup_x64.exe | grep -F -- '|-h -u -H|' || true)"
  expect "no present DAZA interface" PASS "$(di_probe absent | cut -d' ' -f1)"
  check "the driver's service is gone" bash -c '! wine reg query "$1" /reg:64 >/dev/null 2>&1' _ "$DI_SERVICE_KEY"
  check "the driver file is gone" test ! -e "$IE_C/windows/system32/drivers/ztmixolytevaio64_win10.sys"
  expect "no media class entry of the device" 0 \
    "$(ie_reg_dump "$DI_CLASS_KEY" 64 | grep -ci 'MatchingDeviceId.*ztmixolytedaza' || true)"
  expect "no endpoint entries of the device" 0 "$(ie_reg_dump "$DI_AUDIO_KEY" 64 | grep -ci ':ztmixolytedaza' || true)"
  check "no uninstall entry" bash -c '! wine reg query "$1" /reg:32 >/dev/null 2>&1' _ "$IE_UNINSTALL_KEY"
  ie_prefix_done
}

di_scenario_interactive() {
  echo "daza_install e2e: interactive install, the pin check on screen (64-bit Windows 10)"
  di_prefix interactive
  rm -f "$IE_OUT"/interactive-*.png
  di_start_traced interactive
  if ! check "the Install offer is drawn" di_offers Install; then
    ie_prefix_done
    return
  fi
  check "the Install button is on screen" ie_wait_drawn 60
  ie_screenshot interactive-0-offer
  ie_click_client $(((DI_BL + DI_BR) / 2)) $(((DI_BT + DI_BB) / 2))

  # Screenshots while the install runs, each one kept for the step label
  # drawn just before and just after it (so that the screen shows that label).
  local -A hashes=() shots=()
  local order=() shot=$IE_OUT/.shot.png before after hash white corner n=0 box=0
  local deadline=$((SECONDS + 150))
  while [ $SECONDS -lt $deadline ]; do
    before=$(di_drawn "$DI_STRIP" | tail -1)
    import -window root "$shot" 2>/dev/null
    after=$(di_drawn "$DI_STRIP" | tail -1)
    # The reboot box ends the install (and may cover the strip): the X
    # window of that title, cheaper to find than through Wine.
    if xdotool search --name '^REBOOT YOUR SYSTEM$' >/dev/null 2>&1; then
      box=1
      break
    fi
    if [ -n "$before" ] && [ "$before" = "$after" ]; then
      hash=$(di_strip_hash "$shot")
      if [ -z "${shots[$after]:-}" ]; then
        n=$((n + 1))
        shots[$after]=$IE_OUT/interactive-$n-$(printf '%s' "$after" | tr -c 'A-Za-z0-9' '_').png
        cp "$shot" "${shots[$after]}"
        order+=("$after")
      fi
      [[ " ${hashes[$after]:-} " == *" $hash "* ]] || hashes[$after]+=" $hash"
    fi
    sleep 0.25
  done
  rm -f "$shot"
  if check "reboot box shown" di_reboot_box_up "$box"; then
    ie_screenshot interactive-reboot-box
    check "reboot box says the install is complete" \
      grep -qF 'Installation Complete and Successful' <<< "$IE_WINDOW_TEXTS"
  else
    box=0
  fi

  # The labels as drawn (trace), from "Configure VAIOs" on.
  local labels
  labels=$(di_drawn "$DI_STRIP" | sed -n '/^Configure VAIOs$/,$p')
  echo "  step labels drawn: $(printf '%s\n' "$labels" | paste -sd '|')"
  local counts
  counts=$(printf '%s\n' "$labels" | sed -n 's|^\([0-9]*\)/16 Pin(s) Ok$|\1|p' | paste -sd ' ')
  expect "after \"Configure VAIOs\": pin counts, then \"Set Pin Name/Icon\"" \
    "Configure VAIOs|COUNT|Set Pin Name/Icon" \
    "$(printf '%s\n' "$labels" | sed 's|^[0-9]*/16 Pin(s) Ok$|COUNT|' | uniq | grep -v '^Installation Completed$' | paste -sd '|')"
  check "the pin count grew over several polls ($counts)" \
    bash -c 'set -- $1; [ $# -ge 2 ] || exit 1; p=0; for c; do [ "$c" -gt "$p" ] && [ "$c" -le 16 ] || exit 1; p=$c; done' _ "$counts"
  # When they were drawn (Wine's time stamps; the window repaints every
  # 500 ms, so each up to half a second after it was set).
  local last_count="${counts##* }/16 Pin(s) Ok" count_at set_at box_text_at gap held
  count_at=$(di_drawn_at "$last_count\"" "$DI_STRIP")
  set_at=$(di_drawn_at 'Set Pin Name/Icon"' "$DI_STRIP")
  box_text_at=$(di_drawn_at 'Installation Complete and Successful')
  if [ -n "$count_at" ] && [ -n "$set_at" ] && [ -n "$box_text_at" ]; then
    gap=$(awk -v a="$count_at" -v b="$set_at" 'BEGIN { printf "%.1f", b - a }')
    held=$(awk -v a="$set_at" -v b="$box_text_at" 'BEGIN { printf "%.1f", b - a }')
    check "the polling ended ${gap} s after \"$last_count\": the next poll counted 16 (not 60 s without change)" \
      awk -v g="$gap" 'BEGIN { exit !(g < 10) }'
    check "\"Set Pin Name/Icon\" shown ${held} s before the reboot box (the 5 s wait, then the naming)" \
      awk -v h="$held" 'BEGIN { exit !(h >= 4 && h < 15) }'
  else
    fail "no time stamps in the trace for \"$last_count\", \"Set Pin Name/Icon\" or the reboot box"
  fi

  # The screenshots: one per label seen steady, the busy box black, the
  # label strip holding text, the same pixels within a label and other
  # pixels for every other label.
  local label seen_counts=0
  for label in "${order[@]}"; do
    corner=$(ie_pixel "${shots[$label]}" $((IE_CX + DI_BL + 10)) $((IE_CY + DI_BT + 5)))
    white=$(di_strip_white "${shots[$label]}")
    echo "    $(basename "${shots[$label]}"): label \"$label\", box corner $corner, $white white pixels in the strip," \
         "$(printf '%s' "${hashes[$label]}" | wc -w) strip picture(s)"
  done
  for label in "Configure VAIOs" "Set Pin Name/Icon"; do
    check "a screenshot shows \"$label\"" test -n "${shots[$label]:-}"
  done
  for label in "${order[@]}"; do
    [[ "$label" == */16\ Pin\(s\)\ Ok ]] && seen_counts=$((seen_counts + 1))
  done
  check "screenshots show $seen_counts pin count(s)" test "$seen_counts" -ge 1
  local bad_box=0 empty=0 unstable=0 all_hashes=""
  for label in "${order[@]}"; do
    [ "$(ie_pixel "${shots[$label]}" $((IE_CX + DI_BL + 10)) $((IE_CY + DI_BT + 5)))" = "0,0,0" ] || bad_box=$((bad_box + 1))
    [ "$(di_strip_white "${shots[$label]}")" -gt 20 ] || empty=$((empty + 1))
    [ "$(printf '%s' "${hashes[$label]}" | wc -w)" -eq 1 ] || unstable=$((unstable + 1))
    all_hashes+="${hashes[$label]}"$'\n'
  done
  expect "screenshots without the black busy box" 0 "$bad_box"
  expect "screenshots with an empty label strip" 0 "$empty"
  expect "labels whose strip looked different in two screenshots" 0 "$unstable"
  expect "labels sharing one strip picture with another label" 0 \
    "$(printf '%s' "$all_hashes" | tr ' ' '\n' | grep . | sort | uniq -d | wc -l)"

  # The reboot box ends the run; it stays open while the checks run.
  [ "$box" = 1 ] && ie_press_ok "REBOOT YOUR SYSTEM" || fail "could not press OK on the reboot box"
  ie_wait_exit 30
  expect "exit code after OK" 1 "$IE_RC"
  expect "the pin check's 0x222040 was answered once" 1 "$(di_count InfoRequests)"
  di_check_endpoints
  ie_prefix_done
}

DI_ALL_SCENARIOS=(silent interactive)

# e2e_daza_install BUILD [SCENARIO...]: runs the scenarios; nonzero when one failed.
e2e_daza_install() {
  trap ie_abort_cleanup EXIT
  ie_init "${1:-build}" e2e/daza_install || return 1
  DI_PROBE=$IE_BUILD/standins32/daza_probe.exe
  if ! ie_have_pieces || ! ie_need "$DI_PROBE"; then return 1; fi
  ie_suite "daza_install e2e" "screenshots and traces in $IE_OUT" di_scenario_ "${DI_ALL_SCENARIOS[*]}" "${@:2}"
}

if [ "${BASH_SOURCE[0]}" == "$0" ]; then
  set -uo pipefail
  e2e_daza_install "$@"
fi
