#!/usr/bin/env bash
# Cross-builds denoise.exe (32-bit Windows console program) into build-windows/.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${WINDOWS_BUILD_DIR:-build-windows}
JOBS=${JOBS:-2}

cmake -S . -B "$BUILD_DIR" \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DDENOISE_BUILD_TESTS=OFF
cmake --build "$BUILD_DIR" -j "$JOBS" --target denoise

echo "Windows program: $(cd "$BUILD_DIR" && pwd)/denoise.exe"
