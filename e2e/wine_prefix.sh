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
    cp -a "$base" "$target"
    if [ -n "$version" ]; then
      WINEPREFIX=$target wine winecfg -v "$version" >/dev/null 2>&1
      WINEPREFIX=$target wineserver -w
    fi
    echo "$target"
    ;;
esac
