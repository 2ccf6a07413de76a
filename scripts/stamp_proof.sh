#!/usr/bin/env bash
# The host-side proof of `mixpack stamp` on the built setup program:
#   stamp_proof.sh [BUILD]       (default build; needs BUILD/host/mixpack,
#                                 BUILD/win32/MixolyteSetup.exe, BUILD/payload)
# Makes a different payload (a longer readme: a larger package) and a
# smaller one, stamps them into the built program, checks that a payload
# folder and its package give the same program, that it verifies and
# extracts to the payload, and that stamping the original package back gives
# the built program byte for byte (the linker's own layout).
# Then signs the stamped program with a throwaway code-signing certificate
# (osslsigncode, from a PEM key and certificate and from a PKCS#12 file,
# with a time stamp from a local authority) and checks that the signature
# verifies, that one byte changed in the package breaks it, that mixpack
# reads the signed program, and that stamping it is refused with the way out.
# Leaves for the end-to-end run in Wine:
#   BUILD/stamp/MixolyteSetup.exe         the stamped program
#   BUILD/stamp/MixolyteSetup-signed.exe  the same, signed
#   BUILD/stamp/MixolyteSetup-tampered.exe  signed, then one package byte changed
#   BUILD/stamp/signing/cert.pem          the certificate that signed it
#   BUILD/stamp/payload/                  its payload (readme.txt differs)
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

# Signing. A self-signed certificate for code signing, and one for a time
# stamp authority that osslsigncode runs locally (no network).
command -v osslsigncode > /dev/null || fail "osslsigncode is missing (make deps installs it)"
sig=$out/signing
mkdir -p "$sig"
certificate() {  # certificate NAME USAGE
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Mixolyte throwaway $1" \
    -keyout "$sig/$1.key" -out "$sig/$1.pem" -addext "extendedKeyUsage=critical,$2" \
    -addext "keyUsage=critical,digitalSignature" 2> /dev/null || fail "openssl cannot make the $1 certificate"
}
certificate cert codeSigning
certificate tsa timeStamping
openssl pkcs12 -export -inkey "$sig/cert.key" -in "$sig/cert.pem" -out "$sig/cert.p12" -passout pass:proof ||
  fail "openssl cannot make the PKCS#12 file"
signed=$out/MixolyteSetup-signed.exe
tsa=(-TSA-certs "$sig/tsa.pem" -TSA-key "$sig/tsa.key")
osslsigncode sign -certs "$sig/cert.pem" -key "$sig/cert.key" -h sha256 -n "Mixolyte Setup" "${tsa[@]}" \
  -in "$out/MixolyteSetup.exe" -out "$signed" > "$sig/sign.log" 2>&1 || { cat "$sig/sign.log" >&2; fail "osslsigncode sign (PEM)"; }
osslsigncode sign -pkcs12 "$sig/cert.p12" -pass proof -h sha256 -n "Mixolyte Setup" \
  -in "$out/MixolyteSetup.exe" -out "$sig/from-p12.exe" > "$sig/sign.log" 2>&1 || { cat "$sig/sign.log" >&2; fail "osslsigncode sign (PKCS#12)"; }
verify() {  # verify EXE: the signature and the digest check out against our certificate
  osslsigncode verify -CAfile "$sig/cert.pem" -TSA-CAfile "$sig/tsa.pem" -in "$1" > "$sig/verify.log" 2>&1
}
verify "$signed" || { cat "$sig/verify.log" >&2; fail "osslsigncode verify refuses the signed program"; }
grep -q 'Timestamp Server Signature verification: ok' "$sig/verify.log" ||
  { cat "$sig/verify.log" >&2; fail "the signed program has no verified time stamp"; }
verify "$sig/from-p12.exe" || { cat "$sig/verify.log" >&2; fail "osslsigncode verify refuses the program signed from PKCS#12"; }
! verify "$out/MixolyteSetup.exe" || fail "osslsigncode verify accepts the unsigned program"

# One byte changed in the middle of the package (found by its first bytes).
package_at=$(LC_ALL=C grep -obUaP "$(od -An -tx1 -N32 "$out/package.bin" | tr -d '\n' | sed 's/ /\\x/g')" "$signed" |
  head -n 1 | cut -d: -f1)
[ -n "$package_at" ] || fail "the package is not found in the signed program"
tampered=$out/MixolyteSetup-tampered.exe
cp "$signed" "$tampered"
at=$((package_at + $(size "$out/package.bin") / 2))
byte=$(od -An -tu1 -j "$at" -N1 "$tampered" | tr -d ' ')
printf "\\$(printf %03o $((byte ^ 0x20)))" | dd of="$tampered" bs=1 seek="$at" conv=notrunc status=none
cmp -s "$signed" "$tampered" && fail "the byte was not changed"
! verify "$tampered" || fail "osslsigncode verify accepts a program whose package was changed"
grep -q 'MISMATCH\|mismatch' "$sig/verify.log" || { cat "$sig/verify.log" >&2; fail "the changed byte is not reported as a digest mismatch"; }

# mixpack reads the signed program; it will not stamp it.
"$mixpack" list "$signed" > /dev/null || fail "mixpack list refuses the signed program"
"$mixpack" verify "$signed" | tail -n 1 | grep -qx 'result 0' || fail "the signed program does not verify"
"$mixpack" extract "$signed" "$out/extracted" > /dev/null || fail "mixpack extract refuses the signed program"
diff -r -q "$out/payload" "$out/extracted" > /dev/null || fail "the signed program does not carry the payload"
rm -rf "$out/extracted"
refusal=$("$mixpack" stamp "$signed" "$build/package.bin" "$out/restamped.exe" 2>&1) && fail "mixpack stamped a signed program"
[ ! -e "$out/restamped.exe" ] || fail "a refused stamp left an output"
for words in "signed" "remove the signature" "stamp the unsigned program" "sign the result again"; do
  grep -qF "$words" <<< "$refusal" || fail "the refusal does not say \"$words\": $refusal"
done
# The way out the message names works: unsigned again, it stamps.
osslsigncode remove-signature -in "$signed" -out "$sig/unsigned.exe" > /dev/null 2>&1 || fail "osslsigncode remove-signature"
"$mixpack" stamp "$sig/unsigned.exe" "$build/package.bin" "$out/restamped.exe" > /dev/null ||
  fail "the program with its signature removed does not stamp"
cmp -s "$out/restamped.exe" "$setup" || fail "the program with its signature removed does not stamp back to the built one"
rm -f "$out/restamped.exe"

echo "stamp proof: $(size "$setup") -> $(size "$out/MixolyteSetup.exe") bytes (larger), $(size "$out/smaller.exe") (smaller)," \
     "verified, stamped back byte for byte; signed and verified (PEM and PKCS#12, time-stamped), a changed byte" \
     "refused, read by mixpack, not stamped; $(( $(date +%s) - start )) s"
