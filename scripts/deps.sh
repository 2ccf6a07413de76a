#!/usr/bin/env bash
# Installs what the build and the tests need from Debian's packages, and
# only what is missing. Safe to run again.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  googletest libgtest-dev libbenchmark-dev libssl-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64
  wine wine32:i386 wine64
  xvfb xauth xdotool x11-utils imagemagick fonts-dejavu-core
  osslsigncode locales
)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# A mirror in the middle of a sync serves an index of the wrong size for a
# minute or two: try again after a pause, and where one index still fails,
# go on with the lists that did come (the install says if a package is
# really missing).
apt_update() {
  local try
  for try in 1 2 3 4; do
    as_root apt-get update -q && return 0
    echo "deps: apt-get update failed (try $try of 4)" >&2
    [ "$try" -lt 4 ] && sleep $((try * 20))
  done
  echo "deps: going on with the package lists that did download" >&2
}

# 32-bit Wine needs the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done

here=$(cd "$(dirname "$0")" && pwd)
if [ ${#missing[@]} -eq 0 ]; then
  echo "deps: all present"
else
echo "deps: installing ${missing[*]}"
if [ -n "${need_update:-}" ] || [ ! -d /var/lib/apt/lists ] || [ -z "$(ls -A /var/lib/apt/lists 2>/dev/null)" ]; then
  apt_update
fi
# Where one architecture's security index did not come, the two
# architectures' candidates of a shared library differ (i386 from the main
# archive, amd64 from security), which apt cannot install side by side; the
# main archive's versions, asked for by the release's codename, agree.
apt_install() { as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@" "${missing[@]}"; }
codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
apt_install || { apt_update && apt_install; } ||
  { [ -n "$codename" ] && echo "deps: installing from $codename's main archive" && apt_install -t "$codename"; }
fi

# Root may write a read-only file; Windows' users may not. Where the tests
# run as root, the contract suites run Wine as this unprivileged user, so
# that they see files as Windows does (e2e/run_contract.sh).
if [ "$(id -u)" -eq 0 ] && ! id -u mixo-wine > /dev/null 2>&1; then
  useradd --system --create-home --home-dir /var/lib/mixo-wine --shell /usr/sbin/nologin mixo-wine
  echo "deps: made the user mixo-wine for the contract suites in Wine"
fi

# Wine takes its ANSI code page from the Unix locale's language (en_US gives
# 1252, ja_JP 932) and decodes command lines and Unix file names by its
# character set. The Wine scenarios of users whose folder names lie outside
# ASCII start it in these; one not generated would leave Wine in C, which
# decodes them as ASCII.
wine_locales=(en_US.UTF-8 ja_JP.UTF-8)
have_locales=$(locale -a 2>/dev/null | tr 'A-Z' 'a-z' | sed 's/utf-8$/utf8/')
new_locales=()
for name in "${wine_locales[@]}"; do
  short=$(printf '%s' "$name" | tr 'A-Z' 'a-z' | sed 's/utf-8$/utf8/')
  grep -qx "$short" <<< "$have_locales" || new_locales+=("$name")
done
if [ ${#new_locales[@]} -gt 0 ]; then
  # Listed in /etc/locale.gen, so that a later locale-gen keeps them.
  for name in "${new_locales[@]}"; do
    grep -qx "$name UTF-8" /etc/locale.gen 2>/dev/null ||
      as_root sed -i "s/^# *$name UTF-8\$/$name UTF-8/" /etc/locale.gen
    grep -qx "$name UTF-8" /etc/locale.gen 2>/dev/null ||
      echo "$name UTF-8" | as_root tee -a /etc/locale.gen > /dev/null
  done
  as_root locale-gen > /dev/null
  echo "deps: generated the locales ${new_locales[*]} for Wine's code pages"
fi

# 32-bit programs (32-bit Wine, and so the setup program): natively where the
# kernel runs them, otherwise emulated. MIXO_I386=emulated forces emulation
# on a machine that would not need it; MIXO_I386=native removes it again.
bash "$here/i386_mode.sh" setup "${MIXO_I386:-auto}"
