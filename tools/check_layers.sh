#!/usr/bin/env bash
# Checks that every include in src/ points to the file's own layer or one
# below it (docs/design.md gives the order), and that no plain filter
# includes a fast one. Prints each arrow that points up; fails if any does.
#   bash tools/check_layers.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

layer() {
  case $1 in
    src/messages/*) echo 1 ;;
    src/image/image_store.* | src/image/bmp_format.* | src/image/read_refusal.* | src/image/platform_files*) echo 2 ;;
    src/filters/fast/*) echo 4 ;;
    src/filters/filter_modes.*) echo 5 ;;
    src/filters/*) echo 3 ;;
    src/image/filter_stage.* | src/image/bmp_files.*) echo 6 ;;
    src/front/*) echo 7 ;;
    *) echo 0 ;;
  esac
}

files=$(find src -name '*.h' -o -name '*.cpp' | sort)
[ -n "$files" ] || { echo "no sources under src/"; exit 1; }
upward=0
for file in $files; do
  from=$(layer "$file")
  if [ "$from" = 0 ]; then echo "$file: in no layer"; upward=1; continue; fi
  while IFS= read -r included; do
    target=$(realpath -m --relative-to=. "$(dirname "$file")/$included")
    [ -f "$target" ] || target=$(realpath -m --relative-to=. "src/$included")
    to=$(layer "$target")
    if [ "$to" = 0 ] || [ "$to" -gt "$from" ]; then
      echo "$file (layer $from) includes $target (layer $to)"
      upward=1
    fi
  done < <(sed -n 's/^#include "\(.*\)"/\1/p' "$file")
done
[ "$upward" = 0 ] && echo "every include points down or within its layer"
exit "$upward"
