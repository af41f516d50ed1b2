#!/usr/bin/env bash
# The 64-bit Windows build under wine64 against the Linux build on this
# machine (and the 32-bit build under wine32 beside them, where it runs
# here): each mode's fast form on each lane path the processor runs, on the
# 2000 x 2000 noisy sample (bench/path_times.cpp, each figure the fastest of
# ROUNDS runs); then whole runs of each program on the same picture (read,
# filter, write, wine's start included), fastest of 3. The two builds take
# turns, PASSES times, and each keeps its fastest, so that a busy moment on
# the shared machine does not fall on one build alone.
#   bash bench/windows_paths.sh [ROUNDS [PASSES]]   (after make build and make windows)
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=tests/windows/wine_env.sh
source tests/windows/wine_env.sh
ROUNDS=${1:-5}
PASSES=${2:-2}

if problem=$(wine_problem 64); then :; else echo "windows_paths: $problem" >&2; exit 1; fi
cmake --build build --target path_times make_sample >/dev/null
cmake --build "$WINDOWS64_BUILD_DIR" --target path_times denoise >/dev/null
with32=false
if [ -f "$WINDOWS32_BUILD_DIR/CMakeCache.txt" ] && wine_problem 32 >/dev/null; then
  cmake --build "$WINDOWS32_BUILD_DIR" --target path_times >/dev/null && with32=true
fi
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

echo "CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(grep -m1 'cpu family' /proc/cpuinfo | tr -d '\t'); $(nproc) cores"
echo "Linux: $(g++ --version | head -1); Windows: $(x86_64-w64-mingw32-g++-posix --version | head -1), $(/usr/lib/wine/wine64 --version)"

for pass in $(seq "$PASSES"); do
  build/path_times "$ROUNDS" >>"$WORK/linux"
  in_wine 64 "$WINDOWS64_BUILD_DIR/path_times.exe" "$ROUNDS" </dev/null | tr -d '\r' >>"$WORK/windows"
  if $with32; then in_wine 32 "$WINDOWS32_BUILD_DIR/path_times.exe" "$ROUNDS" </dev/null | tr -d '\r' >>"$WORK/windows32"; fi
done
touch "$WORK/windows32"
# fastest MODE PATH FILE: the least of that row's figures.
fastest() { awk -v m="$1" -v p="$2" '$1 == m && $2 == p { if (best == "" || $3 < best) best = $3 } END { print best }' "$3"; }
echo
echo "filter time, 2000 x 2000, ms (fastest of $ROUNDS runs, $PASSES passes):"
printf '%-5s %-15s %10s %12s %8s %12s\n' mode path Linux "Windows 64" ratio "Windows 32"
awk '{ print $1, $2 }' "$WORK/linux" | sort -u -k1,1n -k2,2 | while read -r mode path; do
  l=$(fastest "$mode" "$path" "$WORK/linux")
  w=$(fastest "$mode" "$path" "$WORK/windows")
  w32=$(fastest "$mode" "$path" "$WORK/windows32")
  printf '%-5s %-15s %10s %12s %8s %12s\n' "$mode" "$path" "$l" "${w:-none}" \
    "$(awk -v l="$l" -v w="$w" 'BEGIN { if (w != "") printf "%.2f", w / l }')" "${w32:--}"
done

# Whole runs: the answers on standard input, the console to a file.
build/make_sample --width 2000 --height 2000 --seed 1 "$WORK/big.bmp" >/dev/null
mkdir -p "$WORK/linux-run" "$WORK/windows-run"
cp "$WORK/big.bmp" "$WORK/linux-run/" && cp "$WORK/big.bmp" "$WORK/windows-run/"
# run_ms FOLDER ANSWERS COMMAND...: the fastest of 3 whole runs, in ms.
run_ms() {
  local folder=$1 answers=$2 best= start took
  shift 2
  for _ in 1 2 3; do
    start=$(date +%s%N)
    (cd "$folder" && printf '%s' "$answers" | "$@" >console.txt 2>&1)
    took=$((($(date +%s%N) - start) / 1000000))
    if [ -z "$best" ] || [ "$took" -lt "$best" ]; then best=$took; fi
  done
  echo "$best"
}
echo
echo "whole run, 2000 x 2000, ms (fastest of 3; wine's start included):"
printf '%-5s %10s %12s\n' mode Linux "Windows 64"
for answers in $'0' $'1\n20' $'2' $'3\n1'; do
  input=$'big\nout\n'"$answers"$'\n'
  l=$(run_ms "$WORK/linux-run" "$input" "$PWD/build/denoise")
  w=$(run_ms "$WORK/windows-run" "$input" in_wine 64 "$WINDOWS64_BUILD_DIR/denoise64.exe")
  cmp -s "$WORK/linux-run/out.bmp" "$WORK/windows-run/out.bmp" || { echo "the two builds wrote different pictures" >&2; exit 1; }
  printf '%-5s %10s %12s\n' "${answers%%$'\n'*}" "$l" "$w"
done
