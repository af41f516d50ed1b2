#!/usr/bin/env bash
# Pictures with colour profiles as ImageMagick writes them (a V5 header, the
# profile after the pixels): every mode must keep the profile, and both
# ImageMagick and GraphicsMagick must read every output back.
#   real_profiles.sh DENOISE MAKE_SAMPLE
# Exits 77 (skipped) when ImageMagick, GraphicsMagick or the free ICC
# profiles are not installed (Debian: imagemagick graphicsmagick icc-profiles-free).
set -euo pipefail
program=$1
make_sample=$2
convert=/usr/bin/convert
identify=/usr/bin/identify
gm=/usr/bin/gm
profiles=/usr/share/color/icc
for needed in "$convert" "$identify" "$gm" "$profiles/sRGB.icc"; do
  [ -e "$needed" ] || { echo "skipped: $needed is missing"; exit 77; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/denoise-profiles-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

"$make_sample" --width 61 --height 43 --seed 3 noisy.bmp clean.bmp >/dev/null
for profile in sRGB compatibleWithAdobeRGB1998 LStar-RGB; do
  "$convert" noisy.bmp -profile "$profiles/$profile.icc" "in_$profile.bmp"
  size=$(stat -c %s "in_$profile.bmp")
  pixels_end=$((138 + 61 * 3 * 43 + 43 * 3))  # V5 headers, rows of 183 + 1 padding bytes
  [ "$size" -gt "$pixels_end" ] || { fail "$profile: ImageMagick wrote no profile after the pixels"; continue; }
  for answers in "0" "1 20" "2" "3 1" "3 2" "3 3" "3 4 0.1 0.002" "9"; do
    out="out_${profile}_${answers// /_}"
    printf 'in_%s\n%s\n%s\n' "$profile" "$out" "$answers" | "$program" >/dev/null ||
      { fail "$profile, mode $answers: the run failed"; continue; }
    cmp -s <(tail -c +$((pixels_end + 1)) "in_$profile.bmp") <(tail -c +$((pixels_end + 1)) "$out.bmp") ||
      fail "$profile, mode $answers: the bytes after the pixels changed"
    [ "$(stat -c %s "$out.bmp")" = "$size" ] || fail "$profile, mode $answers: the size changed"
    "$identify" "$out.bmp" >/dev/null 2>&1 || fail "$profile, mode $answers: ImageMagick cannot read the output"
    "$gm" identify "$out.bmp" >/dev/null 2>&1 || fail "$profile, mode $answers: GraphicsMagick cannot read the output"
    "$convert" "$out.bmp" out.icc 2>/dev/null && cmp -s out.icc "$profiles/$profile.icc" ||
      fail "$profile, mode $answers: ImageMagick finds another profile in the output"
  done
  cmp -s "in_$profile.bmp" "out_${profile}_9.bmp" || fail "$profile: the copy differs from the input"
done
echo "$failures failed"
[ "$failures" = 0 ]
