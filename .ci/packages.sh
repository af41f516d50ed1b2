#!/usr/bin/env bash
# CI: builds the packages a user installs and checks them as that user would.
#  - Linux: `make package`; the .deb holds the program and the guide, installs
#    with dpkg -i, and the installed denoise runs the README's sample in every
#    mode, answers fed on stdin, writing the same pictures as the tested
#    build/denoise; the .tar.gz holds the same and its program runs too.
#  - Windows: `make package-windows`; the .zip holds denoise.exe (PE32) and
#    denoise64.exe (PE32+) and the guide as a UTF-8 text with a byte-order
#    mark and CRLF lines, and each program whose wine runs here runs the same
#    sample with the same pictures (a line says why one cannot). Skipped,
#    saying so, only where neither wine can be installed (.ci/wine_setup.sh).
# Needs build/ from `make test` (the reference pictures) and runs as root.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

fail() {
  echo "packages: FAILED: $1" >&2
  exit 1
}
say() { echo "packages: $1"; }

[ -x build/denoise ] && [ -x build/make_sample ] || fail "build/denoise and build/make_sample are missing: run make test first"

missing=$(bash tools/needs.sh --missing package)
if [ -n "$missing" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  # shellcheck disable=SC2086  # one package per word
  apt-get install -y -q $missing
fi

# The release every package must carry: the one the banner prints.
# With no answers the program prints its banner and stops.
banner=$(build/denoise </dev/null 2>/dev/null || true)
release=$(LC_ALL=C grep -ao 'ver[0-9][0-9.]*[a-z]*' <<<"$banner" | head -1 || true)
release=${release#ver}
[ -n "$release" ] || fail "no release found in the banner of build/denoise"
say "the banner's release is $release"

WORK=$(mktemp -d)
cleanup() {
  if dpkg-query -W -f='${Status}' denoise 2>/dev/null | grep -q 'install ok installed'; then
    dpkg -r denoise >/dev/null || true
  fi
  rm -rf "$WORK"
}
trap cleanup EXIT

# The README's sample, and the pictures the tested build writes from it in
# each mode: every packaged program must write the same bytes.
ANSWERS=("0" "1 20" "2" "3 1")
mkdir -p "$WORK/reference"
build/make_sample --width 640 --height 480 --seed 1 "$WORK/sample.bmp" >/dev/null
# run_sample PROGRAM... FOLDER: runs each mode on a copy of the sample in FOLDER.
run_sample() {
  local folder=${*: -1} program=("${@:1:$#-1}") mode answers
  mkdir -p "$folder"
  cp "$WORK/sample.bmp" "$folder/sample.bmp"
  for mode in "${!ANSWERS[@]}"; do
    read -r -a answers <<<"${ANSWERS[$mode]}"
    (cd "$folder" && printf '%s\n' sample "mode$mode" "${answers[@]}" | "${program[@]}" >"console$mode.txt" 2>&1) ||
      fail "${program[*]} exited with $? on mode ${ANSWERS[$mode]}"
    [ -f "$folder/mode$mode.bmp" ] || fail "${program[*]} wrote no mode$mode.bmp"
  done
}
same_pictures() {
  local mode
  for mode in "${!ANSWERS[@]}"; do
    cmp -s "$WORK/reference/mode$mode.bmp" "$1/mode$mode.bmp" || fail "$2 wrote a different picture in mode ${ANSWERS[$mode]}"
  done
}
run_sample "$ROOT/build/denoise" "$WORK/reference"

# contains LISTING PATH...: each path is in the listing.
contains() {
  local listing=$1 path
  shift
  for path in "$@"; do
    grep -qxF "$path" <<<"$listing" || fail "the package lacks $path"
  done
}
images=(docs/images/*.png)
[ ${#images[@]} -gt 0 ] && [ -f "${images[0]}" ] || fail "docs/images holds no pictures"

say "building the Linux packages"
make package >"$WORK/package.log" 2>&1 || { cat "$WORK/package.log"; fail "make package"; }
deb=build-package/denoise_${release}_amd64.deb
tgz=build-package/denoise-${release}-Linux.tar.gz
[ -f "$deb" ] && [ -f "$tgz" ] || fail "make package made no $deb and $tgz"

[ "$(dpkg-deb -f "$deb" Version)" = "$release" ] || fail "the .deb's version is not $release"
listing=$(dpkg-deb -c "$deb" | awk '{print $NF}')
contains "$listing" ./usr/bin/denoise ./usr/share/doc/denoise/guide.ja.md ./usr/share/doc/denoise/refusals.md \
  ./usr/share/doc/denoise/copyright \
  "${images[@]/#docs/./usr/share/doc/denoise}"

dpkg -i "$deb" >/dev/null || fail "dpkg -i $deb"
[ "$(command -v denoise)" = /usr/bin/denoise ] || fail "denoise is not /usr/bin/denoise after dpkg -i"
run_sample denoise "$WORK/deb"
same_pictures "$WORK/deb" "the installed denoise"
grep -q "ザルフェン　ver$release"$'\t' "$WORK/deb/console1.txt" || fail "the installed denoise does not print ver$release in UTF-8"
grep -q 'フィルタ処理完了!!' "$WORK/deb/console3.txt" || fail "the installed denoise did not say it finished"
dpkg -r denoise >/dev/null || fail "dpkg -r denoise"
[ ! -e /usr/bin/denoise ] || fail "dpkg -r left /usr/bin/denoise"
say "the .deb installs, runs the README's sample in modes 0 to 3 as build/denoise does, and removes cleanly"

listing=$(tar tzf "$tgz")
top=denoise-${release}-Linux
contains "$listing" "$top/bin/denoise" "$top/share/doc/denoise/guide.ja.md" "${images[@]/#docs/$top/share/doc/denoise}"
tar xzf "$tgz" -C "$WORK"
run_sample "$WORK/$top/bin/denoise" "$WORK/tgz"
same_pictures "$WORK/tgz" "the .tar.gz's denoise"
say "the .tar.gz holds the program and the guide, and its program runs the sample the same way"

# The Windows package.
# shellcheck source=.ci/wine_setup.sh
source .ci/wine_setup.sh
wine_setup
if [ -n "$WINDOWS_SKIP" ]; then
  say "$WINDOWS_SKIP"
  say "Windows package SKIPPED, not built or run on this machine."
  exit 0
fi

say "building the Windows package"
# pandoc makes the guide's page; the cross compilers came with wine above.
missing=$(bash tools/needs.sh --missing package-windows)
if [ -n "$missing" ]; then
  apt-get update -q
  # shellcheck disable=SC2086  # one package per word
  apt-get install -y -q $missing
fi
make package-windows >"$WORK/package-windows.log" 2>&1 || { cat "$WORK/package-windows.log"; fail "make package-windows"; }
zip=build-package-windows/denoise-${release}-windows.zip
[ -f "$zip" ] || fail "make package-windows made no $zip"
mkdir -p "$WORK/zip"
(cd "$WORK/zip" && cmake -E tar xf "$ROOT/$zip")
top=$WORK/zip/denoise-${release}-windows
for image in "${images[@]}"; do
  cmp -s "$image" "$top/images/${image##*/}" || fail "the .zip lacks ${image##*/} or holds another"
done

# The guide as a page a browser opens from the unzipped folder: no Linux
# chapter, no Markdown left, every picture and every link inside it there.
guide=$top/guide-ja.html
[ -f "$guide" ] || fail "the .zip lacks guide-ja.html"
[ -f "$top/refusals.html" ] || fail "the .zip lacks refusals.html, which the guide links to"
grep -q 'href="refusals.html"' "$guide" || fail "guide-ja.html does not link refusals.html"
grep -q 'denoise64\.exe' "$guide" || fail "the guide does not tell which program to run"
! grep -q 'Linuxで使う\|apt install\|make run' "$guide" || fail "guide-ja.html holds the Linux chapter"
! grep -q '](\|^```\|\*\*' "$guide" || fail "guide-ja.html holds Markdown marks"
for image in $(grep -o 'src="images/[^"]*"' "$guide" | sed 's/^src="//; s/"$//'); do
  [ -f "$top/$image" ] || fail "guide-ja.html shows $image, which the .zip lacks"
done
for anchor in $(grep -o 'href="#[^"]*"' "$guide" | sed 's/^href="#//; s/"$//'); do
  grep -q "id=\"$anchor\"" "$guide" || fail "guide-ja.html links #$anchor, which it lacks"
done

# Both programs, each of its word size, each run where its wine runs here.
ran=0
for bits in 64 32; do
  if [ "$bits" = 64 ]; then exe=denoise64.exe magic=020b problem=$WINE64_PROBLEM; else exe=denoise.exe magic=010b problem=$WINE32_PROBLEM; fi
  [ -f "$top/$exe" ] || fail "the .zip lacks $exe"
  [ "$(objdump -p "$top/$exe" | awk '$1 == "Magic" { print $2 }')" = "$magic" ] || fail "the .zip's $exe is not a $bits-bit program"
  if [ -n "$problem" ]; then
    say "the .zip's $exe ($bits-bit) was not run here: $problem"
    continue
  fi
  run_sample env WINEPREFIX="$(wine_prefix "$bits")" WINEARCH="win$bits" "$(wine_loader "$bits")" "$top/$exe" "$WORK/exe$bits"
  same_pictures "$WORK/exe$bits" "the .zip's $exe"
  iconv -f CP932 -t UTF-8 "$WORK/exe$bits/console1.txt" >"$WORK/exe$bits/console1.utf8" ||
    fail "the .zip's $exe does not print Shift-JIS"
  grep -q "ザルフェン　ver$release"$'\t' "$WORK/exe$bits/console1.utf8" ||
    fail "the .zip's $exe does not print ver$release in its banner"
  say "the .zip's $exe ($bits-bit) runs the sample under wine as build/denoise does"
  ran=$((ran + 1))
done
[ "$ran" -gt 0 ] || fail "neither of the .zip's programs could be run here"
say "the .zip holds denoise.exe and denoise64.exe, the guide and refusals as HTML pages, and the guide's pictures"
