#!/usr/bin/env bash
# The pictures and the PSNR table of docs/guide.ja.md, made from the
# project's own sample picture by the program itself, answers fed on stdin.
#
#   bash tools/gallery.sh            rebuild, remake docs/images/*.png, rewrite the table in the guide
#   GALLERY_KEEP=1 bash tools/gallery.sh   keep the work folder (its path is printed)
#
# Needs cmake, g++ and ImageMagick (apt-get install imagemagick). Every
# picture and figure depends only on the sources and ImageMagick's version,
# so a rerun on unchanged sources leaves docs/ as it was.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${GALLERY_BUILD_DIR:-build-gallery}
IMAGES=docs/images
GUIDE=docs/guide.ja.md
JOBS=${JOBS:-2}

for tool in convert compare; do
  command -v "$tool" >/dev/null || { echo "gallery: needs ImageMagick: apt-get install imagemagick" >&2; exit 2; }
done

# The README's sample: 640 x 480, seed 1.
SIZE=(--width 640 --height 480 --seed 1)
# One region for every crop: the cream disc's edge, the teal square's corner,
# the bright stripe and the sky's gradient, enlarged 2x without smoothing.
CROP=96x72+290+70

# name | dialogue answers after the two file names | label in the table
RUNS=(
  "mode0|0|0 平滑化"
  "mode1-2|1 2|1 メディアン 係数2"
  "mode1-5|1 5|1 メディアン 係数5"
  "mode1-10|1 10|1 メディアン 係数10"
  "mode1-20|1 20|1 メディアン 係数20"
  "mode2|2|2 オリジナルブレンド"
  "mode3-1|3 1|3-1 シャープに"
  "mode3-2|3 2|3-2 まったいら"
  "mode3-3|3 3|3-3 控えめ"
  "mode1-5-3-2|1 5 + 3 2|1 係数5 のあと 3-2"
)

# name | make_sample options | column heading
NOISES=(
  "none|--kind clean|ノイズなし"
  "gauss3|--kind clean --gaussian 3|ガウス σ3"
  "gauss6|--kind clean --gaussian 6|ガウス σ6"
  "gauss12|--kind clean --gaussian 12|ガウス σ12"
  "salt|--kind clean --salt 2|ごま塩 2%"
  "mixed|--kind noisy|混合 (σ12+ごま塩2%)"
)

cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DDENOISE_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j "$JOBS" --target denoise make_sample >/dev/null
PROGRAM=$(cd "$BUILD" && pwd)/denoise
MAKE_SAMPLE=$BUILD/make_sample

WORK=$(mktemp -d)
if [ -n "${GALLERY_KEEP:-}" ]; then echo "gallery: work folder $WORK"; else trap 'rm -rf "$WORK"' EXIT; fi

# The generator's mixed noise is its gaussian and salt-and-pepper noise
# together; the table's columns rely on that.
"$MAKE_SAMPLE" "${SIZE[@]}" --kind clean --gaussian 12 --salt 2 "$WORK/check_a.bmp"
"$MAKE_SAMPLE" "${SIZE[@]}" --kind noisy "$WORK/check_b.bmp"
cmp -s "$WORK/check_a.bmp" "$WORK/check_b.bmp" || { echo "gallery: make_sample's noisy kind is not gaussian 12 + salt 2" >&2; exit 1; }

# run_chain INPUT OUTPUT ANSWERS...: runs one after the other on the
# previous output where the answers hold "+" between the runs' answers.
run_chain() {
  local input=$1 output=$2 step=0 answers=()
  shift 2
  for word in "$@" +; do
    if [ "$word" != + ]; then answers+=("$word"); continue; fi
    step=$((step + 1))
    run_denoise "$input" "${output}_step$step" "${answers[@]}"
    input=${output}_step$step
    answers=()
  done
  mv "$WORK/$input.bmp" "$WORK/$output.bmp"
}

# run_denoise INPUT OUTPUT ANSWERS...: one run in $WORK, as a user would answer.
run_denoise() {
  local input=$1 output=$2
  shift 2
  rm -f "$WORK/$output.bmp"
  (cd "$WORK" && printf '%s\n' "$input" "$output" "$@" | "$PROGRAM" >/dev/null) ||
    { echo "gallery: denoise failed on $input with answers $*" >&2; exit 1; }
  [ -f "$WORK/$output.bmp" ] || { echo "gallery: denoise wrote no $output.bmp" >&2; exit 1; }
}

# psnr A B: PSNR in dB of B against A over the interior, two decimals. The
# program leaves a frame of two pixels as it was, the references filter it
# too; the interior compares the filters themselves.
INTERIOR=636x476+2+2
psnr() {
  local value
  convert "$1" -crop "$INTERIOR" +repage "$WORK/psnr_a.png"
  convert "$2" -crop "$INTERIOR" +repage "$WORK/psnr_b.png"
  value=$(compare -metric PSNR "$WORK/psnr_a.png" "$WORK/psnr_b.png" null: 2>&1 >/dev/null || true)
  case $value in
    inf*) echo "∞" ;;
    [0-9]*) LC_ALL=C printf '%.2f\n' "$value" ;;
    *) echo "gallery: compare failed on $1 $2: $value" >&2; exit 1 ;;
  esac
}

# crop_png IN OUT: the common region at 2x, without dates, so reruns compare equal.
crop_png() {
  convert "$1" -crop "$CROP" +repage -scale 200% -strip \
    -define png:exclude-chunks=date,time -define png:compression-level=9 "$2"
}

# Gallery: the generator's own mixed noise, as `make run` gives it.
mkdir -p "$IMAGES"
"$MAKE_SAMPLE" "${SIZE[@]}" "$WORK/noisy.bmp" "$WORK/clean.bmp"
crop_png "$WORK/clean.bmp" "$IMAGES/clean.png"
crop_png "$WORK/noisy.bmp" "$IMAGES/noisy.png"
for run in "${RUNS[@]}"; do
  IFS='|' read -r name answers _ <<<"$run"
  # shellcheck disable=SC2086  # the answers are words on purpose
  run_chain noisy "$name" $answers
  crop_png "$WORK/$name.bmp" "$IMAGES/$name.png"
done

# PSNR table: each noise, each run, and two ImageMagick references of the
# same 5x5 size (their borders are filtered too; the program keeps a
# 2-pixel frame as it was).
declare -A figure
for noise in "${NOISES[@]}"; do
  IFS='|' read -r kind options _ <<<"$noise"
  # shellcheck disable=SC2086
  "$MAKE_SAMPLE" "${SIZE[@]}" $options "$WORK/in_$kind.bmp"
  figure[input,$kind]=$(psnr "$WORK/clean.bmp" "$WORK/in_$kind.bmp")
  for run in "${RUNS[@]}"; do
    IFS='|' read -r name answers _ <<<"$run"
    # shellcheck disable=SC2086
    run_chain "in_$kind" "out_${kind}_$name" $answers
    figure[$name,$kind]=$(psnr "$WORK/clean.bmp" "$WORK/out_${kind}_$name.bmp")
  done
  convert "$WORK/in_$kind.bmp" -statistic Median 5x5 "$WORK/median_$kind.png"
  figure[median,$kind]=$(psnr "$WORK/clean.bmp" "$WORK/median_$kind.png")
  convert "$WORK/in_$kind.bmp" -gaussian-blur 2x1 "$WORK/blur_$kind.png"
  figure[blur,$kind]=$(psnr "$WORK/clean.bmp" "$WORK/blur_$kind.png")
done

table() {
  local header="| | " rule="|---|" row noise kind heading name label
  for noise in "${NOISES[@]}"; do
    IFS='|' read -r _ _ heading <<<"$noise"
    header+="$heading | "
    rule+="---:|"
  done
  echo "${header% }"
  echo "$rule"
  for row in "input|入力そのまま" "${RUNS[@]}" "median|参考: 5x5 メディアン (ImageMagick)" "blur|参考: 5x5 ガウスぼかし σ1 (ImageMagick)"; do
    IFS='|' read -r name label <<<"$row"
    label=${row##*|}
    line="| $label |"
    for noise in "${NOISES[@]}"; do
      IFS='|' read -r kind _ _ <<<"$noise"
      line+=" ${figure[$name,$kind]} |"
    done
    echo "$line"
  done
}

# The table lives in the guide between two marker lines; only that part is rewritten.
if [ -f "$GUIDE" ] && grep -q '^<!-- psnr-table: begin' "$GUIDE"; then
  table >"$WORK/table.md"
  awk -v table="$WORK/table.md" '
    /^<!-- psnr-table: begin/ { print; while ((getline line < table) > 0) print line; skipping = 1; next }
    /^<!-- psnr-table: end/ { skipping = 0 }
    !skipping { print }
  ' "$GUIDE" >"$WORK/guide.md"
  cat "$WORK/guide.md" >"$GUIDE"
  echo "gallery: table written into $GUIDE"
else
  table
fi
du -ch "$IMAGES"/*.png | tail -1 | sed 's/^/gallery: pictures /'
