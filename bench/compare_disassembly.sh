#!/usr/bin/env bash
# Whether two builds' object files hold the same machine code: each
# function's instructions, with addresses and offsets taken out so that
# code moved within the file compares equal. Prints the differences; exits
# 0 when there are none. For changes meant to leave the code as it was
# (moving, cutting up, renaming inside a translation unit).
#   bash bench/compare_disassembly.sh <before.o> <after.o> [sed script for renamed symbols]
set -euo pipefail
renames=${3:-}
listing() {
  objdump -d --no-show-raw-insn -r -C "$1" | awk '
    /^[0-9a-f]+ <.*>:$/ { name = $0; sub(/^[0-9a-f]+ /, "", name); next }
    /^ *[0-9a-f]+:/ { line = $0; sub(/^ *[0-9a-f]+:[ \t]*/, "", line)
                      gsub(/[0-9a-f]+ <[^>]*>/, "<addr>", line); gsub(/<[^>]*\+0x[0-9a-f]+>/, "<addr>", line)
                      print name "\t" line }' | sort -s -k1,1
}
before=$(mktemp)
after=$(mktemp)
trap 'rm -f "$before" "$after"' EXIT
if [ -n "$renames" ]; then listing "$1" | sed -e "$renames" >"$before"; else listing "$1" >"$before"; fi
listing "$2" >"$after"
echo "$(wc -l <"$before") instructions before, $(wc -l <"$after") after"
diff "$before" "$after" && echo "same machine code"
