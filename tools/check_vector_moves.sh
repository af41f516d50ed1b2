#!/usr/bin/env bash
# Checks that object files hold no aligned vector move with a memory operand
# (vmovdqa, vmovdqa32/64, vmovaps, vmovapd, and the non-temporal moves, which
# need alignment too). On Windows GCC cannot align the stack beyond 16 bytes,
# so a 32- or 64-byte vector spilled with an aligned move faults whenever the
# slot is misaligned; the AVX paths' objects are assembled with
# -muse-unaligned-vector-move (CMakeLists.txt), and this checks that it took
# effect. Moves to or from the stack are counted apart in the message.
#   bash tools/check_vector_moves.sh OBJECT...
#   bash tools/check_vector_moves.sh --control COMPILER
# --control shows the check can fail: one aligned spill assembled by COMPILER
# without the option must be caught, and with it must pass.
set -euo pipefail

# aligned_moves OBJECT: prints what it finds, fails if it finds any.
aligned_moves() {
  local found count stack
  found=$(objdump -d --no-show-raw-insn "$1" |
    grep -E '[[:space:]]v?mov(dqa(32|64)?|aps|apd|nt(dqa?|ps|pd))[[:space:]].*\(' || true)
  [ -z "$found" ] && return 0
  count=$(wc -l <<<"$found")
  stack=$(grep -cE '\(%(rsp|rbp|esp|ebp)' <<<"$found" || true)
  echo "$1: $count aligned vector moves with a memory operand, $stack of them on the stack; the first:"
  head -5 <<<"$found"
  return 1
}

if [ "${1:-}" = --control ]; then
  compiler=$2
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  printf '\tvmovdqa %%ymm0, 32(%%rsp)\n\tvmovaps 64(%%rsp), %%ymm1\n' >"$work/spill.s"
  "$compiler" -c "$work/spill.s" -o "$work/plain.o"
  "$compiler" -c -Wa,-muse-unaligned-vector-move "$work/spill.s" -o "$work/unaligned.o"
  if aligned_moves "$work/plain.o" >/dev/null; then echo "the check missed an aligned spill"; exit 1; fi
  aligned_moves "$work/unaligned.o" || { echo "-muse-unaligned-vector-move left an aligned move"; exit 1; }
  echo "the check catches an aligned spill, and the assembler option removes it"
  exit 0
fi

bad=0
for object in "$@"; do
  aligned_moves "$object" || bad=1
done
[ "$bad" = 0 ] && echo "no aligned vector move with a memory operand in $# objects"
exit "$bad"
