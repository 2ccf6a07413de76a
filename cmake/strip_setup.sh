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
mv "$work/MixolyteSetup.debug" "$folder/MixolyteSetup.debug"
mv "$work/stripped.exe" "$program"
rm -rf "$work"
