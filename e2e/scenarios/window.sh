#!/usr/bin/env bash
# The setup program's window: its picture, the single-instance
# guard, hidden mode, and the closing of the console's windows at start,
# each scenario in a fresh 64-bit and a fresh 32-bit prefix. In the 64-bit
# one the window is shown again at 200% and 150% display scaling.
# Sourced by the e2e runner, which calls `e2e_window BUILD`; or run alone:
#   bash e2e/scenarios/window.sh BUILD [SCENARIO...]
# The window's picture is kept as BUILD/e2e/window-ARCH.png, at the other
# scales as BUILD/e2e/window-ARCH-DPI.png.
# core: window_picture

# shellcheck source=../install_lib.sh
. "$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/install_lib.sh"

WINDOW_CLASS=ZTMixolyte0Installer0MainWindow0
CONSOLE_CLASS=ZTCABLE0Mixolyte0MainWindow0

# The colour of one pixel as RRGGBB.
window_pixel() { # file x y
  convert "$1" -crop "1x1+$2+$3" +repage -depth 8 txt:- | sed -n '2s/.*#\([0-9A-Fa-f]\{6\}\).*/\1/p'
}

# Whether two RRGGBB colours differ by at most `tolerance` in every channel.
window_near() { # colour colour tolerance
  local a=$1 b=$2 t=$3 i x y
  for i in 0 2 4; do
    x=$((16#${a:i:2}))
    y=$((16#${b:i:2}))
    if [ $((x > y ? x - y : y - x)) -gt "$t" ]; then return 1; fi
  done
}

# How many near-white pixels a region holds.
window_bright_pixels() { # file WxH+X+Y
  convert "$1" -crop "$2" +repage -colorspace Gray -threshold 85% -format '%[fx:round(mean*w*h)]' info:
}

window_field() { # info-line field
  sed -n "s/.*$2=\([^ ]*\).*/\1/p" <<<"$1"
}

window_appears() { # class
  ie_probe wait "$1" 30 >/dev/null
}

window_picture() {
  window_up setup 900x524 ""
  expect "window shown" 1 "$(window_field "$WINDOW_INFO" visible)"
  expect "title" "Mixolyte Installation (Version 2.1.2.2)" "$(sed -n 's/.*title=//p' <<<"$WINDOW_INFO")"
  local x=$WINDOW_X y=$WINDOW_Y
  local shot=$IE_OUT/$IE_TAG-screen.png window=$IE_OUT/window-$IE_ARCH.png
  import -window root "$shot"
  convert "$shot" -crop "900x524+$x+$y" +repage "$window"

  # The picture where nothing is drawn over it, as the bitmap has it.
  local splash=$IE_WIN32/res/splash.bmp p
  for p in "450 100" "120 40" "800 300"; do
    set -- $p
    check "picture at $1,$2" window_near "$(window_pixel "$window" "$1" "$2")" "$(window_pixel "$splash" "$1" "$2")" 8
  done
  # The white band, the button's black outline with white inside it.
  expect "band at 100,440" FFFFFF "$(window_pixel "$window" 100 440)"
  expect "band at 450,515" FFFFFF "$(window_pixel "$window" 450 515)"
  expect "button's left edge" 000000 "$(window_pixel "$window" 580 474)"
  expect "button's top edge" 000000 "$(window_pixel "$window" 700 444)"
  expect "button's bottom edge" 000000 "$(window_pixel "$window" 700 504)"
  expect "inside the button" FFFFFF "$(window_pixel "$window" 590 452)"
  # The white "O/S" label on the dark corner of the picture, which the
  # bitmap leaves empty.
  local label_pixels picture_pixels
  label_pixels=$(window_bright_pixels "$window" 200x30+20+390)
  picture_pixels=$(window_bright_pixels "$splash" 200x30+20+390)
  expect "no bright pixels in the bitmap's label corner" 0 "$picture_pixels"
  check "the label is drawn ($label_pixels bright pixels)" test "$label_pixels" -ge 40

  # Esc closes the shown window with exit code 0.
  window_escape setup

  # The same window on scaled displays, in this prefix: the DPI as
  # winecfg's screen resolution writes it, read by each program at start.
  if [ "$IE_ARCH" = win64 ]; then
    window_scaled_window 192
    window_scaled_window 144 press
  fi
}

# Starts the setup program as NAME and waits for its window, drawn, with a
# client area of SIZE (WxH); WHAT ends the checks' names. WINDOW_INFO is the
# probe's line, WINDOW_X and WINDOW_Y the client area's origin on the screen.
window_up() { # name size what
  ie_start "$1" "$IE_SETUP_EXE"
  check "the window appears$3" window_appears "$WINDOW_CLASS"
  WINDOW_INFO=$(ie_probe info "$WINDOW_CLASS")
  expect "client area$3" "$2" "$(window_field "$WINDOW_INFO" client)"
  local origin
  origin=$(window_field "$WINDOW_INFO" origin)
  WINDOW_X=${origin%,*}
  WINDOW_Y=${origin#*,}
  # Painted: the client area shows a picture, the same in two grabs.
  check "the window is drawn$3" screen_settled "$2+$WINDOW_X+$WINDOW_Y" 60
}

# Esc to the shown setup window started as NAME: it ends with exit code 0.
window_escape() { # name
  local xid
  xid=$(xdotool search --onlyvisible --name "Mixolyte Installation" | head -1)
  check "the X window is found" test -n "$xid"
  xdotool windowfocus --sync "$xid" key Escape 2>/dev/null
  expect "exit code after Esc" 0 "$(ie_wait "$1" 20)"
}

# A length of the 100% window at DPI, rounded as the program rounds.
window_scaled() { # pixels dpi
  echo $(( ($1 * $2 + 48) / 96 ))
}

# The window at DPI: its client area is the 100% one scaled, drawn crisp
# from the picture drawn for that scale, the button where the reader says it
# is; with "press", a click at the button's scaled centre presses it (it
# turns black and the install starts, which the scenario's end stops).
window_scaled_window() { # dpi [press]
  local dpi=$1 press=${2:-} name=setup$1
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
    >/dev/null 2>&1
  local width height
  width=$(window_scaled 900 "$dpi")
  height=$(window_scaled 524 "$dpi")
  window_up "$name" "${width}x$height" " at $dpi DPI"
  local x=$WINDOW_X y=$WINDOW_Y
  local shot=$IE_OUT/$IE_TAG-screen-$dpi.png window=$IE_OUT/window-$IE_ARCH-$dpi.png
  import -window root "$shot"
  convert "$shot" -crop "${width}x$height+$x+$y" +repage "$window"

  # The picture drawn for this scale, copied as it is.
  local splash=$IE_WIN32/res/splash$(( dpi * 100 / 96 )).bmp p px py
  for p in "450 100" "120 40" "800 300"; do
    set -- $p
    px=$(window_scaled "$1" "$dpi")
    py=$(window_scaled "$2" "$dpi")
    check "picture at $px,$py at $dpi DPI" window_near "$(window_pixel "$window" "$px" "$py")" \
      "$(window_pixel "$splash" "$px" "$py")" 8
  done
  # The band, the button's outline and inside, at their scaled places.
  local left top right bottom
  left=$(window_scaled 580 "$dpi")
  top=$(window_scaled 444 "$dpi")
  right=$(window_scaled 880 "$dpi")
  bottom=$(window_scaled 504 "$dpi")
  expect "band at $dpi DPI" FFFFFF "$(window_pixel "$window" "$(window_scaled 100 "$dpi")" "$(window_scaled 440 "$dpi")")"
  expect "button's left edge at $dpi DPI" 000000 "$(window_pixel "$window" "$left" $(( (top + bottom) / 2 )))"
  expect "button's top edge at $dpi DPI" 000000 "$(window_pixel "$window" $(( (left + right) / 2 )) "$top")"
  expect "button's bottom edge at $dpi DPI" 000000 "$(window_pixel "$window" $(( (left + right) / 2 )) "$bottom")"
  local inside_x=$(( left + $(window_scaled 10 "$dpi") )) inside_y=$(( top + $(window_scaled 8 "$dpi") ))
  expect "inside the button at $dpi DPI" FFFFFF "$(window_pixel "$window" "$inside_x" "$inside_y")"
  # The label's text at its scaled height: bright pixels in the corner.
  local label_pixels
  label_pixels=$(window_bright_pixels "$window" \
    "$(window_scaled 200 "$dpi")x$(window_scaled 30 "$dpi")+$(window_scaled 20 "$dpi")+$(window_scaled 390 "$dpi")")
  check "the label is drawn at $dpi DPI ($label_pixels bright pixels)" test "$label_pixels" -ge 60

  # A screen reader finds the button at its scaled place.
  local tree
  tree=$(ie_acc tree)
  printf '%s\n' "$tree" > "$IE_OUT/$IE_TAG-acc-tree-$dpi.txt"
  expect "reader: the button at $dpi DPI" "1|Install|$((x + left)),$((y + top)),$((right - left)),$((bottom - top))" \
    "$(awk -F'|' '$1 == "1" { print $1 "|" $4 "|" $5 }' <<< "$tree")"

  if [ "$press" != press ]; then
    window_escape "$name"
    return
  fi
  xdotool mousemove $((x + (left + right) / 2)) $((y + (top + bottom) / 2)) click 1
  local deadline=$((SECONDS + 30)) colour=""
  while [ "$SECONDS" -lt "$deadline" ]; do
    import -window root "$shot"
    colour=$(window_pixel "$shot" $((x + inside_x)) $((y + inside_y)))
    [ "$colour" = 000000 ] && break
    sleep 0.5
  done
  convert "$shot" -crop "${width}x$height+$x+$y" +repage "$IE_OUT/window-$IE_ARCH-$dpi-pressed.png"
  expect "the click at the button's scaled centre presses it" 000000 "$colour"
}

window_second_copy() {
  ie_start first "$IE_SETUP_EXE"
  check "the first window appears" window_appears "$WINDOW_CLASS"
  ie_start second "$IE_SETUP_EXE"
  expect "second copy's exit code (-10)" 246 "$(ie_wait second 30)"
  expect "setup windows" 1 "$(ie_probe count "$WINDOW_CLASS")"
  check "the first copy still runs" ie_running first
  ie_probe close "$WINDOW_CLASS"
  expect "first copy's exit code" 0 "$(ie_wait first 20)"
}

window_hidden() {
  ie_start setup "$IE_SETUP_EXE" -h
  check "the hidden window exists" window_appears "$WINDOW_CLASS"
  expect "window shown" 0 "$(window_field "$(ie_probe info "$WINDOW_CLASS")" visible)"
  # It waits to be told: no exit of its own within two seconds.
  expect "no exit of its own" running "$(ie_wait setup 2)"
  check "it waits" ie_running setup
  expect "still hidden" 0 "$(window_field "$(ie_probe info "$WINDOW_CLASS")" visible)"
  ie_probe close "$WINDOW_CLASS"
  expect "exit code after WM_CLOSE" 0 "$(ie_wait setup 20)"
}

window_console_windows() {
  ie_start console "$IE_WIN32/test_window.exe" "$CONSOLE_CLASS" Mixolyte Kumbra
  ie_start other "$IE_WIN32/test_window.exe" MixoE2EOtherWindow Mixolyte Kumbra
  check "the console window appears" window_appears "$CONSOLE_CLASS"
  check "the other window appears" window_appears MixoE2EOtherWindow
  ie_start setup "$IE_SETUP_EXE"
  check "the setup window appears" window_appears "$WINDOW_CLASS"
  expect "the console ended" 0 "$(ie_wait console 20)"
  expect "console windows" 0 "$(ie_probe count "$CONSOLE_CLASS")"
  check "the other program still runs" ie_running other
  expect "other windows" 1 "$(ie_probe count MixoE2EOtherWindow)"
  ie_probe close "$WINDOW_CLASS"
  expect "setup's exit code" 0 "$(ie_wait setup 20)"
  ie_probe close MixoE2EOtherWindow
  expect "the other program's exit code" 0 "$(ie_wait other 20)"
}

WINDOW_SCENARIOS=(window_picture window_second_copy window_hidden window_console_windows)

# e2e_window BUILD [SCENARIO...]: nonzero when a scenario failed.
e2e_window() {
  trap ie_abort_cleanup EXIT
  ie_init "$1" e2e || return 1
  shift
  ie_need "$IE_SETUP_EXE" "$IE_PROBE" "$IE_WIN32/test_window.exe" "$IE_ACC_PROBE" || return 1
  local scenario
  for scenario in "${WINDOW_SCENARIOS[@]}"; do
    if [ $# -gt 0 ] && [[ " $* " != *" $scenario "* ]]; then continue; fi
    ie_each_prefix window "$scenario" win64 win32
  done
  echo "window: $IE_PASSED scenario(s) passed, $IE_FAILED failed"
  ie_stop_display
  expect_summary window
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -uo pipefail
  e2e_window "$@"
fi
