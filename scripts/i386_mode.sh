#!/usr/bin/env bash
# Whether this machine runs 32-bit x86 Linux programs, and so 32-bit Wine,
# natively or by emulation. Some machines of our kind cannot run any 32-bit
# program ("Exec format error"); there the kernel's binfmt_misc hands them to
# qemu's i386 user-mode emulator instead. Everything that runs the setup
# program (a 32-bit Windows program) in Wine depends on this.
#
#   i386_mode.sh setup [auto|emulated|native]
#       auto (default): keep native execution where the kernel has it,
#       otherwise install and register the emulation. emulated: register the
#       emulation even where the kernel runs 32-bit programs (to try that
#       path). native: remove our registration again. Prints one line saying
#       the mode; fails with a message naming the cause when 32-bit programs
#       cannot run at all.
#   i386_mode.sh mode
#       prints "native" or "emulated" (how 32-bit programs run right now), or
#       "none" and exits 1.
#
# Debian bookworm's own qemu-user-static (7.2) is too slow for Wine: every
# 32-bit program start costs about a minute of one core, spent in qemu's
# address-space bookkeeping while Wine reserves its memory. Debian's
# bookworm-backports carries qemu 10, where the same start takes seconds; it
# is used when reachable, and 7.2 otherwise (with a warning).
set -euo pipefail

ENTRY=mixo-i386
BINFMT=/proc/sys/fs/binfmt_misc
# The i386 ELF header (executables and shared objects), as qemu registers it.
MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
MASK='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
BACKPORTS_LIST=/etc/apt/sources.list.d/mixo-bookworm-backports.list

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# A tiny 32-bit program: the 32-bit dynamic loader asked for its version.
loader32() {
  local f
  for f in /lib/ld-linux.so.2 /usr/lib/i386-linux-gnu/ld-linux.so.2 /lib32/ld-linux.so.2; do
    [ -e "$f" ] && { echo "$f"; return 0; }
  done
  return 1
}

runs32() { local l; l=$(loader32) && "$l" --version >/dev/null 2>&1; }

# Our own entry, or any other one that catches i386 programs (a distribution's
# qemu-user-binfmt, say): either way 32-bit programs are emulated.
i386_entries() {
  local f
  [ -d "$BINFMT" ] && [ -e "$BINFMT/register" ] || return 0
  for f in "$BINFMT"/*; do
    case $(basename "$f") in register | status) continue ;; esac
    if grep -qx 'enabled' "$f" 2>/dev/null && grep -q "^magic 7f454c4601010100000000000000000002000300" "$f" 2>/dev/null; then
      echo "$f"
    fi
  done
}

set_entries() { # set_entries 0|1 ENTRY...: disables or enables those entries
  local value=$1 f
  shift
  for f in "$@"; do as_root sh -c "echo $value > '$f'"; done
}

# Does the kernel itself run 32-bit programs? Registered emulators take
# precedence over native execution, so they are switched off for the test.
native_capable() {
  local entries rc=0
  entries=$(i386_entries)
  # shellcheck disable=SC2086
  set_entries 0 $entries
  runs32 || rc=1
  # shellcheck disable=SC2086
  set_entries 1 $entries
  return $rc
}

current_mode() {
  if ! runs32; then echo none; return 1; fi
  if [ -n "$(i386_entries)" ]; then echo emulated; else echo native; fi
}

qemu_path() {
  local q
  for q in /usr/bin/qemu-i386-static /usr/bin/qemu-i386; do
    # Only a static emulator works for every program, whatever its libraries.
    if [ -x "$q" ] && ! readelf -l "$q" 2>/dev/null | grep -q 'program interpreter'; then echo "$q"; return 0; fi
  done
  return 1
}

qemu_major() { "$1" --version 2>/dev/null | sed -n 's/.*version \([0-9]*\)\..*/\1/p' | head -n 1; }

apt_install() {
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@"
}

# qemu 10 from bookworm-backports where it can be had (pinned: only what is
# asked for by name comes from there), else Debian's own qemu-user-static.
install_qemu() {
  local q
  if q=$(qemu_path) && [ "$(qemu_major "$q")" -ge 8 ]; then return 0; fi
  if grep -qs 'bookworm' /etc/os-release; then
    if [ ! -f "$BACKPORTS_LIST" ]; then
      echo "deb http://deb.debian.org/debian bookworm-backports main" | as_root tee "$BACKPORTS_LIST" >/dev/null
    fi
    if as_root apt-get update -q >/dev/null 2>&1 &&
       apt_install -t bookworm-backports qemu-user >/dev/null 2>&1; then
      return 0
    fi
    echo "i386: qemu from bookworm-backports could not be installed; trying Debian's own" >&2
  fi
  qemu_path >/dev/null || apt_install qemu-user-static >/dev/null
}

register() {
  local q=$1
  if [ ! -e "$BINFMT/register" ]; then
    as_root mkdir -p "$BINFMT"
    as_root mount -t binfmt_misc binfmt_misc "$BINFMT"
  fi
  if [ -e "$BINFMT/$ENTRY" ]; then
    if grep -qx "interpreter $q" "$BINFMT/$ENTRY" && grep -qx enabled "$BINFMT/$ENTRY"; then return 0; fi
    as_root sh -c "echo -1 > '$BINFMT/$ENTRY'"
  fi
  # F: the emulator is opened now, so it is found from any mount namespace.
  # The kernel decodes the \x escapes itself: they are written as text.
  printf ':%s:M::%s:%s:%s:F' "$ENTRY" "$MAGIC" "$MASK" "$q" | as_root tee "$BINFMT/register" >/dev/null
}

unregister() {
  [ -e "$BINFMT/$ENTRY" ] && as_root sh -c "echo -1 > '$BINFMT/$ENTRY'"
  return 0
}

describe() {
  local mode=$1 q
  case $mode in
    native) echo "i386: this machine runs 32-bit programs natively: 32-bit Wine runs natively" ;;
    emulated)
      q=$(i386_entries | head -n 1)
      q=$(sed -n 's/^interpreter //p' "$q")
      echo "i386: this machine runs 32-bit programs emulated, by $q ($("$q" --version | head -n 1 | sed 's/.*version //'))"
      if [ "$(qemu_major "$q")" -lt 8 ]; then
        echo "i386: warning: this emulator needs about a minute for every 32-bit program start" >&2
      fi
      ;;
  esac
}

fail_emulation() {
  echo "i386: this machine cannot run 32-bit programs and the emulation could not be set up: $1" >&2
  exit 1
}

setup() {
  local want=${1:-auto} q
  case $want in
    auto | emulated | native) ;;
    *) echo "i386: unknown mode '$want' (auto, emulated or native)" >&2; exit 2 ;;
  esac
  loader32 >/dev/null || fail_emulation "no 32-bit loader installed (is wine32:i386 installed?)"
  if [ "$want" = native ]; then
    unregister
    runs32 || fail_emulation "native was asked for, but the kernel runs no 32-bit programs"
    describe native
    return 0
  fi
  if [ "$want" = auto ] && [ -e "$BINFMT/$ENTRY" ] && runs32; then
    describe emulated  # registered earlier (forced, or needed): kept
    return 0
  fi
  if [ "$want" = auto ] && native_capable; then
    describe native
    return 0
  fi
  install_qemu || fail_emulation "qemu's i386 emulator could not be installed"
  q=$(qemu_path) || fail_emulation "no static qemu-i386 found after installing it"
  register "$q" || fail_emulation "registering $q with binfmt_misc failed"
  runs32 || fail_emulation "a 32-bit program still does not run after registering $q"
  describe emulated
}

case ${1:-} in
  setup) setup "${2:-auto}" ;;
  mode) current_mode ;;
  *) echo "usage: $0 setup [auto|emulated|native] | mode" >&2; exit 2 ;;
esac
