#!/usr/bin/env bash
# The host-side proof of `mixpack stamp` on the built setup program:
#   stamp_proof.sh [BUILD]       (default build; needs BUILD/host/mixpack,
#                                 BUILD/win32/MixolyteSetup.exe, BUILD/payload)
# Makes a different payload (a longer readme: a larger package) and a
# smaller one, stamps them into the built program, checks that a payload
# folder and its package give the same program, that it verifies and
# extracts to the payload, and that stamping the original package back gives
# the built program byte for byte (the linker's own layout).
# Leaves for the end-to-end run in Wine:
#   BUILD/stamp/MixolyteSetup.exe    the stamped program
#   BUILD/stamp/payload/             its payload (readme.txt differs)
set -euo pipefail

build=${1:-build}
mixpack=$build/host/mixpack
setup=$build/win32/MixolyteSetup.exe
out=$build/stamp
for f in "$mixpack" "$setup" "$build/package.bin" "$build/payload/readme.txt"; do
  [ -e "$f" ] || { echo "stamp_proof.sh: missing $f (make build first)" >&2; exit 1; }
done
start=$(date +%s)
fail() { echo "stamp proof FAILED: $*" >&2; exit 1; }

rm -rf "$out"
mkdir -p "$out"
cp -r "$build/payload" "$out/payload"
cp -r "$build/payload" "$out/payload-smaller"
{
  printf 'This setup program was stamped with another package.\r\n'
  for i in $(seq 1 6000); do printf 'Line %d of the stamped readme.\r\n' "$i"; done
} >> "$out/payload/readme.txt"
head -c 100 "$build/payload/Mixolyte_Help.xml" > "$out/payload-smaller/Mixolyte_Help.xml"

# One command from a payload folder; the same bytes from its package.
"$mixpack" stamp "$setup" "$out/payload" "$out/MixolyteSetup.exe" > /dev/null
"$mixpack" build "$out/payload" "$out/package.bin" > /dev/null
"$mixpack" stamp "$setup" "$out/package.bin" "$out/from-package.exe" > /dev/null
cmp -s "$out/MixolyteSetup.exe" "$out/from-package.exe" || fail "folder and package give different programs"
"$mixpack" stamp "$setup" "$out/payload-smaller" "$out/smaller.exe" > /dev/null

# Each installs its own payload (the setup program's extraction on the sim).
for exe in MixolyteSetup smaller; do
  "$mixpack" verify "$out/$exe.exe" | tail -n 1 | grep -qx 'result 0' || fail "$exe.exe does not verify"
done
"$mixpack" extract "$out/MixolyteSetup.exe" "$out/extracted" > /dev/null
diff -r -q "$out/payload" "$out/extracted" > /dev/null || fail "the stamped program does not carry the new payload"
rm -rf "$out/extracted"

# The original package stamped back gives the built program exactly.
for exe in MixolyteSetup smaller; do
  "$mixpack" stamp "$out/$exe.exe" "$build/package.bin" "$out/back.exe" > /dev/null
  cmp -s "$out/back.exe" "$setup" || { "$mixpack" same "$setup" "$out/back.exe" >&2; fail "$exe.exe stamped back differs"; }
done
"$mixpack" same "$setup" "$out/back.exe" > /dev/null || fail "mixpack same"
! "$mixpack" same "$setup" "$out/MixolyteSetup.exe" > /dev/null || fail "mixpack same took different programs for one"
rm -f "$out/back.exe" "$out/from-package.exe"

size() { stat -c %s "$1"; }
echo "stamp proof: $(size "$setup") -> $(size "$out/MixolyteSetup.exe") bytes (larger), $(size "$out/smaller.exe") (smaller)," \
     "verified, stamped back byte for byte, $(( $(date +%s) - start )) s"
