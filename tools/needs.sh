#!/usr/bin/env bash
# needs.sh TARGET: before `make TARGET` builds anything, names the Debian
# packages it needs that this machine lacks and fails, so a fresh machine
# gets one plain message instead of a compiler error halfway through.
# needs.sh --missing TARGET: only prints those packages, one line, for a
# script that installs them (CI).
#
# Each requirement is KIND:WHAT=PACKAGE, KIND being
#   cmd   a program on PATH
#   file  a file (a shell pattern) that the package installs
#   deb   an installed Debian package (for wine32:i386, which has no file of its own to look for)
# wine32 is asked for only where this kernel runs 32-bit programs
# (tools/runs_32bit_programs.sh); elsewhere it could not start, and make
# test-windows checks the 32-bit build without running it, saying so.
set -uo pipefail

list_only=false
if [ "${1:-}" = --missing ]; then
  list_only=true
  shift
fi
target=${1:?usage: needs.sh [--missing] TARGET}

BUILD="cmd:cmake=cmake cmd:g++=g++"
GTEST="file:/usr/include/gtest/gtest.h=libgtest-dev"
MINGW="cmd:i686-w64-mingw32-g++-posix=g++-mingw-w64-i686 cmd:x86_64-w64-mingw32-g++-posix=g++-mingw-w64-x86-64"
GOOGLETEST_SOURCE="file:/usr/src/googletest/CMakeLists.txt=googletest"
WINE="cmd:wine=wine file:/usr/lib/wine/wine64=wine64"
WINE32="deb:wine32:i386=wine32"
FUZZ="cmd:clang++=clang file:/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a=libclang-rt-14-dev"
BENCH="file:/usr/include/benchmark/benchmark.h=libbenchmark-dev"
OPENCV="file:/usr/include/opencv4/opencv2/imgproc.hpp=libopencv-dev"
PHOTOS="file:/usr/lib/python3/dist-packages/skimage/data/astronaut.png=python3-skimage"

case $target in
  build | test | sanitize) needs="$BUILD $GTEST" ;;
  run | package) needs="$BUILD" ;;
  windows) needs="cmd:cmake=cmake $MINGW" ;;
  package-windows) needs="cmd:cmake=cmake $MINGW cmd:pandoc=pandoc" ;;
  test-windows)
    needs="$BUILD $GTEST $MINGW $GOOGLETEST_SOURCE $WINE"
    if bash "${0%/*}/runs_32bit_programs.sh" >/dev/null 2>&1; then needs+=" $WINE32"; fi ;;
  fuzz) needs="cmd:cmake=cmake $FUZZ" ;;
  bench) needs="$BUILD $BENCH" ;;
  gallery) needs="$BUILD $PHOTOS" ;;
  *) echo "needs.sh: no requirements known for '$target'" >&2; exit 2 ;;
esac
# The .deb's dependencies are worked out by dpkg-shlibdeps, on the files
# that CPack's .deb step tells apart with the file utility.
[ "$target" = package ] && needs+=" cmd:dpkg-shlibdeps=dpkg-dev cmd:file=file"

present() {
  local kind=${1%%:*} what=${1#*:}
  case $kind in
    cmd) command -v "$what" >/dev/null 2>&1 ;;
    file) compgen -G "$what" >/dev/null ;;
    deb) dpkg-query -W -f='${Status}' "$what" 2>/dev/null | grep -q 'install ok installed' ;;
  esac
}

# missing_packages REQUIREMENTS...: the packages of the requirements not met, each once.
missing_packages() {
  local requirement packages=()
  for requirement in "$@"; do
    present "${requirement%=*}" && continue
    case " ${packages[*]} " in *" ${requirement##*=} "*) ;; *) packages+=("${requirement##*=}") ;; esac
  done
  echo "${packages[*]}"
}

# shellcheck disable=SC2086  # one requirement per word
missing=$(missing_packages $needs)
if $list_only; then
  echo "$missing"
  exit 0
fi

# OpenCV is optional for the benchmarks: without it they time the filters
# alone. Said first, before the build's own lines.
# shellcheck disable=SC2086
if [ "$target" = bench ] && [ -n "$(missing_packages $OPENCV)" ]; then
  echo "make bench: OpenCV is not installed, so there are no OpenCV timings or ratios (apt-get install libopencv-dev for them)."
fi

[ -z "$missing" ] && exit 0

{
  echo "make $target needs Debian packages that this machine lacks: $missing"
  echo "Install them as root, then run make $target again:"
  case " $missing " in
    *" wine32 "*)
      echo "  dpkg --add-architecture i386   # wine32 is a 32-bit (i386) package"
      echo "  apt-get update"
      ;;
    *) echo "  apt-get update" ;;
  esac
  echo "  apt-get install $missing"
} >&2
exit 1
