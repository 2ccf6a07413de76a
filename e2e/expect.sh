# shellcheck shell=bash
# The assertions of every end-to-end script (sourced), and the one place that
# counts their failures.
#
#   expect DESCRIPTION WANTED GOT   the two texts are equal
#   check DESCRIPTION COMMAND...    the command succeeds
#   fail DESCRIPTION                a fault the script found on its own
#   skip WHAT WHY                   a scenario (or a part of one) not run, and
#                                   why: never a pass; listed by the summary
#                                   and, through its "  skip  " line, in the
#                                   closing table of scripts/test_all.sh
#
# Each prints "ok" or "FAIL"; a failure also names the file and line of the
# assertion and the calls that led there, and, for expect, the wanted and
# the got text. Each returns 0 when it passed and 1 when not, so that a
# scenario can stop early: `check "the window appears" ... || return`.
#
#   expect_reset                  a suite starts: nothing counted yet
#   expect_scenario_begin         a scenario starts
#   expect_scenario_failed        succeeds when the scenario had a failure
#   expect_summary NAME [NOTE]    prints the suite's count; nonzero when
#                                 anything failed (the suite's exit code)
#
# EXPECT_FAILS and EXPECT_PASSES count the suite, EXPECT_SCENARIO_FAILS the
# current scenario.

EXPECT_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
: "${EXPECT_FAILS:=0}" "${EXPECT_PASSES:=0}" "${EXPECT_SCENARIO_FAILS:=0}"
EXPECT_SKIPS=()

expect_reset() {
  EXPECT_FAILS=0
  EXPECT_PASSES=0
  EXPECT_SCENARIO_FAILS=0
  EXPECT_SKIPS=()
}

expect_scenario_begin() { EXPECT_SCENARIO_FAILS=0; }

expect_scenario_failed() { [ "$EXPECT_SCENARIO_FAILS" -ne 0 ]; }

expect_summary() {
  local name=$1 note=${2:+ ($2)} skipped=""
  if [ ${#EXPECT_SKIPS[@]} -gt 0 ]; then
    skipped="; ${#EXPECT_SKIPS[@]} skipped: $(printf '%s; ' "${EXPECT_SKIPS[@]}")"
    skipped=${skipped%; }
  fi
  if [ "$EXPECT_FAILS" -eq 0 ]; then
    echo "$name: all $EXPECT_PASSES checks passed$note$skipped"
    return 0
  fi
  echo "$name: $EXPECT_FAILS of $((EXPECT_FAILS + EXPECT_PASSES)) checks FAILED$note$skipped"
  return 1
}

# The assertion's place as "FILE:LINE in FUNCTION", then up to three callers
# above it ("<- FILE:LINE in FUNCTION"). Frame 0 is this function, frame 1
# the assertion; BASH_LINENO[k-1] is the line in BASH_SOURCE[k] where frame
# k called frame k-1.
_expect_where() {
  local k out="" file shown=0
  for ((k = 2; k < ${#FUNCNAME[@]} && shown < 4; k++)); do
    file=${BASH_SOURCE[k]}
    file=${file#"$EXPECT_ROOT"/}
    [ -n "$out" ] && out+=" <- "
    out+="$file:${BASH_LINENO[k - 1]}"
    case ${FUNCNAME[k]} in
      main | source) break ;;
      *) out+=" in ${FUNCNAME[k]}" ;;
    esac
    shown=$((shown + 1))
  done
  printf '%s' "$out"
}

_expect_pass() {
  EXPECT_PASSES=$((EXPECT_PASSES + 1))
  echo "  ok    $1"
}

# _expect_fail DESCRIPTION WHERE [WANTED GOT]
_expect_fail() {
  EXPECT_FAILS=$((EXPECT_FAILS + 1))
  EXPECT_SCENARIO_FAILS=$((EXPECT_SCENARIO_FAILS + 1))
  echo "  FAIL  $1"
  echo "        at $2"
  if [ $# -ge 4 ]; then
    echo "        wanted: [$3]"
    echo "        got:    [$4]"
  fi
}

expect() {
  if [ $# -ne 3 ]; then
    _expect_fail "expect takes DESCRIPTION WANTED GOT, got $# argument(s): $*" "$(_expect_where)"
    return 1
  fi
  if [ "$2" == "$3" ]; then
    # A short one-line value is worth seeing in the log.
    if [ ${#3} -le 60 ] && [[ "$3" != *$'\n'* ]]; then _expect_pass "$1 [$3]"; else _expect_pass "$1"; fi
    return 0
  fi
  _expect_fail "$1" "$(_expect_where)" "$2" "$3"
  return 1
}

check() {
  local _expect_what=$1
  shift
  if "$@"; then
    _expect_pass "$_expect_what"
    return 0
  fi
  _expect_fail "$_expect_what" "$(_expect_where)"
  return 1
}

fail() {
  _expect_fail "$*" "$(_expect_where)"
  return 1
}

skip() {
  EXPECT_SKIPS+=("$1 ($2)")
  echo "  skip  $1: $2"
}
