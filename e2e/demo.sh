#!/usr/bin/env bash
# make demo: the setup program's main job as a user sees it. In a fresh
# 64-bit Windows 10 prefix with the stand-in DAZA driver, the real
# MixolyteSetup.exe is started, its Install button clicked, the install
# watched to its end box; then the uninstaller it left is started as
# "Apps & features" starts it, its Remove button clicked and the restart box
# closed. Pictures of the window at every stage, and after each stage what
# the machine holds, read back through Windows (e2e/demo_readback.cpp:
# files with their MD5, registry trees in both views; the shortcuts through
# the shell's link object, e2e/win_ops.cpp), go into one page:
# BUILD/demo/index.html.
#
#   demo.sh BUILD            the demo
#   demo.sh BUILD --check    the demo, then its checks (e2e/demo_check.sh):
#                            exit codes, pictures, and the tables against
#                            what the install must leave and the removal take
#
# Besides the page, BUILD/demo holds the pictures (NN-*.png, captions in
# pictures.tsv), the tables as tab-separated files (tables/STAGE-NAME.tsv),
# the raw read-backs (readback/STAGE.txt) and run.tsv (exit codes, boxes).

DEMO_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scenarios/daza_install.sh
source "$DEMO_HERE/scenarios/daza_install.sh"
# shellcheck source=demo_page.sh
source "$DEMO_HERE/demo_page.sh"

DEMO_PRODUCT_ROOT='C:\Program Files (x86)\ZT'
DEMO_MENU_ROOT='C:\ProgramData\Microsoft\Windows\Start Menu\Programs\ZT Audio'
DEMO_ENDPOINTS_KEY='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\MMDevices\Audio'
# Where Windows keeps the files to delete or rename at the next start.
DEMO_SESSION_KEY='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager'

# ---------------------------------------------------------------------------
# Small pieces

demo_say() { printf 'demo: %s\n' "$*"; }

# demo_record KEY VALUE: one line of run.tsv.
demo_record() { printf '%s\t%s\n' "$1" "$2" >> "$DEMO_OUT/run.tsv"; }

# The Windows-side reader (64-bit: it runs natively where 32-bit programs
# are emulated).
demo_build_reader() {
  DEMO_READER=$IE_WIN64/demo_readback.exe
  ie_need "$DEMO_READER"
}

demo_read() { wine "$DEMO_READER" "$@" 2>/dev/null | tr -d '\r'; }

# demo_section FILE "WHAT ARG": the lines of one section of a read-back.
demo_section() {
  awk -v head="== $2" '$0 == head { inside = 1; next } /^== / { inside = 0 } inside' "$1"
}

# demo_wait_x TITLE SECONDS: waits for a visible X window of that exact title
# (a look at the X server, cheaper than a Windows program start).
demo_wait_x() {
  local deadline=$((SECONDS + $2)) pattern
  pattern=$(printf '%s' "$1" | sed 's/[][\\.*^$()+?{}|]/\\&/g')
  until xdotool search --onlyvisible --name "^$pattern\$" >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.25
  done
}

# demo_geometry TITLE: DEMO_FRAME ("l t r b") of that window, and for the
# setup window its client area as install_lib has it (IE_CX IE_CY IE_CW IE_CH)
# and as DEMO_SETUP_RECT ("l t r b").
demo_geometry() {
  local info
  info=$(demo_read window "$1")
  DEMO_FRAME=$(awk -F'\t' '$1 == "frame" { print $2, $3, $4, $5 }' <<< "$info")
  if [ "$1" = "$IE_SETUP_WINDOW" ]; then
    IFS=$'\t' read -r _ IE_CX IE_CY IE_CW IE_CH <<< "$(grep '^client' <<< "$info")"
    # The window's pictures are of its client area: with no window manager
    # on the virtual display, nothing draws the frame and caption.
    DEMO_SETUP_RECT="$IE_CX $IE_CY $((IE_CX + IE_CW)) $((IE_CY + IE_CH))"
  fi
  [ -n "$DEMO_FRAME" ]
}

# demo_picture NAME CAPTION [BOX_TITLE]: the screen cut to the setup window
# (together with the box of that title, when given), kept as the next
# numbered picture.
demo_picture() {
  local name=$1 caption=$2 box=${3:-} l t r b bl bt br bb shot
  read -r l t r b <<< "$DEMO_SETUP_RECT"
  if [ -n "$box" ] && demo_geometry "$box"; then
    read -r bl bt br bb <<< "$DEMO_FRAME"
    ((bl < l)) && l=$bl; ((bt < t)) && t=$bt; ((br > r)) && r=$br; ((bb > b)) && b=$bb
  fi
  ((l < 0)) && l=0; ((t < 0)) && t=0
  DEMO_PICTURES=$((DEMO_PICTURES + 1))
  shot=$(printf '%02d-%s.png' "$DEMO_PICTURES" "$name")
  import -window root png:- 2>/dev/null |
    /usr/bin/convert png:- -crop "$((r - l))x$((b - t))+$l+$t" +repage "$DEMO_OUT/$shot"
  printf '%s\t%s\n' "$shot" "$caption" >> "$DEMO_OUT/pictures.tsv"
}

# demo_start_traced NAME WINDOWS_PATH FOLDER: starts a copy of the setup
# program with its text drawing traced (daza_install's di_drawn reads it).
demo_start_traced() {
  DI_TRACE=$DEMO_OUT/$1.trace
  : > "$DI_TRACE"
  (cd "$3" && WINEDEBUG=+timestamp,trace+text exec wine "$2" >/dev/null 2>"$DI_TRACE") &
  IE_SETUP_PID=$!
}

# demo_offer NAME TEXT: the setup window is up, drawn, its button with TEXT.
demo_offer() {
  demo_wait_x "$IE_SETUP_WINDOW" "$DEMO_WAIT" && di_wait_button "$2" "$DEMO_WAIT" &&
    demo_geometry "$IE_SETUP_WINDOW" &&
    ie_wait_painted $((IE_CX + (DI_BL + DI_BR) / 2)) $((IE_CY + DI_BT + 6)) "$DEMO_WAIT" &&
    screen_settled "${IE_CW}x${IE_CH}+${IE_CX}+${IE_CY}" "$DEMO_WAIT"
}

# demo_close_box: clicks the OK button of the restart box.
demo_close_box() {
  local x y
  IFS=$'\t' read -r _ x y <<< "$(demo_read button "REBOOT YOUR SYSTEM" OK | grep '^button')"
  [ -n "$x" ] || return 1
  xdotool mousemove "$x" "$y" sleep 0.2 click 1
}

# demo_box_text TEXT: the program drew a text that starts so (its box's message).
demo_box_text() { grep -aqF "DrawTextExW L\"$1" "$DI_TRACE"; }

# ---------------------------------------------------------------------------
# The stages

demo_install_offer() {
  demo_start_traced install 'C:\Setup\MixolyteSetup.exe' "$IE_C/Setup"
  if ! demo_offer install Install; then
    demo_say "the Install offer did not appear within $DEMO_WAIT s"
    return 1
  fi
  demo_picture install-offer "The setup program started in a fresh prefix: the Install offer."
  # The button in the pictures' coordinates (the client area), for the checks.
  demo_record button "$DI_BL $DI_BT $DI_BR $DI_BB"
  demo_say "stage 1, the Install offer: on screen ($((SECONDS - DEMO_STARTED)) s)"
}

# Clicks Install, then a picture of every step label as soon as it is
# drawn, kept when the same label is still the last one drawn after the grab
# (so that the screen shows it), until the end box comes.
demo_install_run() {
  ie_click_client $(((DI_BL + DI_BR) / 2)) $(((DI_BT + DI_BB) / 2))
  local shot=$DEMO_OUT/.shot.png label after deadline=$((SECONDS + DEMO_INSTALL_LIMIT)) box=0 n=0
  local -A seen=()
  while [ $SECONDS -lt $deadline ]; do
    if xdotool search --name '^REBOOT YOUR SYSTEM$' >/dev/null 2>&1; then
      box=1
      break
    fi
    label=$(demo_label)
    if [ -n "$label" ] && [ -z "${seen[$label]:-}" ]; then
      import -window root "$shot" 2>/dev/null
      after=$(demo_label)
      if [ "$label" = "$after" ]; then
        seen[$label]=1
        n=$((n + 1))
        demo_keep_label "$shot" "$label"
        demo_say "stage 2, installing: the step label reads \"$label\" ($((SECONDS - DEMO_STARTED)) s)"
      fi
    fi
    sleep 0.1
  done
  rm -f "$shot"
  demo_record labels_pictured "$n"
  demo_record labels_drawn "$(di_drawn "$DI_STRIP" | paste -sd '|')"
  [ "$box" = 1 ]
}

# demo_label: the step label drawn last, from the end of the trace only (a
# count of pins stays about a second, redrawn every half second: the look
# must be quick).
demo_label() {
  tail -c 16384 "$DI_TRACE" |
    grep -aoE 'DrawTextExW L"[^"]*", -?[0-9]+, \[\([0-9-]+,[0-9-]+\)-\([0-9-]+,[0-9-]+\)\]' |
    awk -v rect="[$DI_STRIP]" 'substr($0, length($0) - length(rect) + 1) == rect {
      text = $0; sub(/^DrawTextExW L"/, "", text); sub(/", -?[0-9]+, \[.*$/, "", text); last = text }
      END { print last }'
}

# demo_keep_label SHOT LABEL: the grab, cut to the window, as a picture.
demo_keep_label() {
  local l t r b name
  read -r l t r b <<< "$DEMO_SETUP_RECT"
  DEMO_PICTURES=$((DEMO_PICTURES + 1))
  name=$(printf '%02d-step-%s.png' "$DEMO_PICTURES" "$(printf '%s' "$2" | tr -c 'A-Za-z0-9' '_')")
  /usr/bin/convert "$1" -crop "$((r - l))x$((b - t))+$l+$t" +repage "$DEMO_OUT/$name"
  printf '%s\t%s\n' "$name" "Installing: the step label under the busy button reads \"$2\"." >> "$DEMO_OUT/pictures.tsv"
}

demo_install_end() {
  demo_wait_x "REBOOT YOUR SYSTEM" 30 && sleep 0.5
  local text=no
  demo_box_text 'Installation Complete and Successful' && text=yes
  demo_record install_box_text "$text"
  demo_picture install-box "The install has ended: the box \"REBOOT YOUR SYSTEM\" says the installation is complete and asks for a restart." \
    "REBOOT YOUR SYSTEM"
  demo_close_box || demo_say "could not click OK on the box"
  ie_wait_exit "$DEMO_WAIT"
  demo_record install_exit "$IE_RC"
  demo_say "stage 3, the end box: closed with OK, the program ended with exit code $IE_RC ($((SECONDS - DEMO_STARTED)) s)"
}

# The uninstaller the install left, started from its uninstall entry's
# "UninstallString" as Windows' "Apps & features" starts it.
demo_remove_offer() {
  local command
  command=$(demo_section "$DEMO_OUT/readback/installed.txt" "keys32 $IE_UNINSTALL_KEY" |
            awk -F'\t' '$1 == "V" && $2 == "" && $3 == "UninstallString" { print $5 }')
  [ -n "$command" ] || command="$IE_PRODUCT_WIN\\MixolyteSetup.exe"
  demo_record remove_started "$command"
  demo_start_traced remove "$command" "$IE_C"
  if ! demo_offer remove Remove; then
    demo_say "the Remove offer did not appear within $DEMO_WAIT s"
    return 1
  fi
  demo_picture remove-offer "Started again, from the uninstall entry: the Remove offer."
  demo_say "stage 4, the Remove offer: on screen ($((SECONDS - DEMO_STARTED)) s)"
}

demo_remove_run() {
  ie_click_client $(((DI_BL + DI_BR) / 2)) $(((DI_BT + DI_BB) / 2))
  if ! demo_wait_x "REBOOT YOUR SYSTEM" "$DEMO_INSTALL_LIMIT"; then
    demo_say "no restart box after the click on Remove"
    return 1
  fi
  sleep 0.5
  local text=no
  demo_box_text 'Restart System to finish the uninstallation!' && text=yes
  demo_record remove_box_text "$text"
  demo_picture remove-box "The removal has ended: the box \"REBOOT YOUR SYSTEM\" asks for a restart." "REBOOT YOUR SYSTEM"
  demo_close_box || demo_say "could not click OK on the restart box"
  ie_wait_exit "$DEMO_WAIT"
  demo_record remove_exit "$IE_RC"
  demo_say "stage 5, the restart box: closed with OK, the program ended with exit code $IE_RC ($((SECONDS - DEMO_STARTED)) s)"
}

# Stage 6: the Install offer once more, on a display at 150% (144 DPI,
# where winecfg's screen resolution writes it): the window drawn for that
# scale, from the picture drawn for it. Esc closes it.
demo_scaled_offer() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
  demo_start_traced scaled 'C:\Setup\MixolyteSetup.exe' "$IE_C/Setup"
  if ! demo_offer scaled Install; then
    demo_say "the Install offer at 150% did not appear within $DEMO_WAIT s"
    return 1
  fi
  demo_picture scaled-offer "The Install offer on a display at 150% (144 DPI): the window drawn for that scale, ${IE_CW} x ${IE_CH}."
  demo_record scaled_client "${IE_CW}x${IE_CH}"
  demo_record scaled_button "$DI_BL $DI_BT $DI_BR $DI_BB"
  xdotool search --onlyvisible --name "Mixolyte Installation" windowfocus --sync key Escape 2>/dev/null
  ie_wait_exit "$DEMO_WAIT"
  demo_record scaled_exit "$IE_RC"
  demo_say "stage 6, the Install offer at 150%: ${IE_CW} x ${IE_CH}, closed with Esc, exit code $IE_RC ($((SECONDS - DEMO_STARTED)) s)"
}

# ---------------------------------------------------------------------------
# Read-back: what a stage left, into readback/STAGE.txt and tables/STAGE-*.tsv

demo_readback() {
  local stage=$1 raw=$DEMO_OUT/readback/$1.txt
  mkdir -p "$DEMO_OUT/readback" "$DEMO_OUT/tables"
  demo_read files "$DEMO_PRODUCT_ROOT" files "$DEMO_MENU_ROOT" \
    keys32 "$IE_UNINSTALL_KEY" keys64 "$IE_UNINSTALL_KEY" keys32 "$IE_SETTINGS_KEY" \
    keys32 "$IE_ASIO_KEY" keys64 "$IE_ASIO_KEY" \
    keys64 "$DEMO_ENDPOINTS_KEY\\Render" keys64 "$DEMO_ENDPOINTS_KEY\\Capture" \
    keys64 "$DI_SERVICE_KEY" values64 "$DEMO_SESSION_KEY" > "$raw"
  # The COM servers of the ASIO drivers found, in the view they were found in.
  local view clsid more=()
  for view in 32 64; do
    while IFS= read -r clsid; do
      more+=("keys$view" "HKLM\\SOFTWARE\\Classes\\CLSID\\$clsid\\InprocServer32")
    done < <(demo_section "$raw" "keys$view $IE_ASIO_KEY" | awk -F'\t' '$1 == "V" && $3 == "CLSID" { print $5 }')
  done
  [ ${#more[@]} -gt 0 ] && demo_read "${more[@]}" >> "$raw"
  demo_tables "$stage" "$raw"
}

demo_tables() {
  local stage=$1 raw=$2 t=$DEMO_OUT/tables/$1
  # Product folder files against the package's entries (name and MD5).
  demo_section "$raw" "files $DEMO_PRODUCT_ROOT" |
    awk -F'\t' -v setup="$DEMO_SETUP_MD5" '
      FNR == NR { md5[$1] = $2; size[$1] = $3; next }
      $1 == "F" && substr($4, 1, 9) == "Mixolyte\\" {
        name = substr($4, 10); seen[name] = 1
        if (name in md5) verdict = (md5[name] == $2 ? "package entry, same MD5" : "package entry, MD5 DIFFERS")
        else if (name == "MixolyteSetup.exe" && $2 == setup) verdict = "the uninstaller: the setup program itself"
        else verdict = "not a package entry"
        print name "\t" $3 "\t" $2 "\t" verdict }
      END { for (name in md5) if (!(name in seen) && any) print name "\t\t\tpackage entry MISSING" }
      FNR != NR && $1 == "D" && $2 == "Mixolyte" { any = 1 }
    ' "$DEMO_OUT/package.tsv" - > "$t-files.tsv"
  # Everything under the product's parent folder and the Start-menu folder,
  # each of the two folders itself included.
  local root
  for root in "$DEMO_PRODUCT_ROOT" "$DEMO_MENU_ROOT"; do
    demo_section "$raw" "files $root" | awk -F'\t' -v root="$root" '
      $1 == "absent" { absent = 1 } $1 == "D" { print root "\\" $2 "\tfolder\t" }
      $1 == "F" { print root "\\" $4 "\tfile\t" $3 }
      END { print root "\t" (absent ? "absent" : "folder") "\t" }' | sort
  done > "$t-left.tsv"
  local view
  for view in 32 64; do
    demo_section "$raw" "keys$view $IE_UNINSTALL_KEY" |
      awk -F'\t' -v view="$view-bit" '$1 == "V" { print view "\t" ($2 == "" ? "" : $2 "\\") $3 "\t" $4 "\t" $5 }'
  done > "$t-uninstall.tsv"
  demo_section "$raw" "keys32 $IE_SETTINGS_KEY" | awk -F'\t' '$1 == "V" { print $3 "\t" $4 "\t" $5 }' > "$t-settings.tsv"
  demo_shortcuts "$raw" > "$t-shortcuts.tsv"
  for view in 32 64; do
    demo_section "$raw" "keys$view $IE_ASIO_KEY" | awk -F'\t' -v view="$view-bit" '
      $1 == "V" && $3 == "CLSID" { clsid[$2] = $5; names[$2] = 1 }
      $1 == "V" && $3 == "Description" { description[$2] = $5; names[$2] = 1 }
      END { for (n in names) print view "\t" n "\t" clsid[n] "\t" description[n] }' | sort |
      while IFS=$'\t' read -r v name clsid description; do
        local server
        server=$(demo_section "$raw" "keys$view HKLM\\SOFTWARE\\Classes\\CLSID\\$clsid\\InprocServer32" |
                 awk -F'\t' '$1 == "V" && $3 == "(Default)" { s = $5 } $1 == "V" && $3 == "ThreadingModel" { m = $5 }
                             END { print s "\t" m }')
        printf '%s\t%s\t%s\t%s\t%s\n' "$v" "$name" "$clsid" "$description" "$server"
      done
  done > "$t-asio.tsv"
  local flow
  for flow in Render Capture; do
    demo_section "$raw" "keys64 $DEMO_ENDPOINTS_KEY\\$flow" | awk -F'\t' -v flow="$flow" '
      $1 == "V" && $2 ~ /\\Properties$/ {
        e = substr($2, 1, index($2, "\\") - 1); ids[e] = 1
        if ($3 == "{233164c8-1b2c-4c7d-bc68-b671687a2567},1") channel[e] = $5
        if ($3 == "{83da6326-97a6-4088-9453-a1923f573b29},3") driver[e] = $5
        if ($3 == "{a45c254e-df1c-4efd-8020-67d146a850e0},2") name[e] = $5
        if ($3 == "{259abffc-50a7-47ce-af08-68c9a7d73366},12") icon[e] = $5 }
      END { for (e in ids) if (tolower(driver[e]) ~ /ztmixolytedaza$/ || name[e] ~ /Mixolyte/)
              print flow "\t" substr(channel[e], length(channel[e]) - 3) + 0 "\t" name[e] "\t" icon[e] "\t" e }'
  done | sort -t$'\t' -k1,1r -k2,2n > "$t-endpoints.tsv"
  demo_section "$raw" "keys64 $DI_SERVICE_KEY" | awk -F'\t' '$1 == "V" && $2 == "" { print $3 "\t" $4 "\t" $5 }' \
    > "$t-service.tsv"
  # The files Windows is to delete or rename at its next start: pairs of a
  # path and its new name (none for a deletion).
  demo_section "$raw" "values64 $DEMO_SESSION_KEY" |
    awk -F'\t' '$1 == "V" && $3 == "PendingFileRenameOperations" {
      n = split($5, f, ";")
      for (i = 1; i <= n; i += 2) {
        if (f[i] == "") continue
        sub(/^\\\?\?\\/, "", f[i]); sub(/^!?\\\?\?\\/, "", f[i + 1])
        print f[i] "\t" (f[i + 1] == "" ? "delete" : "rename to " f[i + 1]) } }' > "$t-restart.tsv"
}

# The shortcuts in the Start-menu folder: file, target, working folder,
# description, arguments (read through the shell's link object, on the
# files the prefix holds).
demo_shortcuts() {
  local rel rels=() files=() lnk folder="$IE_C/ProgramData/Microsoft/Windows/Start Menu/Programs/ZT Audio"
  mapfile -t rels < <(demo_section "$1" "files $DEMO_MENU_ROOT" |
    awk -F'\t' '$1 == "F" && tolower($4) ~ /\.lnk$/ { print $4 }')
  for rel in "${rels[@]}"; do files+=("$folder/${rel//\\//}"); done
  ie_lnk_read "${files[@]}"
  for rel in "${rels[@]}"; do
    lnk="$folder/${rel//\\//}"
    printf '%s\t%s\t%s\t%s\t%s\n' "$rel" "$(ie_lnk_field "$lnk" target)" "$(ie_lnk_field "$lnk" folder)" \
      "$(ie_lnk_field "$lnk" description)" "$(ie_lnk_field "$lnk" arguments)"
  done
}

# demo_count STAGE TABLE: its rows.
demo_count() { grep -c . "$DEMO_OUT/tables/$1-$2.tsv" 2>/dev/null || true; }

demo_stage_line() {
  local stage=$1 t=$DEMO_OUT/tables/$1
  demo_say "  read back: product folder $(awk -F'\t' '$4 == "package entry, same MD5"' "$t-files.tsv" | wc -l)/98 package entries with their MD5," \
    "uninstall entry $(demo_count "$stage" uninstall) values, settings $(demo_count "$stage" settings)," \
    "shortcuts $(demo_count "$stage" shortcuts), ASIO $(demo_count "$stage" asio)," \
    "named DAZA endpoints $(demo_count "$stage" endpoints)"
}

# ---------------------------------------------------------------------------

demo_cleanup() {
  [ -n "${IE_SETUP_PID:-}" ] && kill "$IE_SETUP_PID" 2>/dev/null
  ie_abort_cleanup
}

demo_main() {
  local build=${1:-build}
  DEMO_STARTED=$SECONDS
  DEMO_PICTURES=0
  local mode machine
  mode=$(bash "$DEMO_HERE/../scripts/i386_mode.sh" mode 2>/dev/null)
  case $mode in
    native) machine="runs 32-bit programs natively"; DEMO_WAIT=60; DEMO_INSTALL_LIMIT=180 ;;
    # Where every 32-bit program start may cost a minute (an old qemu), the
    # install and the removal each start several.
    emulated) machine="emulates 32-bit programs (qemu's i386 emulation)"; DEMO_WAIT=300; DEMO_INSTALL_LIMIT=600 ;;
    *) demo_say "this machine cannot run 32-bit programs and the emulation could not be set up (run 'make deps')"
       return 1 ;;
  esac
  demo_say "this machine $machine; the setup program runs in Wine, 64-bit Windows 10, stand-in DAZA driver"
  trap demo_cleanup EXIT
  # A display of its own, even where one is at hand: the clicks and the
  # pictures must meet only the setup program's windows.
  # shellcheck source=xvfb.sh
  . "$DEMO_HERE/xvfb.sh"
  start_xvfb || return 1
  IE_OWN_DISPLAY=1
  ie_init "$build" demo || return 1
  DEMO_OUT=$IE_BUILD/demo
  # shellcheck disable=SC2034 # install_lib's scratch files go there
  IE_OUT=$DEMO_OUT
  rm -rf "${DEMO_OUT:?}"/*.png "$DEMO_OUT"/tables "$DEMO_OUT"/readback "$DEMO_OUT"/*.tsv "$DEMO_OUT"/*.trace
  mkdir -p "$DEMO_OUT"
  if ! ie_have_pieces || ! demo_build_reader; then
    demo_say "$IE_SETUP_EXE or $IE_PAYLOAD is missing, or the reader could not be built (make build)"
    return 1
  fi
  demo_record machine "$mode"
  # The package's entries as the setup program carries them: name, MD5, size.
  "$IE_BUILD/host/mixpack" list "$IE_SETUP_EXE" | awk 'NR > 1 && NF >= 7 { print $2 "\t" $5 "\t" $4 }' \
    > "$DEMO_OUT/package.tsv"
  DEMO_SETUP_MD5=$(md5sum < "$IE_SETUP_EXE" | cut -d' ' -f1)

  ie_prefix demo win64 win10
  demo_say "a fresh prefix is ready ($((SECONDS - DEMO_STARTED)) s)"
  local status=0
  if demo_install_offer; then
    demo_readback before
    demo_stage_line before
    if demo_install_run; then
      demo_install_end
      demo_readback installed
      demo_stage_line installed
      if demo_remove_offer; then
        demo_remove_run || status=1
        demo_readback removed
        demo_stage_line removed
        demo_scaled_offer || status=1
      else status=1; fi
    else
      demo_say "the install did not end with its box within $DEMO_INSTALL_LIMIT s"
      status=1
    fi
  else status=1; fi
  # A prefix that failed the demo is kept for a look (ie_prefix_done says where).
  [ "$status" = 0 ] || EXPECT_SCENARIO_FAILS=1
  ie_prefix_done
  local seconds=$((SECONDS - DEMO_STARTED))
  demo_record seconds "$seconds"
  demo_record pictures "$DEMO_PICTURES"
  demo_page "$DEMO_OUT" "$machine" "$seconds"
  echo
  demo_say "summary: $DEMO_PICTURES pictures in $seconds s on a machine that $machine"
  demo_say "  install: exit code $(awk -F'\t' '$1 == "install_exit" { print $2 }' "$DEMO_OUT/run.tsv");" \
    "removal: exit code $(awk -F'\t' '$1 == "remove_exit" { print $2 }' "$DEMO_OUT/run.tsv")"
  [ -f "$DEMO_OUT/tables/removed-left.tsv" ] &&
    demo_say "  after the removal: uninstall entry values $(demo_count removed uninstall)," \
      "package files left $(awk -F'\t' '$4 ~ /^package entry, /' "$DEMO_OUT/tables/removed-files.tsv" | wc -l)," \
      "$(awk -F'\t' '$2 != "absent"' "$DEMO_OUT/tables/removed-left.tsv" | wc -l) files and folders under ZT and ZT Audio"
  demo_say "the page: $DEMO_OUT/index.html"
  ie_stop_display
  return $status
}

if [ "${BASH_SOURCE[0]}" == "$0" ]; then
  set -uo pipefail
  build=${1:-build}
  if [ "${2:-}" = --check ]; then
    status=0
    (demo_main "$build") || status=$?
    bash "$DEMO_HERE/demo_check.sh" "$build" "$status"
  else
    demo_main "$build"
  fi
fi
