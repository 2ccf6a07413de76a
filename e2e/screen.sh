# shellcheck shell=bash
# Waiting for what a window draws, by looking at the screen (sourced).
#
#   screen_settled GEOMETRY SECONDS [COLOURS]
#       waits until the screen region WxH+X+Y holds at least COLOURS colours
#       (default 3: more than a blank or patterned background) and shows the
#       same pixels in two grabs in a row (the drawing has finished). Gives 1
#       after SECONDS without that.
#
# The waits are bounded by the clock, not by a number of tries: under qemu's
# i386 emulation one round of a 32-bit program's painting can take seconds.

# The region's pixel digest and its number of colours, "DIGEST COLOURS".
screen_region_state() {
  import -window root png:- 2>/dev/null |
    /usr/bin/convert png:- -crop "$1" +repage -format '%# %k' info: 2>/dev/null
}

screen_settled() {
  local geometry=$1 deadline=$((SECONDS + $2)) least=${3:-3} previous="" state colours
  while :; do
    state=$(screen_region_state "$geometry")
    colours=${state##* }
    if [ -n "$state" ] && [ "${colours:-0}" -ge "$least" ] && [ "$state" = "$previous" ]; then
      return 0
    fi
    previous=$state
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}
