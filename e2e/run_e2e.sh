#!/usr/bin/env bash
# End-to-end tests of MixolyteSetup.exe itself in Wine, under a private
# virtual display: the real program in fresh prefixes, read from outside as
# a user's tools would (exit codes, windows, screenshots, the registry and
# the files).
#
#   run_e2e.sh BUILD [SUITE...]
#
# Every file e2e/scenarios/NAME.sh is one suite, run in name order (or only
# the suites named): it is sourced in a shell of its own, which then calls
# its function e2e_NAME BUILD [SCENARIO...] (the scaffolding they share is
# e2e/install_lib.sh). A suite fails by a nonzero exit code; a scenario it
# does not run is reported as skipped, with its reason ("  skip  " lines). E2E_SCENARIOS names the scenarios
# of a suite to run (all when empty); E2E_ARCHS limits the prefixes of the
# suites that run each scenario in several (e.g. "win64"). Prefixes come
# from wine_prefix.sh: one base per architecture, made fresh once per run (E2E_KEEP_PREFIXES=1
# keeps bases made earlier in the same run, as the Makefile does after the
# contract suite made them), copied for every scenario.
set -uo pipefail
if [ $# -lt 1 ]; then
  echo "usage: $0 BUILD [SUITE...]" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
shift
here=$(cd "$(dirname "$0")" && pwd)
export WINEDEBUG=-all

if [ "${E2E_KEEP_PREFIXES:-0}" != 1 ]; then
  rm -rf "$build/wine"
fi

. "$here/xvfb.sh"
start_xvfb || exit 1
trap stop_xvfb EXIT

passed=0
failed=0
for file in "$here"/scenarios/*.sh; do
  name=$(basename "$file" .sh)
  if [ $# -gt 0 ] && [[ " $* " != *" $name "* ]]; then continue; fi
  echo "e2e suite: $name"
  started=$SECONDS
  (
    # shellcheck source=/dev/null
    . "$file"
    if ! declare -F "e2e_$name" >/dev/null; then
      echo "e2e suite: $file defines no function e2e_$name"
      exit 1
    fi
    # shellcheck disable=SC2086 # a list of scenario names
    "e2e_$name" "$build" ${E2E_SCENARIOS:-}
  )
  status=$?
  if [ "$status" = 0 ]; then
    passed=$((passed + 1))
    echo "e2e suite: $name passed ($((SECONDS - started)) s)"
  else
    failed=$((failed + 1))
    echo "e2e suite: $name FAILED ($((SECONDS - started)) s)"
  fi
done

echo "e2e: $passed passed, $failed failed"
[ "$failed" = 0 ]
