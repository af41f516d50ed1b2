#!/usr/bin/env bash
# CI: both Windows builds. .ci/wine_setup.sh installs the cross compilers
# and wine (wine32 where this kernel runs 32-bit programs); then
# `make test-windows` checks both builds without running them, runs each
# build's ctest and the comparisons with the Linux build under each wine
# that runs here, and says in one line why a build was not run.
# Fails when a build or a test fails, or when no wine runs. It says SKIPPED,
# on its last line, only when neither wine can be installed; even then both
# programs are built and checked without running them, if the compilers
# could be had.
set -uo pipefail
cd "$(dirname "$0")/.."

# shellcheck source=.ci/wine_setup.sh
source .ci/wine_setup.sh
wine_setup
if [ -n "$WINDOWS_SKIP" ]; then
  echo "windows: $WINDOWS_SKIP"
  if command -v i686-w64-mingw32-g++-posix >/dev/null && command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
    make windows || { echo "windows: FAILED: make windows"; exit 1; }
    for bits in 64 32; do
      bash tests/windows/check_build.sh "$(windows_build_dir "$bits")" "$bits" || exit 1
    done
  fi
  echo "windows: SKIPPED, no Windows build was run on this machine: $WINDOWS_SKIP."
  exit 0
fi

make test-windows || exit 1
