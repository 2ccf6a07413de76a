#!/usr/bin/env bash
# Draws the setup program's picture and icon from scratch:
#   splash.bmp  900 x 424, 24-bit uncompressed BMP (bitmap resource 101)
#   splash125.bmp, splash150.bmp, splash200.bmp: the same picture drawn at
#               125%, 150% and 200% (1125 x 530, 1350 x 636, 1800 x 848;
#               bitmap resources 125, 150 and 200) for scaled displays
#   setup.ico   16, 32, 48 and 256 pixel icon    (icon group 100)
# Usage: make_art.sh OUTPUT_FOLDER
#
# Only ImageMagick 6 (/usr/bin/convert) and the DejaVu fonts are used. The
# output is the same bytes on every run: no time stamps, no colour-space
# chunks, no random input.
#
# The picture's lower left corner (about x 20..520, y 380..424) stays dark and
# empty: the program writes the white "O/S" label there at run time.
set -euo pipefail

if [ $# -ne 1 ] || [ -z "$1" ]; then
  echo "usage: $0 OUTPUT_FOLDER" >&2
  exit 2
fi

OUT=$1
IM=/usr/bin/convert
FONTS=/usr/share/fonts/truetype/dejavu
BOLD=$FONTS/DejaVuSans-Bold.ttf
REGULAR=$FONTS/DejaVuSans.ttf
LIGHT=$FONTS/DejaVuSans-ExtraLight.ttf

for f in "$IM" "$BOLD" "$REGULAR" "$LIGHT"; do
  if [ ! -e "$f" ]; then
    echo "make_art.sh: missing $f" >&2
    exit 1
  fi
done

mkdir -p "$OUT"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/mixo-art.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

# One thread: results must not depend on how work is split between cores.
export MAGICK_THREAD_LIMIT=1

# Product colours.
DEEP='#0e2250'     # deep blue, top of the background
NIGHT='#020409'    # near black, bottom of the background
ACCENT='#46c8f5'   # cyan accent: edition name, fader caps
STEEL='#8da2c6'    # muted blue-grey for small text

# ---------------------------------------------------------------------------
# Splash picture, drawn at one scale S (percent of the 900 x 424 picture)
# from the same description: every length below is given at 100% and goes
# through sc, so the 100% picture is drawn exactly as it always was and the
# others are drawn anew at their size, not enlarged.

# A length at 100% (integer or decimal) at the scale S, as few digits as
# it needs ("14" stays "14" at 100%).
sc() {
  if [[ ! $1 =~ ^-?[0-9]+$ ]]; then
    awk -v v="$1" -v s="$S" 'BEGIN { printf "%.10g", v * s / 100 }'
    return
  fi
  # Whole numbers in the shell itself: the picture has a thousand of them.
  local n=$(( $1 * S )) sign=""
  if [ "$n" -lt 0 ]; then sign=-; n=$(( -n )); fi
  local whole=$(( n / 100 )) part=$(( n % 100 ))
  if [ "$part" -eq 0 ]; then echo "$sign$whole"
  elif [ $(( part % 10 )) -eq 0 ]; then echo "$sign$whole.$(( part / 10 ))"
  else printf '%s%d.%02d\n' "$sign" "$whole" "$part"; fi
}

draw_splash() { # scale output
  S=$1
  local out=$2
  local W H
  W=$(( 900 * S / 100 ))
  H=$(( 424 * S / 100 ))

  # Background: deep blue at the top, black at the bottom, with a soft glow
  # behind the product name.
  "$IM" -size ${W}x${H} "gradient:$DEEP-$NIGHT" "$WORK/base.png"
  "$IM" -size ${W}x${H} -define gradient:center=$(sc 270),$(sc 150) \
        -define gradient:radii=$(sc 430),$(sc 300) radial-gradient:'#2a5ab8'-black \
        "$WORK/glow.png"
  "$IM" "$WORK/base.png" \
        \( "$WORK/glow.png" -evaluate multiply 0.55 \) \
        -compose screen -composite \
        "$WORK/bg.png"

  # Mixer strips on the right: eight channel faders, each a slot with scale
  # ticks, a cap at its own level and a small level meter beside it.
  local FADER_TOP=64 FADER_BOTTOM=318
  local LEVELS=(0.58 0.40 0.47 0.30 0.66 0.52 0.36 0.44)
  local METERS=(0.62 0.78 0.55 0.85 0.45 0.70 0.80 0.60)
  local one two three
  one=$(sc 1)
  two=$(sc 2)
  three=$(sc 3)
  local -a draw_strips=() draw_caps=() draw_meters=()
  local i x t ty len cy mx segs lit s sy col
  for i in "${!LEVELS[@]}"; do
    x=$((548 + i * 42))
    # slot
    draw_strips+=(-fill '#050a16' -stroke '#23375f' -strokewidth "$one"
                  -draw "roundrectangle $(sc $((x - 2))),$(sc $FADER_TOP) $(sc $((x + 2))),$(sc $FADER_BOTTOM) $two,$two")
    # ticks left of the slot
    for t in 0 1 2 3 4 5 6 7 8 9 10; do
      ty=$((FADER_TOP + 6 + t * (FADER_BOTTOM - FADER_TOP - 12) / 10))
      len=5
      if [ $((t % 5)) -eq 0 ]; then len=9; fi
      draw_strips+=(-stroke '#2a416e' -strokewidth "$one"
                    -draw "line $(sc $((x - 8 - len))),$(sc $ty) $(sc $((x - 8))),$(sc $ty)")
    done
    # cap: a rounded block with a light index line across its middle
    cy=$(awk -v t=$FADER_TOP -v b=$FADER_BOTTOM -v l="${LEVELS[$i]}" \
         'BEGIN { printf "%d", b - l * (b - t) }')
    draw_caps+=(-fill '#33486f' -stroke '#5d77a6' -strokewidth "$one"
                -draw "roundrectangle $(sc $((x - 13))),$(sc $((cy - 9))) $(sc $((x + 13))),$(sc $((cy + 9))) $three,$three"
                -fill '#3f5884' -stroke none
                -draw "rectangle $(sc $((x - 12))),$(sc $((cy - 8))) $(sc $((x + 12))),$(sc $((cy - 4)))"
                -stroke "$ACCENT" -strokewidth "$two"
                -draw "line $(sc $((x - 10))),$(sc $cy) $(sc $((x + 10))),$(sc $cy)")
    # meter: a column of segments, lit from the bottom up to its level
    mx=$((x + 12))
    segs=24
    lit=$(awk -v m="${METERS[$i]}" -v s=$segs 'BEGIN { printf "%d", m * s }')
    for s in $(seq 0 $((segs - 1))); do
      sy=$((FADER_BOTTOM - 4 - s * 10))
      if [ "$s" -lt "$lit" ]; then
        if [ "$s" -ge 21 ]; then col='#e0a040'
        elif [ "$s" -ge 17 ]; then col='#9fd86a'
        else col='#3fb6e6'; fi
      else
        col='#0d1a33'
      fi
      draw_meters+=(-fill "$col" -stroke none
                    -draw "rectangle $(sc $((mx + 4))),$(sc $((sy - 6))) $(sc $((mx + 7))),$(sc $sy)")
    done
  done

  "$IM" -size ${W}x${H} xc:none "${draw_strips[@]}" "$WORK/strips.png"
  "$IM" -size ${W}x${H} xc:none "${draw_meters[@]}" "$WORK/meters.png"
  "$IM" -size ${W}x${H} xc:none "${draw_caps[@]}" "$WORK/caps.png"

  # The strips fade out towards the bottom and the left so that they stay in
  # the background and away from the text.
  # The soft edge is smooth enough to be blurred at 100% and enlarged, which
  # spares minutes of blurring at the larger scales.
  local -a soft_edge=(-size 900x424 xc:black -fill white -draw "rectangle 640,0 900,424" -blur 0x90)
  if [ "$S" -ne 100 ]; then soft_edge+=(-resize "${W}x${H}!"); fi
  "$IM" -size ${H}x${W} gradient:white-black -rotate 90 \
        \( "${soft_edge[@]}" \) \
        -compose multiply -composite "$WORK/fade_x.png"
  "$IM" -size ${W}x${H} gradient:white-'#303030' "$WORK/fade_y.png"
  "$IM" "$WORK/fade_x.png" "$WORK/fade_y.png" -compose multiply -composite "$WORK/fade.png"
  # Flatten the mixer layers, then scale their opacity by the fade.
  "$IM" "$WORK/strips.png" "$WORK/meters.png" -compose over -composite \
        "$WORK/caps.png" -compose over -composite "$WORK/mixer.png"
  "$IM" "$WORK/mixer.png" \
        \( "$WORK/mixer.png" -alpha extract "$WORK/fade.png" \
           -compose multiply -composite -evaluate multiply 0.62 \) \
        -alpha off -compose copy_opacity -composite "$WORK/mixer_faded.png"

  "$IM" "$WORK/bg.png" "$WORK/mixer_faded.png" -compose over -composite \
        "$WORK/bg2.png"

  # Text layer: product name with a soft blue glow, accent rule, edition
  # name, line of description, and the maker's line in the lower right
  # corner.
  local TITLE_X=50
  "$IM" -size ${W}x${H} xc:none \
        -font "$BOLD" -pointsize "$(sc 92)" -kerning "$(sc -1)" -fill '#3c7fe0' \
        -annotate +$(sc $TITLE_X)+$(sc 178) 'Mixolyte' -blur 0x$(sc 14) \
        -evaluate multiply 0.9 "$WORK/title_glow.png"

  "$IM" -size ${W}x${H} xc:none \
        -font "$BOLD" -pointsize "$(sc 92)" -kerning "$(sc -1)" -fill '#f3f7ff' \
        -annotate +$(sc $TITLE_X)+$(sc 178) 'Mixolyte' \
        -stroke none -fill "$ACCENT" \
        -draw "rectangle $(sc $((TITLE_X + 4))),$(sc 204) $(sc $((TITLE_X + 62))),$(sc 206)" \
        -fill '#2f4f86' \
        -draw "rectangle $(sc $((TITLE_X + 66))),$(sc 205) $(sc $((TITLE_X + 420))),$(sc 205)" \
        -font "$LIGHT" -pointsize "$(sc 40)" -kerning "$(sc 9)" -fill "$ACCENT" \
        -annotate +$(sc $((TITLE_X + 2)))+$(sc 256) 'Kumbra' \
        -font "$REGULAR" -pointsize "$(sc 16)" -kerning "$(sc 1.5)" -fill "$STEEL" \
        -annotate +$(sc $((TITLE_X + 4)))+$(sc 292) 'Virtual Audio Mixing Console' \
        -font "$REGULAR" -pointsize "$(sc 13)" -kerning "$(sc 1)" -fill '#6f84aa' \
        -gravity SouthEast -annotate +$(sc 26)+$(sc 20) 'ZT-Audio Software' \
        "$WORK/text.png"

  "$IM" "$WORK/bg2.png" \
        "$WORK/title_glow.png" -compose screen -composite \
        "$WORK/text.png" -compose over -composite \
        -alpha off -type TrueColor \
        +set date:create +set date:modify -strip \
        -define bmp:format=bmp3 -compress None \
        "BMP3:$out"
}

draw_splash 100 "$OUT/splash.bmp"
for scale in 125 150 200; do
  draw_splash "$scale" "$OUT/splash$scale.bmp"
done

# ---------------------------------------------------------------------------
# Icon: a rounded tile in the product blue with three faders, cyan caps.
# Drawn at each size on its own pixel grid rather than scaled down, so the
# small sizes stay crisp.

draw_icon() { # size output
  local s=$1 out=$2
  local m=0 bw=1
  if [ "$s" -ge 48 ]; then m=$(( s / 48 )); bw=$(( s / 48 )); fi
  local r=$(( s / 5 ))
  local inner=$(( s - 1 - m ))
  # Tile: rounded square, lighter blue at the top, with a bright rim.
  "$IM" -size "${s}x${s}" xc:black -fill white \
        -draw "roundrectangle $m,$m $inner,$inner $r,$r" "$WORK/icon_mask.png"
  "$IM" -size "${s}x${s}" "gradient:#1d438f-#06112a" \
        "$WORK/icon_mask.png" -alpha off -compose copy_opacity -composite \
        -fill none -stroke '#3a73d4' -strokewidth $bw \
        -draw "roundrectangle $m,$m $inner,$inner $r,$r" \
        "$WORK/icon_tile.png"

  # Three fader slots at a quarter, half and three quarters of the width.
  local xs=($(( s / 4 )) $(( s / 2 )) $(( s * 3 / 4 )))
  local levels=(62 30 48)
  local slot_top=$(( s * 3 / 16 ))
  local slot_bot=$(( s - 1 - s * 3 / 16 ))
  local -a cmds=()
  local i x cy
  if [ "$s" -lt 32 ]; then
    # Small size: one-pixel slots and 3 x 2 caps placed on whole pixels.
    for i in 0 1 2; do
      x=${xs[$i]}
      cy=$(( slot_bot - (slot_bot - slot_top) * ${levels[$i]} / 100 ))
      cmds+=(-fill '#01040b' -draw "rectangle $x,$slot_top $x,$slot_bot"
             -fill "$ACCENT" -draw "rectangle $(( x - 1 )),$cy $(( x + 1 )),$(( cy + 1 ))")
    done
  else
    local sw=$(( s / 40 )); [ "$sw" -lt 1 ] && sw=1
    local cw=$(( s * 3 / 32 ))   # half width of a cap
    local ch=$(( s / 16 ))       # half height of a cap
    local lh=$(( s / 64 ))       # half height of the cap's index line
    local cr=$(( ch / 2 + 1 ))
    for i in 0 1 2; do
      x=${xs[$i]}
      cy=$(( slot_bot - (slot_bot - slot_top) * ${levels[$i]} / 100 ))
      cmds+=(-fill '#01040b' -stroke none
             -draw "roundrectangle $(( x - sw )),$slot_top $(( x + sw - 1 )),$slot_bot $sw,$sw")
      if [ "$s" -ge 128 ]; then
        # a soft shadow under the cap
        cmds+=(-fill '#00000080'
               -draw "roundrectangle $(( x - cw + 2 )),$(( cy - ch + s / 40 )) $(( x + cw + 2 )),$(( cy + ch + s / 40 )) $cr,$cr")
      fi
      cmds+=(-fill '#e4edff' -stroke '#0a1a3c' -strokewidth 1
             -draw "roundrectangle $(( x - cw )),$(( cy - ch )) $(( x + cw )),$(( cy + ch )) $cr,$cr"
             -stroke none -fill "$ACCENT"
             -draw "rectangle $(( x - cw + 1 )),$(( cy - lh )) $(( x + cw - 1 )),$(( cy + lh ))")
    done
  fi
  local aa=-antialias
  if [ "$s" -lt 32 ]; then aa=+antialias; fi
  "$IM" "$WORK/icon_tile.png" "$aa" "${cmds[@]}" \
        +set date:create +set date:modify -strip "PNG32:$out"
}

for s in 16 32 48 256; do
  draw_icon "$s" "$WORK/icon_$s.png"
done

# ImageMagick stores the 256 pixel image as PNG inside the icon; leave out
# every chunk that could carry a date or a colour space.
"$IM" "$WORK/icon_16.png" "$WORK/icon_32.png" "$WORK/icon_48.png" "$WORK/icon_256.png" \
      +set date:create +set date:modify -strip \
      -define png:exclude-chunks=date,time,gAMA,cHRM,sRGB,bKGD,tEXt,zTXt,iTXt \
      "ICO:$OUT/setup.ico"

echo "make_art.sh: wrote $OUT/splash.bmp, splash125.bmp, splash150.bmp, splash200.bmp and setup.ico"
