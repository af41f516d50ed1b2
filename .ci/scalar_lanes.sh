#!/usr/bin/env bash
# The fast filters' one-byte lane form, which the program uses where SSE2 is
# not there: built alone with DENOISE_SCALAR_LANES into build-scalar-lanes/
# and checked by the quick tests (every fast-against-plain comparison but
# the largest picture's).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=build-scalar-lanes
JOBS=${JOBS:-2}
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DDENOISE_SCALAR_LANES=ON >/dev/null
cmake --build "$BUILD" -j "$JOBS"
ctest --test-dir "$BUILD" --output-on-failure -j "$JOBS" -LE slow
