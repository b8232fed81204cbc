#!/usr/bin/env bash
# The main job: builds the command-line host with the linux preset, then
# shows it listing the converters, describing the samples (PNG, JPEG, a
# multi-page TIFF, GIF, WebP and the rest), converting an image through
# every lossless format and back, and converting a folder of files at once.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

# What configuring the linux preset needs (its test and benchmark programs
# are configured too, though only the host and the converters are built).
install_packages cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev "${FIELD_LIBRARIES[@]}"

step "Building imexp (linux preset)"
cmake --preset linux >/dev/null
cmake --build --preset linux --target imexp_cli imexp_converters
IMEXP=build/linux/bin/imexp
OUT=build/linux/demo
rm -rf "$OUT"
mkdir -p "$OUT"

show() {
  printf '\n$ %s\n' "$*"
  "$@"
}

step "The installed converters"
show "$IMEXP" formats

step "What the samples hold"
show "$IMEXP" info samples/png/rgb-alpha.png samples/jpeg/cmyk.jpg samples/tiff/three-pages.tif \
  samples/gif/pal16-interlaced.gif samples/webp/rgb-lossy.webp samples/bmp/rle8.bmp samples/pnm/p2-maxval15.pgm \
  samples/pcx/pal16-planar.pcx samples/dcx/three-pages.dcx
show "$IMEXP" detect samples/png/gray16.png samples/jpeg/gray-progressive.jpg samples/tiff/gray-tiled.tif \
  samples/bmp/topdown-rgb24.bmp samples/pnm/p1.pbm samples/pcx/rgb24-planar.pcx samples/dcx/one-page.dcx README.md || true

step "Photographs and scans: PNG with transparency, CMYK JPEG, a multi-page TIFF"
show "$IMEXP" convert samples/png/rgb-alpha.png "$OUT"/over-white.jpg
show "$IMEXP" convert samples/jpeg/cmyk.jpg "$OUT"/cmyk.png
show "$IMEXP" convert samples/tiff/three-pages.tif "$OUT"/first-page.webp
show "$IMEXP" info "$OUT"/over-white.jpg "$OUT"/cmyk.png "$OUT"/first-page.webp

step "A chain of conversions: BMP (RLE8) -> PNG -> TIFF -> GIF -> PCX -> DCX -> PNM -> BMP"
previous=samples/bmp/rle8.bmp
for extension in png tif gif pcx dcx ppm bmp; do
  show "$IMEXP" convert "$previous" "$OUT"/chain.$extension
  previous="$OUT"/chain.$extension
done
show "$IMEXP" info "$OUT"/chain.png "$OUT"/chain.tif "$OUT"/chain.gif

step "The same pixels at both ends"
"$IMEXP" convert samples/bmp/rle8.bmp "$OUT"/first.ppm
"$IMEXP" convert "$OUT"/chain.bmp "$OUT"/last.ppm
if cmp -s "$OUT"/first.ppm "$OUT"/last.ppm; then
  echo "samples/bmp/rle8.bmp and $OUT/chain.bmp hold the same pixels"
else
  echo "the chain changed the pixels" >&2
  exit 1
fi

step "Many files at once: every BMP sample to PNG in two worker processes"
show "$IMEXP" convert --to png --out "$OUT"/batch -j 2 samples/bmp/*.bmp
show ls "$OUT"/batch

step "A failed conversion leaves the target alone"
echo "previous contents" >"$OUT"/kept.bmp
show "$IMEXP" convert README.md "$OUT"/kept.bmp || echo "(exit status $?)"
show cat "$OUT"/kept.bmp
