# shellcheck shell=bash
# Sourced by the Wine scripts: a private virtual display for the programs
# that make windows. start_xvfb exports DISPLAY; stop_xvfb ends the server.
XVFB_PID=

start_xvfb() {
  local n
  for n in $(seq 90 160); do
    if [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; then continue; fi
    Xvfb ":$n" -screen 0 1920x1200x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 100); do
      if ! kill -0 "$XVFB_PID" 2>/dev/null; then break; fi  # lost the race for that number
      if xdpyinfo -display ":$n" >/dev/null 2>&1; then
        export DISPLAY=":$n"
        return 0
      fi
      sleep 0.1
    done
    kill "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  done
  echo "xvfb: no virtual display could be started" >&2
  return 1
}

stop_xvfb() {
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  fi
}
