#!/usr/bin/env bash
# Cross-builds both Windows console programs: build-windows/denoise.exe
# (32-bit, SSE2) and build-windows64/denoise64.exe (64-bit, with the AVX2
# and AVX-512 paths chosen at run time).
#   WINDOWS32_BUILD_DIR, WINDOWS64_BUILD_DIR  the build folders
#   WINDOWS_TESTS=ON   the test programs too, GoogleTest built from
#                      /usr/src/googletest (make test-windows)
#   WINDOWS_BITS="64"  one of the two only
set -euo pipefail
cd "$(dirname "$0")/.."

JOBS=${JOBS:-2}
TESTS=${WINDOWS_TESTS:-OFF}
for bits in ${WINDOWS_BITS:-32 64}; do
  if [ "$bits" = 64 ]; then
    dir=${WINDOWS64_BUILD_DIR:-build-windows64} toolchain=mingw-x86_64.cmake program=denoise64.exe
  else
    dir=${WINDOWS32_BUILD_DIR:-build-windows} toolchain=mingw-i686.cmake program=denoise.exe
  fi
  cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DDENOISE_BUILD_TESTS="$TESTS" "$@"
  if [ "$TESTS" = ON ]; then
    cmake --build "$dir" -j "$JOBS"
  else
    cmake --build "$dir" -j "$JOBS" --target denoise
  fi
  echo "Windows program ($bits-bit): $(cd "$dir" && pwd)/$program"
done
