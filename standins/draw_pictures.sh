#!/usr/bin/env bash
# Draws the stand-ins' pictures with ImageMagick 6 (/usr/bin/convert) and the
# DejaVu fonts, the same bytes on every run (no time stamps, one thread):
#   draw_pictures.sh icons OUT   the sixteen channel icons of the DAZA driver
#                                file: render1.ico .. render8.ico and
#                                capture1.ico .. capture8.ico (32 and 16 px)
#   draw_pictures.sh png OUT     the five 72 x 72 pictures of the package
set -euo pipefail

if [ $# -ne 2 ] || { [ "$1" != icons ] && [ "$1" != png ]; }; then
  echo "usage: $0 icons|png OUTPUT_FOLDER" >&2
  exit 2
fi
what=$1 OUT=$2
IM=/usr/bin/convert
FONTS=/usr/share/fonts/truetype/dejavu
BOLD=$FONTS/DejaVuSans-Bold.ttf
CONDENSED=$FONTS/DejaVuSansCondensed-Bold.ttf
for f in "$IM" "$BOLD" "$CONDENSED"; do
  [ -e "$f" ] || { echo "draw_pictures.sh: missing $f" >&2; exit 1; }
done
mkdir -p "$OUT"
export MAGICK_THREAD_LIMIT=1

# Product colours (as on the setup program's picture).
DEEP='#0e2250' NIGHT='#020409' ACCENT='#46c8f5' STEEL='#8da2c6' AMBER='#f5b546'

# PNG output without the chunks that would change from run to run.
png_clean=(-strip -define png:exclude-chunks=date,time +set date:create +set date:modify)

icon() {  # icon FILE LABEL COLOUR
  local file=$1 label=$2 colour=$3
  "$IM" -size 32x32 xc:none -fill "$DEEP" -stroke "$colour" -strokewidth 2 \
        -draw 'roundrectangle 1,1 30,30 6,6' -stroke none -fill "$colour" \
        -font "$CONDENSED" -pointsize 13 -gravity center -annotate +0+1 "$label" \
        -define icon:auto-resize=32,16 "$OUT/$file"
}

if [ "$what" = icons ]; then
  render=(1 2 3 4 5 In AUX D3)
  capture=(A1 A2 A3 A4 A5 B1 B2 B3)
  for i in 1 2 3 4 5 6 7 8; do
    icon "render$i.ico" "${render[$((i - 1))]}" "$ACCENT"
    icon "capture$i.ico" "${capture[$((i - 1))]}" "$AMBER"
  done
  exit 0
fi

# A round button face with a soft highlight.
"$IM" -size 72x72 xc:none \
      -fill "$NIGHT" -draw 'circle 36,36 36,2' \
      -fill "$DEEP" -stroke "$ACCENT" -strokewidth 3 -draw 'circle 36,36 36,7' \
      -stroke none -fill '#ffffff40' -draw 'ellipse 36,24 18,8 0,360' \
      "${png_clean[@]}" "PNG32:$OUT/button_72x72.png"

# The macro button: a key cap with an "M" and a play mark.
"$IM" -size 72x72 xc:none \
      -fill "$DEEP" -stroke "$STEEL" -strokewidth 2 -draw 'roundrectangle 4,4 67,67 12,12' \
      -stroke none -fill "$ACCENT" -font "$BOLD" -pointsize 30 -gravity center -annotate -6-4 'M' \
      -fill "$AMBER" -draw 'polygon 50,46 62,54 50,62' \
      "${png_clean[@]}" "PNG32:$OUT/MacroButton_72x72.png"

# The maker's logo, on black and on white.
logo() {  # logo FILE BACKGROUND INK
  "$IM" -size 72x72 "xc:$2" -fill "$3" -font "$BOLD" -pointsize 34 -gravity center \
        -annotate +0-8 'ZT' -font "$CONDENSED" -pointsize 12 -annotate +0+20 'AUDIO' \
        -fill "$ACCENT" -draw 'rectangle 14,44 58,46' \
        "${png_clean[@]}" "PNG32:$OUT/$1"
}
logo ZTAudioLogoBlack_72x72.png black white
logo ZTAudioLogoWhite_72x72.png white black

# The console's logo: three faders on a dark face.
"$IM" -size 72x72 "gradient:$DEEP-$NIGHT" \
      -fill "$STEEL" -draw 'rectangle 17,10 19,62' -draw 'rectangle 35,10 37,62' -draw 'rectangle 53,10 55,62' \
      -fill "$ACCENT" -draw 'roundrectangle 11,40 25,48 2,2' -draw 'roundrectangle 29,20 43,28 2,2' \
      -draw 'roundrectangle 47,32 61,40 2,2' \
      "${png_clean[@]}" "PNG32:$OUT/MixolyteLogo_72x72.png"
