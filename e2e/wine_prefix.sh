#!/usr/bin/env bash
# Wine prefixes for a test run: one fresh base prefix per architecture,
# made once per run (about 20 s each) and copied for every scenario.
#   wine_prefix.sh base BUILD win64|win32   -> prints the base prefix path
#   wine_prefix.sh copy BUILD win64|win32 NAME [win10|win7] -> prints a fresh copy
set -euo pipefail
mode=$1 build=$2 arch=$3
root=$(cd "$build" && pwd)/wine
base=$root/base-$arch
export WINEDEBUG=-all

make_base() {
  if [ ! -f "$base/.ready" ]; then
    rm -rf "$base"
    mkdir -p "$root"
    WINEPREFIX=$base WINEARCH=$arch wineboot -i >/dev/null 2>&1 || true
    WINEPREFIX=$base wineserver -w
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
      WINEPREFIX=$target wine winecfg -v "$version" >/dev/null 2>&1
      WINEPREFIX=$target wineserver -w
    fi
    echo "$target"
    ;;
esac
