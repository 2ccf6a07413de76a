#!/usr/bin/env bash
# The shipped setup program carries no debug information: it is stripped,
# and what gdb needs is kept beside it in MixolyteSetup.debug, which the
# program names in its .gnu_debuglink section.
#   strip_setup.sh PROGRAM MIXPACK OBJCOPY
# The debug file is taken from the program with a fixed stand-in package
# stamped in (every entry one byte), so that it, and the checksum of it the
# link carries, do not depend on the package: stamping another package into
# the stripped program still gives the bytes of a build with that package.
set -euo pipefail
program=$1
mixpack=$2
objcopy=$3
[ -x "$mixpack" ] || { echo "strip_setup.sh: no mixpack at $mixpack (build the host tools first)" >&2; exit 1; }
folder=$(dirname "$program")
work=$folder/strip.tmp
rm -rf "$work"
mkdir -p "$work/payload"
"$mixpack" list "$program" | awk 'NR > 1 { print $2 }' | while IFS= read -r name; do
  name=${name//\\//}
  mkdir -p "$work/payload/$(dirname "$name")"
  printf '.' > "$work/payload/$name"
done
"$mixpack" stamp "$program" "$work/payload" "$work/fixed.exe" > /dev/null
# objcopy writes the time into the COFF header unless told the date.
export SOURCE_DATE_EPOCH=0
"$objcopy" --only-keep-debug "$work/fixed.exe" "$work/MixolyteSetup.debug"
(cd "$work" && "$objcopy" --strip-all --add-gnu-debuglink=MixolyteSetup.debug "$program" stripped.exe)
# Signing pads a program to a multiple of 8 bytes before its certificate
# table, and removing the signature keeps that padding: a program that is
# already a multiple of 8 long signs and unsigns back to the same bytes.
# The PE checksum is a sum of the file's words plus its length, so zeros
# appended raise it by their count.
stripped=$work/stripped.exe
size=$(stat -c %s "$stripped")
pad=$(( (size + 7) / 8 * 8 - size ))
if [ "$pad" -gt 0 ]; then
  truncate -s $((size + pad)) "$stripped"
  at=$(( $(od -An -tu4 -j 60 -N4 "$stripped" | tr -d ' ') + 88 ))
  sum=$(( ($(od -An -tu4 -j "$at" -N4 "$stripped" | tr -d ' ') + pad) & 0xffffffff ))
  printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((sum & 255)) $((sum >> 8 & 255)) $((sum >> 16 & 255)) $((sum >> 24)))" |
    dd of="$stripped" bs=1 seek="$at" conv=notrunc status=none
fi
mv "$work/MixolyteSetup.debug" "$folder/MixolyteSetup.debug"
mv "$work/stripped.exe" "$program"
rm -rf "$work"
