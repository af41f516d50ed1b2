#!/usr/bin/env bash
# Builds the BMP fuzzer with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) into build-fuzz/, makes the seed corpus with the
# project's picture generator and fuzzes for FUZZ_SECONDS (default 60).
#
#   FUZZ_SECONDS=1800 bash fuzz/run.sh       longer run
#   FUZZ_RUNS=10000000 bash fuzz/run.sh      stop after that many executions
#   bash fuzz/run.sh -only_ascii=0           extra arguments go to libFuzzer
#
# Crashes are written to build-fuzz/findings/; once a fix is in, copy the
# input to tests/fuzz_regressions/STATUS-NAME.bmp, STATUS being the reader's
# answer to it after the fix (see tests/fuzz_regressions_test.cpp), so the
# test suite replays it for ever.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=build-fuzz
CORPUS=fuzz-corpus
FUZZ_SECONDS=${FUZZ_SECONDS:-60}
FUZZ_RUNS=${FUZZ_RUNS:--1}
JOBS=${JOBS:-2}
CXX=${FUZZ_CXX:-clang++}

# A 64 x 64 picture is 12 KB of pixels; leave room for the largest header
# and a gap before the pixels, plus the settings bytes.
MAX_LEN=16384

# The project's own build of the core with the sanitizers; the fuzzer's
# entry point needs -fsanitize=fuzzer only at link time. clang has no
# Shift-JIS execution character set, so the console texts are UTF-8 here.
SANITIZERS=address,undefined
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER="$CXX" \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,$SANITIZERS -fno-sanitize-recover=all -fno-omit-frame-pointer" \
  -DDENOISE_UTF8_CONSOLE=ON -DDENOISE_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j "$JOBS" --target denoise_core sample_picture

common=(-std=c++17 -g -O1 -ffp-contract=off -fno-omit-frame-pointer -Wall -Wextra -Isrc -Itests -Itools)
case ${DENOISE_WARNINGS_AS_ERRORS:-} in ON | on | 1 | true) common+=(-Werror) ;; esac
"$CXX" "${common[@]}" -fsanitize=fuzzer,$SANITIZERS -fno-sanitize-recover=all \
  fuzz/bmp_fuzzer.cpp "$BUILD/libdenoise_core.a" -o "$BUILD/bmp_fuzzer"
"$CXX" "${common[@]}" -fsanitize=$SANITIZERS \
  fuzz/make_seeds.cpp "$BUILD/libsample_picture.a" -o "$BUILD/make_seeds"

mkdir -p "$CORPUS" "$BUILD/findings"
"$BUILD/make_seeds" "$CORPUS"
# Known crashers first, so a fix that regressed shows at once.
if compgen -G "tests/fuzz_regressions/*.bmp" >/dev/null; then
  "$BUILD/bmp_fuzzer" tests/fuzz_regressions/*.bmp
fi

"$BUILD/bmp_fuzzer" "$CORPUS" -max_len=$MAX_LEN -max_total_time="$FUZZ_SECONDS" -runs="$FUZZ_RUNS" \
  -artifact_prefix="$BUILD/findings/" -print_final_stats=1 "$@"
