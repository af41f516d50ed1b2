#!/usr/bin/env bash
# Instructions the fast neighbourhood filters take, counted by callgrind:
# modes 1 to 3 on a noisy sample, through the program as a user runs it,
# counting only inside the modes' fast forms, and naming the lane path that
# ran (valgrind offers AVX2 but not AVX-512). Unlike timings on a shared
# machine, the counts are the same from run to run, so small changes show.
#   bash bench/count_instructions.sh [BUILD_DIR] [SIZE]   (default: build 1000)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
size=${2:-1000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/make_sample" --width "$size" --height "$size" --seed 1 "$work/sample.bmp" >/dev/null
cd "$work"
# Mode 1 with the suggested coefficient, mode 3 with the first preset.
answers=('' 'sample\nout\n1\n20\n' 'sample\nout\n2\n' 'sample\nout\n3\n1\n')
for mode in 1 2 3; do
  printf "${answers[$mode]}" | valgrind --tool=callgrind --toggle-collect='medianReplacementFast*' \
    --toggle-collect='originalBlendFast*' --toggle-collect='crispSmoothBlendFast*' \
    --callgrind-out-file="cg.$mode" "$build/denoise" >/dev/null 2>&1
  # The lane path that ran, by the names callgrind saw (none before paths).
  path=$({ grep -o 'fast_paths::[a-z0-9_]*::' "cg.$mode" || true; } | sort -u | sed 's/fast_paths:://; s/:://' | tr '\n' ' ')
  echo "mode $mode: $(awk '/^totals:/ { print $2 }' "cg.$mode") instructions${path:+ (lane path: ${path% })}"
done
