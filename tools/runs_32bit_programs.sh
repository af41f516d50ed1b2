#!/usr/bin/env bash
# Whether this machine's kernel runs 32-bit x86 programs, which wine32 is.
# Some x86-64 kernels are built or booted without them (ia32 emulation off),
# and then every 32-bit program, wine32 among them, fails with "Exec format
# error". Asked by running the smallest 32-bit Linux program there is (a
# 96-byte ELF file that exits with status 42), so nothing needs installing.
# Exits 0 if it ran; otherwise 1, with the reason on standard output.
set -uo pipefail

[ "$(uname -m)" = x86_64 ] || [ "$(uname -m)" = i686 ] || {
  echo "this is not an x86 machine ($(uname -m))"
  exit 1
}
program=${PROBE_KEEP:-$(mktemp "${TMPDIR:-/tmp}/i386-probe-XXXXXX")}
[ -n "${PROBE_KEEP:-}" ] || trap 'rm -f "$program"' EXIT
# ELF header (32-bit, little-endian, executable, i386, entry 0x08048054),
# one loadable segment of the whole file, then: mov ebx,42; mov eax,1
# (exit); int 0x80.
printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'\
'\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'\
'\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00'\
'\x00\x00\x00\x00'\
'\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'\
'\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'\
'\xbb\x2a\x00\x00\x00\xb8\x01\x00\x00\x00\xcd\x80' >"$program"
chmod 700 "$program"
said=$("$program" 2>&1)
status=$?
[ "$status" = 42 ] && exit 0
case $said in
  *"Exec format error"*) echo "the kernel refuses 32-bit programs (Exec format error)" ;;
  *) echo "a 32-bit test program did not run (exit status $status${said:+: $said})" ;;
esac
exit 1
