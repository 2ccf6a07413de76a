#!/usr/bin/env bash
# Shows the setup program's window in Wine on a virtual display and keeps its
# picture: BUILD/demo/window.png. The program is then closed as a user would
# close it (Esc).
#   demo_window.sh BUILD
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
export WINEDEBUG=-all
setup=$build/win32/MixolyteSetup.exe
probe=$build/win32/winprobe.exe
out=$build/demo/window.png
class=ZTMixolyte0Installer0MainWindow0

case $(bash "$here/../scripts/i386_mode.sh" mode) in
  native) echo "demo: this machine runs 32-bit programs natively; the setup program runs in Wine as it is" ;;
  emulated) echo "demo: this machine cannot run 32-bit programs itself; the setup program runs in Wine under qemu's i386 emulation" ;;
  *) echo "demo: this machine cannot run 32-bit programs and the emulation could not be set up (run 'make deps')" >&2; exit 1 ;;
esac
. "$here/xvfb.sh"
. "$here/screen.sh"
start_xvfb
prefix=$(bash "$here/wine_prefix.sh" copy "$build" win64 demo-window)
export WINEPREFIX=$prefix
cleanup() {
  wineserver -k 2>/dev/null || true
  stop_xvfb
  rm -rf "$prefix"
}
trap cleanup EXIT

wine "$setup" >/dev/null 2>&1 &
setup_pid=$!
if ! wine "$probe" wait "$class" 30 >/dev/null 2>&1; then
  echo "demo: the setup window did not appear" >&2
  exit 1
fi
# Painted: the client area shows a picture, the same in two grabs.
info=$(wine "$probe" info "$class" 2>/dev/null | tr -d '\r')
client=$(sed -n 's/.* client=\([0-9]*x[0-9]*\).*/\1/p' <<<"$info")
origin=$(sed -n 's/.* origin=\(-\{0,1\}[0-9]*\),\(-\{0,1\}[0-9]*\).*/+\1+\2/p' <<<"$info")
if ! screen_settled "$client$origin" 60; then
  echo "demo: the setup window was not drawn within 60 s; its picture is taken as it is" >&2
fi
xid=$(xdotool search --onlyvisible --name "Mixolyte Installation" | head -1)
mkdir -p "$(dirname "$out")"
import -window "$xid" "$out"
echo "demo: setup window: $info"
xdotool windowfocus --sync "$xid" key Escape 2>/dev/null || wine "$probe" close "$class" >/dev/null 2>&1
status=0
wait "$setup_pid" || status=$?
echo "demo: the window's picture is $out (the program ended with $status)"
