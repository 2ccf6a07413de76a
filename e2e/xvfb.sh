# shellcheck shell=bash
# Sourced by the Wine scripts: a private virtual display for the programs
# that make windows. start_xvfb exports DISPLAY; stop_xvfb ends the server.
#
# The server picks its own free display number and writes it back
# (-displayfd): two runs started at once can never both take one display
# (a check of the lock files and a try, as before, let the loser of a race
# see the winner's server as its own, and the two runs then clicked and
# photographed each other's windows).
XVFB_PID=

start_xvfb() {
  local answer number=""
  answer=$(mktemp) || return 1
  Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp 3>"$answer" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do
    number=$(head -n 1 "$answer" 2>/dev/null)
    [ -n "$number" ] && break
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$answer"
  if [ -n "$number" ] && xdpyinfo -display ":$number" >/dev/null 2>&1; then
    export DISPLAY=":$number"
    return 0
  fi
  kill "$XVFB_PID" 2>/dev/null || true
  XVFB_PID=
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
