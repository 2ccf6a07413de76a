#!/usr/bin/env bash
# The checks of `make test` on what the demo (e2e/demo.sh) left in
# BUILD/demo: its exit codes, its pictures, and its tables against what the
# install must leave and the removal must take away.
#
#   demo_check.sh BUILD DEMO_EXIT_CODE
#
# What the removal leaves beside that (the running uninstaller, emptied
# parent folders, files kept for a restart) is reported by the page and not
# judged here.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# The expected shortcuts, endpoint names and keys of the install scenarios.
# shellcheck source=scenarios/install.sh
source "$here/scenarios/install.sh"
# shellcheck source=scenarios/daza_install.sh
source "$here/scenarios/daza_install.sh"
build=$(cd "$1" && pwd)
demo=$build/demo
tables=$demo/tables
product='C:\Program Files (x86)\ZT\Mixolyte'
expect_reset
echo "demo checks:"

run_value() { awk -F'\t' -v k="$1" '$1 == k { print $2 }' "$demo/run.tsv" 2>/dev/null; }
rows() { grep -c . "$tables/$1.tsv" 2>/dev/null || true; }
# cell TABLE KEY_COLUMN KEY COLUMN: one cell of the row whose column matches.
cell() { awk -F'\t' -v c="$2" -v k="$3" -v w="$4" '$c == k { print $w; exit }' "$tables/$1.tsv" 2>/dev/null; }

expect "the demo's exit code" 0 "$2"
expect "the install's exit code after OK on its box" 1 "$(run_value install_exit)"
expect "the removal's exit code after OK on the restart box" 0 "$(run_value remove_exit)"
expect "the install's box says it is complete" yes "$(run_value install_box_text)"
expect "the removal's box asks for a restart" yes "$(run_value remove_box_text)"
check "the page was written" grep -q '</html>' "$demo/index.html"
check "the page fetches nothing and runs no script" \
  bash -c '! grep -qiE "<script|https?://|src=\"/" "$1"' _ "$demo/index.html"

# The pictures: every one listed is a file, the page shows each of them,
# and the stages have theirs.
pictures=$(grep -c . "$demo/pictures.tsv" 2>/dev/null || true)
expect "pictures listed as taken" "$(run_value pictures)" "$pictures"
check "at least 7 pictures (2 offers, 3 step labels, 2 boxes): $pictures" test "${pictures:-0}" -ge 7
missing=0 unshown=0
while IFS=$'\t' read -r file _; do
  [ -s "$demo/$file" ] || missing=$((missing + 1))
  grep -qF "src=\"$file\"" "$demo/index.html" || unshown=$((unshown + 1))
done < "$demo/pictures.tsv"
expect "pictures missing" 0 "$missing"
expect "pictures not on the page" 0 "$unshown"
for name in install-offer step-Configure_VAIOs step-Set_Pin_Name_Icon install-box remove-offer remove-box; do
  check "a picture of $name" bash -c 'compgen -G "$1/[0-9][0-9]-$2.png" >/dev/null' _ "$demo" "$name"
done
check "a picture of a pin count" bash -c 'compgen -G "$1/[0-9][0-9]-step-*_16_Pin_s__Ok.png" >/dev/null' _ "$demo"
# The step labels as drawn (Wine's trace of the program's text drawing):
# from "Configure VAIOs" on, counts of pins that grow, then the naming.
labels=$(run_value labels_drawn | tr '|' '\n' | sed -n '/^Configure VAIOs$/,$p')
expect "after \"Configure VAIOs\": pin counts, then \"Set Pin Name/Icon\"" "Configure VAIOs|COUNT|Set Pin Name/Icon" \
  "$(printf '%s\n' "$labels" | sed 's|^[0-9]*/16 Pin(s) Ok$|COUNT|' | uniq | grep -v '^Installation Completed$' | paste -sd '|')"
counts=$(printf '%s\n' "$labels" | sed -n 's|^\([0-9]*\)/16 Pin(s) Ok$|\1|p' | paste -sd ' ')
check "the pin count grew over several polls ($counts)" \
  bash -c 'set -- $1; [ $# -ge 2 ] || exit 1; p=0; for c; do [ "$c" -gt "$p" ] && [ "$c" -le 16 ] || exit 1; p=$c; done' _ "$counts"
# What the pictures show where the button is: a white face with a label in
# the offers, the black busy box during the install.
read -r bl bt br bb <<< "$(run_value button)"
pixel() { /usr/bin/convert "$1" -format '%[fx:int(255*p{'"$2"','"$3"'}.r)],%[fx:int(255*p{'"$2"','"$3"'}.g)],%[fx:int(255*p{'"$2"','"$3"'}.b)]' info: 2>/dev/null; }
if [ -n "${bb:-}" ]; then
  for picture in "$demo"/[0-9][0-9]-install-offer.png "$demo"/[0-9][0-9]-remove-offer.png; do
    expect "$(basename "$picture"): the button's face is white" "255,255,255" "$(pixel "$picture" $((bl + 10)) $((bt + 10)))"
  done
  black=0
  for picture in "$demo"/[0-9][0-9]-step-*.png; do
    [ "$(pixel "$picture" $((bl + 10)) $((bt + 5)))" = "0,0,0" ] && black=$((black + 1))
  done
  expect "step pictures showing the black busy box" "$(compgen -G "$demo/[0-9][0-9]-step-*.png" | wc -l)" "$black"
  check "the offers' buttons differ (Install, Remove)" bash -c '
    a=$(convert "$1" -crop "$3" +repage rgb:- | md5sum); b=$(convert "$2" -crop "$3" +repage rgb:- | md5sum)
    [ "$a" != "$b" ]' _ "$demo"/[0-9][0-9]-install-offer.png "$demo"/[0-9][0-9]-remove-offer.png \
    "$((br - bl))x$((bb - bt))+$bl+$bt"
else
  fail "the button's place was not recorded"
fi

# At 150%: the client area and the button scaled from the 100% ones, the
# button's face white in the picture, which is of the scaled window.
expect "the offer at 150%: client area" 1350x786 "$(run_value scaled_client)"
expect "the offer at 150%: the button's place" "870 666 1320 756" "$(run_value scaled_button)"
expect "the offer at 150%: exit code after Esc" 0 "$(run_value scaled_exit)"
scaled=$(compgen -G "$demo/[0-9][0-9]-scaled-offer.png" | head -1)
expect "the offer at 150%: its picture's size" 1350x786 "$(/usr/bin/convert "${scaled:-none}" -format '%wx%h' info: 2>/dev/null)"
expect "the offer at 150%: the button's face is white" "255,255,255" "$(pixel "${scaled:-none}" 885 681)"

# Before the install: nothing of the product.
for table in files uninstall settings shortcuts asio endpoints service; do
  expect "before the install: $table" 0 "$(rows "before-$table")"
done

# After the install.
expect "package entries in the product folder with the package's MD5" 98 \
  "$(awk -F'\t' '$4 == "package entry, same MD5"' "$tables/installed-files.tsv" | wc -l)"
expect "files in the product folder that are neither package entries nor the uninstaller" "" \
  "$(awk -F'\t' '$4 != "package entry, same MD5" && $4 != "the uninstaller: the setup program itself" { print $1 ": " $4 }' \
     "$tables/installed-files.tsv")"
expect "the uninstaller is the setup program" "the uninstaller: the setup program itself" \
  "$(cell installed-files 1 MixolyteSetup.exe 4)"
expect "uninstall entry values (32-bit view)" \
  "$(printf '%s\n' "DisplayIcon=$product\\MixolyteSetup.exe" "DisplayName=Mixolyte, The Virtual Mixing Console" \
       "Publisher=ZT-Audio Software" "UninstallString=$product\\MixolyteSetup.exe" "DisplayVersion=2.1.2.2" \
       "EstimatedSize=$(printf '0x%x' "$(ie_installed_kib "$build/payload" "$build/win32/MixolyteSetup.exe")")" \
       "InstallLocation=$product" "QuietUninstallString=\"$product\\MixolyteSetup.exe\" -h -u" \
       "NoModify=0x1" "NoRepair=0x1" | sort | paste -sd '|')" \
  "$(awk -F'\t' '$1 == "32-bit" { print $2 "=" $4 }' "$tables/installed-uninstall.tsv" | sort | paste -sd '|')"
expect "uninstall entry values in the 64-bit view" 0 "$(awk -F'\t' '$1 == "64-bit"' "$tables/installed-uninstall.tsv" | wc -l)"
expect "the settings" "done=0x0|EngineMode=0x0|install=0x0|nbLaunch=0x0|SysTray=0x0|SysTrayShowOnRun=0x0|TimerResolution=0x1" \
  "$(awk -F'\t' '$2 == "REG_DWORD" { print $1 "=" $3 }' "$tables/installed-settings.tsv" | sort -f | paste -sd '|')"
wanted=$(for row in "${IE_SHORTCUT_ROWS[@]}"; do
  IFS='|' read -r title file when <<< "$row"
  [ "$when" = nodaza ] && continue
  printf 'MixoLyte\\%s.LNK\t%s\\%s\t%s\t%s\t\n' "$title" "$product" "$file" "$product" "$title"
done | sort)
expect "the shortcuts: file, target, working folder, description, no arguments" "$wanted" \
  "$(sort "$tables/installed-shortcuts.tsv")"
wanted=$(for view in 32 64; do
  for entry in "Mixolyte Virtual ASIO|ztml_asiodriver|11" "Mixolyte AUX Virtual ASIO|ztmlaux_asiodriver|12" \
               "Mixolyte Insert Virtual ASIO|ztmlins_asiodriver|13"; do
    IFS='|' read -r name dll id <<< "$entry"
    suffix='' build_id=1
    [ "$view" = 64 ] && suffix=64 build_id=2
    printf '%s-bit\t%s\t{6A3E1F20-7C4B-4D85-9B21-3F0C5E7A%s0%s}\t%s\\%s%s.dll\tBoth\n' \
      "$view" "$name" "$id" "$build_id" "$product" "$dll" "$suffix"
  done
done | sort)
expect "the ASIO registrations: view, driver, CLSID, COM server, threading" "$wanted" \
  "$(cut -f1-3,5,6 "$tables/installed-asio.tsv" | sort)"
wanted=$(for channel in 1 2 3 4 5 6 7 8; do
  printf 'Render\t%s\t%s\t%s,-%s\n' "$channel" "${DI_RENDER_NAMES[$((channel - 1))]}" "$DI_ICON_FILE" $((200 + channel))
done
for channel in 1 2 3 4 5 6 7 8; do
  printf 'Capture\t%s\t%s\t%s,-%s\n' "$channel" "${DI_CAPTURE_NAMES[$((channel - 1))]}" "$DI_ICON_FILE" $((300 + channel))
done)
expect "the 16 endpoints: flow, channel, name, icon" "$wanted" "$(cut -f1-4 "$tables/installed-endpoints.tsv")"
expect "the DAZA driver's service names its file" "$DI_IMAGE_PATH" "$(cell installed-service 1 ImagePath 3)"

# After the removal: no uninstall entry, none of the package's files, no
# ASIO registration, no named endpoint, no driver service.
expect "after the removal: uninstall entry values" 0 "$(rows removed-uninstall)"
expect "after the removal: package files left" "" \
  "$(awk -F'\t' '$4 ~ /^package entry, / { print $1 }' "$tables/removed-files.tsv" | paste -sd ' ')"
expect "after the removal: shortcuts" 0 "$(rows removed-shortcuts)"
expect "after the removal: ASIO registrations" 0 "$(rows removed-asio)"
expect "after the removal: endpoints with a Mixolyte name" 0 "$(rows removed-endpoints)"
expect "after the removal: the DAZA driver's service" 0 "$(rows removed-service)"
expect "after the removal: the settings are reset" "EngineMode=0x0|SysTray=0x0|SysTrayShowOnRun=0x0" \
  "$(awk -F'\t' '$1 ~ /^(SysTray|SysTrayShowOnRun|EngineMode)$/ { print $1 "=" $3 }' "$tables/removed-settings.tsv" |
     sort | paste -sd '|')"
echo "  (left after the removal: $(awk -F'\t' '$2 != "absent" { print $1 }' "$tables/removed-left.tsv" | paste -sd ';'))"

expect_summary "demo checks" "demo took $(run_value seconds) s; page $demo/index.html"
