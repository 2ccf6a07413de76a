#!/usr/bin/env bash
# Wine prefixes for a test run: one fresh base prefix per architecture,
# made once per run (about 20 s each) and copied for every scenario.
#   wine_prefix.sh base BUILD win64|win32   -> prints the base prefix path
#   wine_prefix.sh copy BUILD win64|win32 NAME [win10|win7] -> prints a fresh copy
set -euo pipefail
mode=$1 build=$2 arch=$3
root=$(cd "$build" && pwd)/wine
here=$(cd "$(dirname "$0")" && pwd)
base=$root/base-$arch
export WINEDEBUG=-all

# A failed wineboot stops the run here, with its last lines and the cause
# when it is known, rather than surfacing later as a missing file.
wine_failed() { # wine_failed WHAT LOG
  echo "wine_prefix: $1 failed; its last lines:" >&2
  tail -n 15 "$2" | sed 's/^/  | /' >&2
  if [ "$(bash "$here/../scripts/i386_mode.sh" mode 2>/dev/null)" = none ]; then
    echo "wine_prefix: this machine cannot run 32-bit programs and the emulation could not be set up (run 'make deps')" >&2
  fi
  exit 1
}

make_base() {
  if [ ! -f "$base/.ready" ]; then
    rm -rf "$base"
    mkdir -p "$root"
    local log=$root/wineboot-$arch.log
    if ! WINEPREFIX=$base WINEARCH=$arch wineboot -i >"$log" 2>&1; then
      wine_failed "wineboot of the $arch base prefix" "$log"
    fi
    WINEPREFIX=$base wineserver -w
    # wineboot can exit 0 without having made a prefix (a loader that could
    # not start): the registry files are the proof.
    if [ ! -f "$base/system.reg" ] || [ ! -d "$base/drive_c/windows/system32" ]; then
      wine_failed "wineboot of the $arch base prefix (no system.reg or system32 made)" "$log"
    fi
    touch "$base/.ready"
  fi
}

# A prefix is about 1.3 GB, nearly all of it Wine's own DLLs and programs,
# which nothing rewrites: those are hard-linked into the copy (a second
# instead of 15), everything else (registry files, configuration, user
# folders) is copied, so a scenario never changes the base.
copy_prefix() { # base target
  cp -a --link "$1" "$2"
  find "$2" -type f -links +1 \
    ! \( -iname '*.dll' -o -iname '*.exe' -o -iname '*.drv' -o -iname '*.sys' -o -iname '*.ocx' \
         -o -iname '*.acm' -o -iname '*.cpl' -o -iname '*.tlb' -o -iname '*.ax' -o -iname '*.ds' \) \
    -exec sh -c 'for f; do cp -p "$f" "$f.copy" && mv -f "$f.copy" "$f"; done' sh {} +
}

case $mode in
  base)
    make_base
    echo "$base"
    ;;
  copy)
    make_base
    name=$4 version=${5:-}
    target=$root/$name
    rm -rf "$target"
    copy_prefix "$base" "$target"
    if [ -n "$version" ]; then
      if ! WINEPREFIX=$target wine winecfg -v "$version" >"$target.winecfg.log" 2>&1; then
        wine_failed "winecfg -v $version in $name" "$target.winecfg.log"
      fi
      WINEPREFIX=$target wineserver -w
      rm -f "$target.winecfg.log"
    fi
    echo "$target"
    ;;
esac
