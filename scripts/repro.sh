#!/usr/bin/env bash
# Reproducible builds, proven: a second build of the same sources in another
# folder, at another time, must give the same package and setup program.
#   repro.sh [BUILD]   (default build; needs BUILD/package.bin and
#                       BUILD/win32/MixolyteSetup.exe from `make build`)
# The sources are copied to BUILD/repro/src (another path and depth) and
# built there: host tools, stand-ins, payload, package, then the setup
# program. Then that build is given a different package through CMake
# (MIXO_PACKAGE_BIN) and compared with `mixpack stamp` of the same package
# into the first build's program. The copy is removed when all is equal.
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
jobs=${JOBS:-2}
root=$(cd "$(dirname "$0")/.." && pwd)
mixpack=$build/host/mixpack
setup=$build/win32/MixolyteSetup.exe
for f in "$mixpack" "$setup" "$build/package.bin" "$build/payload/readme.txt"; do
  [ -e "$f" ] || { echo "repro.sh: missing $f (make build first)" >&2; exit 1; }
done
fail() { echo "repro FAILED: $*" >&2; exit 1; }
start=$(date +%s)

work=$build/repro
src=$work/src
rm -rf "$work"
mkdir -p "$src"
# The sources as they are in this folder (tracked and new files, changes
# included), without any build output.
if git -C "$root" rev-parse --git-dir > /dev/null 2>&1; then
  (cd "$root" && git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf -) | tar -xf - -C "$src"
else
  tar -C "$root" --exclude=./build -cf - . | tar -xf - -C "$src"
fi

echo "repro: building again in $src"
# As `make build` does, but only what the two files need: mixpack, the
# stand-ins and payload, the package, the setup program.
{
  cmake -G Ninja -Wno-dev -S "$src" -B "$src/build/host" -DCMAKE_BUILD_TYPE=Release &&
  ninja -j"$jobs" -C "$src/build/host" mixpack &&
  make -C "$src" --no-print-directory standins payload BUILD=build JOBS="$jobs" &&
  "$src/build/host/mixpack" build "$src/build/payload" "$src/build/package.bin"
} > "$work/build.log" 2>&1 || { tail -n 20 "$work/build.log" >&2; fail "the second build"; }
cmake -G Ninja -Wno-dev -S "$src" -B "$src/build/win32" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-i686.cmake" >> "$work/build.log" 2>&1
ninja -j"$jobs" -C "$src/build/win32" MixolyteSetup >> "$work/build.log" 2>&1 \
  || { tail -n 20 "$work/build.log" >&2; fail "the second build of the setup program"; }

cmp "$build/package.bin" "$src/build/package.bin" || fail "package.bin differs between the two builds"
if ! cmp -s "$setup" "$src/build/win32/MixolyteSetup.exe"; then
  "$mixpack" same "$setup" "$src/build/win32/MixolyteSetup.exe" >&2 || true
  fail "MixolyteSetup.exe differs between the two builds"
fi
echo "repro: package.bin and MixolyteSetup.exe are byte-identical in both folders"

# A different payload: built into the program by CMake, and stamped.
cp -r "$build/payload" "$work/payload"
printf 'Another payload for the reproducibility check.\r\n' >> "$work/payload/readme.txt"
"$mixpack" build "$work/payload" "$work/package.bin" > /dev/null
cmake -Wno-dev -S "$src" -B "$src/build/win32" -DMIXO_PACKAGE_BIN="$work/package.bin" >> "$work/build.log" 2>&1
ninja -j"$jobs" -C "$src/build/win32" MixolyteSetup >> "$work/build.log" 2>&1 || fail "the build with another package"
"$mixpack" stamp "$setup" "$work/package.bin" "$work/stamped.exe" > /dev/null
if ! cmp -s "$work/stamped.exe" "$src/build/win32/MixolyteSetup.exe"; then
  "$mixpack" same "$work/stamped.exe" "$src/build/win32/MixolyteSetup.exe" >&2 || true
  fail "stamping differs from building with the package"
fi
echo "repro: stamping a package gives the bytes of building with it ($(stat -c %s "$work/stamped.exe") bytes)"
rm -rf "$work"
echo "repro: passed in $(( $(date +%s) - start )) s"
