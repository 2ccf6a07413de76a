#!/usr/bin/env bash
# Endpoint naming in Wine, in a copy of the 64-bit prefix: the DAZA driver's
# entries are written in the 64-bit view as its 64-bit driver setup writes
# them (by the DAZA stand-in when it is built, else by the test program),
# the 32-bit test program runs NameVirtualEndpoints, and the sixteen names
# and icon paths are read back with `wine reg query` from the 64-bit view.
# The test program is BUILD/win32/endpoints_e2e.exe (ENDPOINTS_EXE may name
# another), DAZA_SETUP may name the stand-in.
#
# Sourced by the e2e runner, which calls `e2e_endpoints BUILD`; or run alone:
#   bash e2e/scenarios/endpoints.sh [BUILD]
# The checks go on after a failed one.

# shellcheck source=../install_lib.sh
. "$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/install_lib.sh"

ep_scenario_naming() {
  local exe=$EP_EXE audio service standin candidate writer folder status image rest driver_file named flow channel
  local listing line got_name got_icon ok others name icon_id
  ie_prefix endpoints win64 || return
  audio='HKLM\Software\Microsoft\Windows\CurrentVersion\MMDevices\Audio'
  service='HKLM\SYSTEM\CurrentControlSet\Services\ZTMixolyteDAZAMME'

  # The DAZA stand-in with its driver file and INF beside it, when built (it
  # installs the device from the INF).
  standin=
  for candidate in "${DAZA_SETUP:-}" "$IE_BUILD/win64/standins/ZTMixolyteDAZA_Setup_x64.exe" \
                   "$IE_BUILD/standins64/ZTMixolyteDAZA_Setup_x64.exe"; do
    if [ -n "$candidate" ] && [ -f "$candidate" ] && [ -f "$(dirname "$candidate")/ztmixolytevaio64_win10.sys" ] &&
         [ -f "$(dirname "$candidate")/ztmixolytevaio64_win10.inf" ]; then
      standin=$candidate
      break
    fi
  done

  if [ -n "$standin" ]; then
    writer="the DAZA stand-in ($standin)"
    # Started as the setup program starts it: from the product folder, with
    # its switches.
    folder="$IE_C/Program Files (x86)/ZT/Mixolyte"
    if ! mkdir -p "$folder" || ! cp "$standin" "$(dirname "$standin")/ztmixolytevaio64_win10.sys" \
         "$(dirname "$standin")/ztmixolytevaio64_win10.inf" "$folder/"; then
      fail "cannot put the DAZA stand-in into $folder"
      ie_prefix_done
      return
    fi
    status=0
    (cd "$folder" && wine ./ZTMixolyteDAZA_Setup_x64.exe -h -i -H -n) || status=$?
    expect "the DAZA stand-in's exit code" 0 "$status"
  else
    writer="the test program"
    check "the test program writes the entries" wine "$exe" write
  fi
  echo "endpoints: entries written by $writer"

  status=0
  wine "$exe" name || status=$?
  expect "NameVirtualEndpoints (the test program's exit code)" 0 "$status"

  # The driver file as the naming makes it: %windir% for the ImagePath's first
  # component.
  image=$(wine reg query "$service" /v ImagePath /reg:64 2>/dev/null | tr -d '\r' |
          awk -F'    ' '$2 == "ImagePath" { print $4 }')
  check "an ImagePath in $service" test -n "$image"
  rest=${image#\\}
  rest=${rest#*\\}
  driver_file="%windir%\\$rest"

  render_names=("Mixolyte In 1" "Mixolyte In 2" "Mixolyte In 3" "Mixolyte In 4" "Mixolyte In 5"
                "Mixolyte Input" "Mixolyte AUX Input" "Mixolyte DAZA3 Input")
  capture_names=("Mixolyte Out A1" "Mixolyte Out A2" "Mixolyte Out A3" "Mixolyte Out A4" "Mixolyte Out A5"
                 "Mixolyte Out B1" "Mixolyte Out B2" "Mixolyte Out B3")
  named=0
  for flow in Render Capture; do
    listing=$(ie_endpoint_properties "$audio" "$flow")
    for channel in 1 2 3 4 5 6 7 8; do
      if [ "$flow" = Render ]; then name=${render_names[$((channel - 1))]}; icon_id=$((200 + channel))
      else name=${capture_names[$((channel - 1))]}; icon_id=$((300 + channel)); fi
      line=$(printf '%s\n' "$listing" | awk -F'\t' -v c="000$channel" \
               'tolower($2) ~ /:ztmixolytedaza$/ && substr($1, length($1) - 3) == c')
      check "$flow channel $channel: a DAZA endpoint" test -n "$line" || continue
      got_name=$(printf '%s\n' "$line" | cut -f3)
      got_icon=$(printf '%s\n' "$line" | cut -f4)
      echo "endpoints: $flow $channel: \"$got_name\" icon $got_icon"
      ok=1
      expect "$flow channel $channel: name" "$name" "$got_name" || ok=0
      expect "$flow channel $channel: icon" "$driver_file,-$icon_id" "$got_icon" || ok=0
      named=$((named + ok))
    done
    # Endpoints of other drivers keep their names.
    others=$(printf '%s\n' "$listing" | awk -F'\t' 'NF && tolower($2) !~ /:ztmixolytedaza$/ { print $3 }')
    expect "$flow: other drivers' endpoints with our names (none: not renamed)" "" "$(printf '%s\n' "$others" | grep '^Mixolyte')"
  done
  echo "endpoints: $named of 16 endpoints named in the 64-bit view"

  # Nothing of it in the 32-bit view.
  expect "names written into the 32-bit view" 0 "$(wine reg query "$audio" /s /reg:32 2>/dev/null | grep -c 'Mixolyte')"

  # With the stand-in's driver file in place, the icon paths point at its icons.
  if [ -n "$standin" ]; then
    check "the icon paths resolve to icons of the driver file" wine "$exe" icons
  fi

  ie_prefix_done
}

# e2e_endpoints BUILD: nonzero when a check failed.
e2e_endpoints() {
  trap ie_abort_cleanup EXIT
  ie_init "${1:-build}" e2e/endpoints || return 1
  EP_EXE=${ENDPOINTS_EXE:-$IE_WIN32/endpoints_e2e.exe}
  ie_need "$EP_EXE" || return 1
  ie_suite endpoints "" ep_scenario_ naming
}

if [ "${BASH_SOURCE[0]}" == "$0" ]; then
  set -uo pipefail
  e2e_endpoints "$@"
fi
