#!/usr/bin/env bash
# The pictures and the PSNR table of docs/guide.ja.md, made from three real
# photos (tools/gallery.py) by the program itself, answers fed on stdin.
#
#   bash tools/gallery.sh                  rebuild, remake docs/images/*.png, rewrite the table in the guide
#   GALLERY_KEEP=1 bash tools/gallery.sh   keep the work folder (its path is printed)
#
# Needs cmake, g++ and Debian's python3-skimage (the photos, and NumPy,
# SciPy and scikit-image for the noise, the figures and the references).
# Every picture and figure depends only on the sources and those packages'
# versions, so a rerun on unchanged sources leaves docs/ as it was.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${GALLERY_BUILD_DIR:-build-gallery}
IMAGES=docs/images
GUIDE=docs/guide.ja.md
JOBS=${JOBS:-2}
# Debian's own Python, which has the packages; not whatever python3 is first on PATH.
PYTHON=/usr/bin/python3

cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DDENOISE_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j "$JOBS" --target denoise >/dev/null
PROGRAM=$(cd "$BUILD" && pwd)/denoise

WORK=$(mktemp -d)
if [ -n "${GALLERY_KEEP:-}" ]; then echo "gallery: work folder $WORK"; else trap 'rm -rf "$WORK"' EXIT; fi

rm -f "$IMAGES"/*.png
mkdir -p "$IMAGES"
# Run from the work folder, so that no file of the tree can shadow a module.
(cd "$WORK" && "$PYTHON" "$OLDPWD/tools/gallery.py" "$PROGRAM" "$OLDPWD/$IMAGES" "$OLDPWD/$GUIDE" "$WORK")
du -ch "$IMAGES"/*.png | tail -1 | sed 's/^/gallery: pictures /'
