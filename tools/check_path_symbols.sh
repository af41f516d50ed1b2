#!/usr/bin/env bash
# Checks that an object file built for a wider lane path (given with the
# path's namespace, e.g. avx2) gives the linker nothing that could stand in
# for another file's code: every function it defines with outside linkage is
# either in the path's own namespaces or uses no instruction the baseline
# lacks (no VEX or EVEX form, whose mnemonics begin with v). Unoptimised
# builds emit shared inline functions out of line, and the linker keeps one
# copy of each for every file.
#   bash tools/check_path_symbols.sh PATH_NAMESPACE OBJECT...
set -euo pipefail
path=$1
shift
bad=0
for object in "$@"; do
  while read -r type symbol; do
    name=$(c++filt "$symbol")
    case $name in
      # The C++ personality's reference, and on Windows the pointers to
      # outside data (.refptr.*) that every object referring to it holds:
      # data, the same in every object, never code.
      *"::$path::"* | DW.ref.__gxx_personality_v0 | .refptr.*) continue ;;
    esac
    case $type in
      W | T | i)
        # Code: any v-mnemonic here would run on the baseline's behalf.
        if objdump -d --no-show-raw-insn --disassemble="$symbol" "$object" | awk '$2 ~ /^v/ { found = 1 } END { exit !found }'; then
          echo "$object: $name uses instructions the baseline lacks"
          bad=1
        fi ;;
      *) echo "$object: $name ($type) is outside namespace $path"; bad=1 ;;
    esac
  done < <(nm --defined-only "$object" | awk '$2 ~ /^[A-Zu]$/ { print $2, $3 }')
done
[ "$bad" = 0 ] && echo "nothing outside namespace $path could stand in for the baseline's code"
exit "$bad"
