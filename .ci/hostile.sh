#!/usr/bin/env bash
# CI: the test suite under AddressSanitizer and UndefinedBehaviorSanitizer,
# then a short fuzz run of the BMP reader, writer and filters. Runs as root
# on a fresh machine; installs clang and its sanitizer runtimes if missing.
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
command -v clang++ >/dev/null || missing+=(clang)
# libFuzzer and the sanitizer runtimes of clang 14.
compgen -G "/usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null ||
  missing+=(libclang-rt-14-dev)
command -v cmake >/dev/null || missing+=(cmake)
command -v g++ >/dev/null || missing+=(g++)
[ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q "${missing[@]}"
fi

make sanitize
FUZZ_SECONDS=${FUZZ_SECONDS:-60} make fuzz
