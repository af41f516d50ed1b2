#!/usr/bin/env bash
# Whole-program runs on the 2000 x 2000 noisy sample: each filter mode with
# its answers piped in and the console written to a file, and beside them a
# run that copies the picture without filtering it (a mode outside 0..3) and
# the time the machine takes just to write mode 0's console bytes to a file.
# A mode's cost in a real run, tables made at first use included, is its run
# less the copy run: printed last, from the medians.
#   bash bench/whole_run.sh [BUILD_DIR]    (default: build; needs hyperfine)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/make_sample" --width 2000 --height 2000 --seed 1 "$work/sample.bmp"
cd "$work"

# Mode 1 with the suggested coefficient, mode 3 with the first preset.
answers=(
  'sample\nout\n0\n'
  'sample\nout\n1\n20\n'
  'sample\nout\n2\n'
  'sample\nout\n3\n1\n'
)
printf "${answers[0]}" | "$build/denoise" > console.txt
console_bytes=$(stat -c %s console.txt)
echo "mode 0 console: $console_bytes bytes"

commands=()
for mode in 0 1 2 3; do
  commands+=(-n "mode $mode" "printf '${answers[$mode]}' | $build/denoise > console.txt")
done
commands+=(-n "copy" "printf 'sample\\nout\\n9\\n' | $build/denoise > console.txt")
commands+=(-n "write $console_bytes bytes" "head -c $console_bytes /dev/zero > console.txt")
hyperfine --warmup 2 --runs "${RUNS:-15}" --style basic --export-json runs.json "${commands[@]}"
python3 - <<'PY'
import json
results = {r["command"]: r["median"] * 1000 for r in json.load(open("runs.json"))["results"]}
copy = results["copy"]
print("median ms, and less the copy run (%.1f ms):" % copy)
for mode in range(4):
    name = "mode %d" % mode
    print("  %s: %.1f, filter %.1f" % (name, results[name], results[name] - copy))
PY
