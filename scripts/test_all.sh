#!/usr/bin/env bash
# Every test suite of `make test`, one after the other, each judged on its own,
# then a table: what ran where, passed / failed / skipped, and why skipped.
#
#   test_all.sh BUILD
#
# E2E=full runs every Wine suite; E2E=core only the core path (the contract
# suites of the 32-bit and the 64-bit build in a 64-bit prefix, the window, a
# silent install and uninstall on 64-bit Windows 10 with the DAZA driver, a
# damaged package, the demo). The default is full, except where 32-bit programs are
# emulated by a slow emulator (about a minute a program start), where full
# would not fit a CI run.
set -uo pipefail
build=$1
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
export WINEDEBUG=-all

mode=$(bash scripts/i386_mode.sh mode 2>/dev/null)
slow=0
if [ "$mode" = emulated ]; then
  q=$(grep -h '^interpreter' /proc/sys/fs/binfmt_misc/mixo-i386 2>/dev/null | cut -d' ' -f2)
  major=$("${q:-/usr/bin/qemu-i386-static}" --version 2>/dev/null | sed -n 's/.*version \([0-9]*\)\..*/\1/p' | head -n 1)
  [ "${major:-0}" -ge 8 ] || slow=1
fi
e2e=${E2E:-auto}
if [ "$e2e" = auto ]; then
  if [ "$slow" = 1 ]; then e2e=core; else e2e=full; fi
fi
case $mode in
  native) wine_where="Wine, native" ;;
  emulated) wine_where="Wine, 32-bit emulated" ;;
  *) wine_where="Wine (no 32-bit)" ;;
esac
echo "make test: this machine runs 32-bit programs: ${mode:-not at all}; Wine suites: $e2e"

rows=()
passed=0 failed=0 skipped=0

# suite NAME WHERE COMMAND...: runs one suite and records its row. The
# scenarios it reports as not run (the Wine suites' "  skip  WHAT: WHY"
# lines, e2e/expect.sh) go into the row's note.
suite() {
  local name=$1 where=$2 started=$SECONDS status=0 log
  shift 2
  echo
  echo "=== $name ($where)"
  log=$(mktemp)
  "$@" | tee "$log"
  status=${PIPESTATUS[0]}
  local seconds=$((SECONDS - started)) skips note=""
  skips=$(sed -n 's/^  skip  //p' "$log" | paste -sd ';' - | sed 's/;/; /g')
  rm -f "$log"
  [ -z "$skips" ] || note="skipped: $skips"
  if [ "$status" = 0 ]; then
    passed=$((passed + 1))
    rows+=("$name|$where|passed|$seconds s|$note")
  else
    failed=$((failed + 1))
    rows+=("$name|$where|FAILED|$seconds s|exit $status${note:+; $note}")
  fi
}

skip() { # skip NAME WHERE WHY
  skipped=$((skipped + 1))
  rows+=("$1|$2|skipped||$3")
}

# wine_suite NAME CORE(yes|no) WHERE COMMAND...: a suite that needs Wine.
wine_suite() {
  local name=$1 core=$2 where=$3
  shift 3
  if [ "$mode" = none ]; then
    failed=$((failed + 1))
    rows+=("$name|$where|FAILED||this machine cannot run 32-bit programs and the emulation could not be set up")
    return
  fi
  if [ "$core" = no ] && [ "$e2e" = core ]; then
    skip "$name" "$where" "not in the core set on a slowly emulating machine (E2E=full runs it)"
    return
  fi
  suite "$name" "$where" "$@"
}

host_tests() {
  "$build/host/mixo_tests" --gtest_brief=1 && "$build/host/contract_tests" --gtest_brief=1 &&
    "$build/host/mixpack" verify "$build/win32/MixolyteSetup.exe" | tail -n 1
}

asan_tests() {
  cmake -G Ninja -Wno-dev -S . -B "$build/host-asan" -DCMAKE_BUILD_TYPE=Debug -DMIXO_SANITIZE=ON >/dev/null &&
    ninja -j"${JOBS:-2}" -C "$build/host-asan" mixo_tests contract_tests >/dev/null &&
    "$build/host-asan/mixo_tests" --gtest_brief=1 && "$build/host-asan/contract_tests" --gtest_brief=1
}

fuzz_short() {
  cmake -G Ninja -Wno-dev -S . -B "$build/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIXO_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null &&
    ninja -j"${JOBS:-2}" -C "$build/fuzz" >/dev/null && bash fuzz/run.sh "$build/fuzz" 20000
}

suite "host tests" host host_tests
suite "stamp and sign: another payload" host bash scripts/stamp_proof.sh "$build"
suite "host tests, ASan+UBSan" host asan_tests

# Base prefixes are made once for the whole run, then copied per scenario.
rm -rf "$build/wine"
export E2E_KEEP_PREFIXES=1
wine_suite "contract: 32-bit build, 64-bit prefix" yes "$wine_where" bash e2e/run_contract.sh "$build" win64:win32
wine_suite "contract: 64-bit build, 64-bit prefix" yes "Wine, native (64-bit)" bash e2e/run_contract.sh "$build" win64:win64
wine_suite "contract: 32-bit build, 32-bit prefix" no "$wine_where" bash e2e/run_contract.sh "$build" win32:win32
for file in e2e/scenarios/*.sh; do
  name=$(basename "$file" .sh)
  core=$(sed -n 's/^# core: *//p' "$file" | head -n 1)
  if [ "$e2e" = core ] && [ -n "$core" ]; then
    wine_suite "e2e: $name (core: $core)" yes "$wine_where" \
      env E2E_SCENARIOS="$core" E2E_ARCHS=win64 bash e2e/run_e2e.sh "$build" "$name"
  else
    wine_suite "e2e: $name" no "$wine_where" bash e2e/run_e2e.sh "$build" "$name"
  fi
done
# `make demo` once, then its pictures and tables checked (e2e/demo_check.sh).
wine_suite "demo: install and remove through the window" yes "$wine_where" bash e2e/demo.sh "$build" --check
suite "fuzz, short" host fuzz_short
# A second build of the sources in another folder, byte for byte the same.
suite "repro: a second build, another folder" host env JOBS="${JOBS:-2}" bash scripts/repro.sh "$build"

echo
echo "make test: summary (32-bit programs: ${mode:-none}; Wine suites: $e2e)"
printf '  %-46s %-24s %-8s %-7s %s\n' suite where result time note
for row in "${rows[@]}"; do
  IFS='|' read -r n w r t why <<< "$row"
  printf '  %-46s %-24s %-8s %-7s %s\n' "$n" "$w" "$r" "$t" "$why"
done
echo "make test: $passed passed, $failed failed, $skipped skipped"
[ "$failed" = 0 ]
