#!/usr/bin/env bash
# Whether 32-bit Windows programs can run under Wine on this machine. Exits 0 when they can;
# otherwise prints why not, in one line, and exits 1.
#
#   scripts/wine32.sh probe   this machine executes i386 code (a static i386 program, made with
#                             the binutils already here, runs)
#   scripts/wine32.sh ready   that, and Debian's 32-bit Wine (wine32:i386) is installed
#
# A kernel can have IA-32 emulation built in and still refuse i386 programs (switched off at
# boot, or by the host of a virtual machine), so only running one tells.
set -euo pipefail

probe() {
  local dir rc=0
  dir=$(mktemp -d)
  # exit(42) through the i386 system call gate: only a machine that runs i386 code says 42.
  # shellcheck disable=SC2016  # assembly, not shell
  printf '.globl _start\n_start:\n movl $1, %%eax\n movl $42, %%ebx\n int $0x80\n' >"$dir/probe.s"
  if ! { as --32 -o "$dir/probe.o" "$dir/probe.s" && ld -m elf_i386 -o "$dir/probe" "$dir/probe.o"; } \
    2>"$dir/err"; then
    echo "no i386 program could be made to try (binutils: $(head -n1 "$dir/err"))"
    rm -rf "$dir"
    return 1
  fi
  "$dir/probe" 2>"$dir/err" || rc=$?
  if [ "$rc" -ne 42 ]; then
    echo "this machine does not execute i386 code: a static i386 program ended with $rc" \
      "($(sed -n 's/.*: //p' "$dir/err" | head -n1))"
  fi
  rm -rf "$dir"
  [ "$rc" -eq 42 ]
}

ready() {
  probe || return 1
  if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "ok installed"; then
    echo "32-bit Wine (wine32:i386) is not installed: scripts/deps.sh installs it"
    return 1
  fi
}

case "${1:-}" in
  probe | ready) "$1" ;;
  *) echo "usage: scripts/wine32.sh probe | ready" >&2; exit 2 ;;
esac
