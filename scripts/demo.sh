#!/usr/bin/env bash
# The main job: builds the command-line host with the linux preset, then
# shows it listing the converters, describing the samples and converting
# an image through every format and back.
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
show "$IMEXP" info samples/bmp/rle8.bmp samples/bmp/os2-rgb24.bmp samples/pnm/p2-maxval15.pgm \
  samples/pcx/pal16-planar.pcx samples/dcx/three-pages.dcx
show "$IMEXP" detect samples/bmp/topdown-rgb24.bmp samples/pnm/p1.pbm samples/pcx/rgb24-planar.pcx \
  samples/dcx/one-page.dcx README.md || true

step "A chain of conversions: BMP (RLE8) -> PCX -> DCX -> PNM -> BMP"
show "$IMEXP" convert samples/bmp/rle8.bmp "$OUT"/chain.pcx
show "$IMEXP" convert "$OUT"/chain.pcx "$OUT"/chain.dcx
show "$IMEXP" convert "$OUT"/chain.dcx "$OUT"/chain.ppm
show "$IMEXP" convert "$OUT"/chain.ppm "$OUT"/chain.bmp
show "$IMEXP" info "$OUT"/chain.pcx "$OUT"/chain.bmp

step "The same pixels at both ends"
"$IMEXP" convert samples/bmp/rle8.bmp "$OUT"/first.ppm
"$IMEXP" convert "$OUT"/chain.bmp "$OUT"/last.ppm
if cmp -s "$OUT"/first.ppm "$OUT"/last.ppm; then
  echo "samples/bmp/rle8.bmp and $OUT/chain.bmp hold the same pixels"
else
  echo "the chain changed the pixels" >&2
  exit 1
fi

step "A failed conversion leaves the target alone"
echo "previous contents" >"$OUT"/kept.bmp
show "$IMEXP" convert README.md "$OUT"/kept.bmp || echo "(exit status $?)"
show cat "$OUT"/kept.bmp
