#!/usr/bin/env bash
# CI: on a machine that lacks a target's packages, `make TARGET` stops at once
# and names them. A PATH holding only what make's recipes and tools/needs.sh
# use stands for the fresh machine: no cmake, compilers or wine on it.
set -uo pipefail
cd "$(dirname "$0")/.."

fresh=$(mktemp -d)
trap 'rm -rf "$fresh"' EXIT
# (tools/runs_32bit_programs.sh, which needs.sh asks whether wine32 could
# run here, uses uname, mktemp, chmod and rm.)
for tool in bash sh grep uname mktemp chmod rm; do ln -s "$(command -v "$tool")" "$fresh/$tool"; done
# ... and dpkg knows of no package installed.
printf '#!/bin/sh\nexit 1\n' >"$fresh/dpkg-query"
chmod +x "$fresh/dpkg-query"
make=$(command -v make)
timeout=$(command -v timeout)

failures=0
# expect TARGET PACKAGE...: make TARGET fails before building, naming each package.
expect() {
  local target=$1 said status package
  shift
  said=$(PATH=$fresh "$timeout" 30 "$make" "$target" 2>&1)
  status=$?
  problem() {
    echo "needs: make $target: $1"
    printf '%s\n' "$said" | sed 's/^/    /'
    failures=$((failures + 1))
  }
  [ "$status" -ne 0 ] || { problem "went on without its packages"; return; }
  grep -q 'needs Debian packages that this machine lacks' <<<"$said" || { problem "gave no plain message"; return; }
  local install
  install=$(grep -m1 '^  apt-get install ' <<<"$said")
  for package in "$@"; do
    case " ${install#*apt-get install } " in
      *" $package "*) ;;
      *) problem "did not name $package"; return ;;
    esac
  done
  if grep -q -e '^cmake ' -e '^-- ' <<<"$said"; then problem "began building first"; fi
}

expect windows cmake g++-mingw-w64-i686 g++-mingw-w64-x86-64
expect package-windows cmake g++-mingw-w64-i686 g++-mingw-w64-x86-64 pandoc
# wine32 only where this kernel runs 32-bit programs. (googletest and
# wine64 are found by their files, which this machine has.)
runs_32bit=false
bash tools/runs_32bit_programs.sh >/dev/null && runs_32bit=true
if $runs_32bit; then
  expect test-windows cmake g++ g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32
else
  expect test-windows cmake g++ g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine
fi
expect fuzz cmake clang
expect bench cmake g++
expect package cmake g++ dpkg-dev file
expect test cmake g++

if $runs_32bit; then
  said=$(PATH=$fresh "$timeout" 30 "$make" test-windows 2>&1)
  grep -q 'dpkg --add-architecture i386' <<<"$said" ||
    { echo "needs: make test-windows does not say dpkg --add-architecture i386"; failures=$((failures + 1)); }
fi

if [ ! -e /usr/include/opencv4/opencv2/imgproc.hpp ]; then
  first=$(PATH=$fresh "$timeout" 30 "$make" bench 2>/dev/null | head -1)
  grep -q '^make bench: OpenCV is not installed' <<<"$first" ||
    { echo "needs: make bench's first line is not about OpenCV: $first"; failures=$((failures + 1)); }
fi

# On this machine, with its own PATH, the targets CI has installed for pass.
for target in build test run package; do
  bash tools/needs.sh "$target" >/dev/null 2>&1 || { echo "needs: $target refused on a machine that has its packages"; failures=$((failures + 1)); }
done

[ "$failures" -eq 0 ] || { echo "needs: $failures checks failed"; exit 1; }
echo "needs: every target names its missing packages before building"
