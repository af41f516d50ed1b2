#!/usr/bin/env bash
# make test-windows, once both Windows builds are made with their tests
# (cmake/build-windows.sh with WINDOWS_TESTS=ON) and the Linux build is in
# build/. For each build, 64-bit first:
#  - the checks made without running it (tests/windows/check_build.sh);
#  - where its wine runs here: ctest in its folder, under wine (every unit,
#    differential and every-path test; cmake/wine.cmake), then the whole
#    program against the Linux one (tests/windows/run-wine-tests.sh);
#  - where it does not: one line saying why.
# Fails when a check or test fails, or when neither build could be run.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
cd "$ROOT"
# shellcheck source=tests/windows/wine_env.sh
source tests/windows/wine_env.sh
JOBS=${JOBS:-2}

failed=()
ran=()
not_run=()
for bits in 64 32; do
  dir=$(windows_build_dir "$bits")
  echo "windows: the $bits-bit build, $dir"
  bash tests/windows/check_build.sh "$dir" "$bits" || failed+=("$bits-bit static checks")
  if ! problem=$(wine_problem "$bits"); then
    echo "windows: the $bits-bit build was not run here: $problem; it was checked without running (above)."
    not_run+=("$bits-bit")
    continue
  fi
  # Configured again, so that a folder configured before wine could run
  # lists its tests now (cmake/wine.cmake looks each time).
  cmake "$dir" -DDENOISE_WINE_LOADER="$(wine_loader "$bits")" >/dev/null || failed+=("$bits-bit configure")
  ran+=("$bits-bit")
  ctest --test-dir "$dir" -j "$JOBS" --output-on-failure || failed+=("$bits-bit ctest")
  bash tests/windows/run-wine-tests.sh "$bits" || failed+=("$bits-bit against Linux")
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "windows: FAILED: ${failed[*]}"
  exit 1
fi
if [ ${#ran[@]} -eq 0 ]; then
  echo "windows: FAILED: neither Windows build could be run here (reasons above)"
  exit 1
fi
echo "windows: passed; run under wine here: ${ran[*]}${not_run[*]:+; checked without running: ${not_run[*]}}"
