#!/usr/bin/env bash
# Makes the sample files in samples/: every bundled format in every layout
# the converters read. netpbm makes what it can; the layouts it cannot write
# (RLE and top-down bitmaps, multi-page DCX) are put together here byte by
# byte from netpbm's own output, and one DCX comes from `imexp convert`.
# PNG, JPEG, TIFF, GIF and WebP files come from netpbm and from each field
# library's own tools, and one CMYK JPEG from ImageMagick.
# The samples are committed; run this only to change them.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

install_packages "${REFERENCE_TOOLS[@]}"

IMEXP=${IMEXP:-build/linux/bin/imexp}
if [ ! -x "$IMEXP" ]; then
  step "Building imexp"
  install_packages cmake ninja-build g++ libgtest-dev
  cmake --preset linux >/dev/null
  cmake --build --preset linux --target imexp_cli imexp_converters
  IMEXP=build/linux/bin/imexp
fi
IMEXP=$(realpath "$IMEXP")

OUT=$(pwd)/samples
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
FORMATS=(bmp pnm pcx dcx png jpeg tiff gif webp)
for format in "${FORMATS[@]}"; do
  rm -rf "${OUT:?}/$format"
  mkdir -p "$OUT/$format"
done
cd "$WORK"

# ---------------------------------------------------------------- sources
# Odd sizes on purpose: rows that end inside a byte or need padding.
W=61
H=41
step "Making source images (${W} x ${H})"
pgmramp -lr $W $H >red.pgm
pgmramp -tb $W $H >green.pgm
pgmramp -diagonal $W $H >blue.pgm
rgb3toppm red.pgm green.pgm blue.pgm >rgb.ppm             # thousands of colours
pnmcolormap 256 rgb.ppm >map256.ppm 2>/dev/null
pnmremap -nofloyd -mapfile=map256.ppm rgb.ppm >pal256.ppm 2>/dev/null
pnmcolormap 16 rgb.ppm >map16.ppm 2>/dev/null
pnmremap -nofloyd -mapfile=map16.ppm rgb.ppm >pal16.ppm 2>/dev/null
pgmramp -ellipse $W $H >gray.pgm
pbmtext -builtin fixed "ImExp" | pamcut -width=$W -height=$H -pad >bilevel.pbm 2>/dev/null ||
  pbmtext -builtin fixed "ImExp ImExp" | pnmpad -white -width=$W -height=$H >bilevel.pbm

# ---------------------------------------------------------------- little-endian bytes
# Appends bytes given as hex pairs to a file.
hex() { printf '%b' "$(printf '%s' "$*" | tr -d ' \n' | sed 's/../\\x&/g')" >>"$HEXFILE"; }
le16() { printf '%02x%02x' $(($1 & 255)) $((($1 >> 8) & 255)); }
le32() { printf '%02x%02x%02x%02x' $(($1 & 255)) $((($1 >> 8) & 255)) $((($1 >> 16) & 255)) $((($1 >> 24) & 255)); }
# Overwrites 4 bytes at an offset with a little-endian number.
poke32() { printf '%b' "$(le32 "$3" | sed 's/../\\x&/g')" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }

# ---------------------------------------------------------------- BMP
step "BMP"
ppmtobmp bilevel.pbm >"$OUT"/bmp/bilevel.bmp 2>/dev/null
ppmtobmp pal16.ppm >"$OUT"/bmp/pal16.bmp 2>/dev/null
ppmtobmp pal256.ppm >"$OUT"/bmp/pal256.bmp 2>/dev/null
ppmtobmp gray.pgm >"$OUT"/bmp/gray256.bmp 2>/dev/null
ppmtobmp rgb.ppm >"$OUT"/bmp/rgb24.bmp 2>/dev/null
ppmtobmp -os2 bilevel.pbm >"$OUT"/bmp/os2-bilevel.bmp 2>/dev/null
ppmtobmp -os2 pal16.ppm >"$OUT"/bmp/os2-pal16.bmp 2>/dev/null
ppmtobmp -os2 pal256.ppm >"$OUT"/bmp/os2-pal256.bmp 2>/dev/null
ppmtobmp -os2 rgb.ppm >"$OUT"/bmp/os2-rgb24.bmp 2>/dev/null

# Top-down: the flipped image stored bottom-up is the image stored top
# down; a negative height says so.
for name in pal256 rgb24; do
  source_file=$([ $name = rgb24 ] && echo rgb.ppm || echo $name.ppm)
  pamflip -tb "$source_file" | ppmtobmp >"$OUT"/bmp/topdown-$name.bmp 2>/dev/null
  poke32 "$OUT"/bmp/topdown-$name.bmp 22 $((0x100000000 - H))
done

# RLE8 and RLE4: each row is two encoded runs and one absolute run; rows
# end with an end-of-line escape, the last with end-of-bitmap.
make_rle_bmp() {  # bits file
  local bits=$1 file=$2 width=37 height=19
  local data="$WORK/rle.data" y x c1 c2 n
  : >"$data"
  HEXFILE=$data
  for ((y = 0; y < height; y++)); do
    if [ "$bits" = 8 ]; then
      c1=$(((y * 13 + 1) & 255))
      c2=$(((y * 7 + 100) & 255))
      hex "$(printf '0a%02x0a%02x' $c1 $c2)"
      hex 0011
      for ((x = 20; x < width; x++)); do hex "$(printf '%02x' $(((x * y + x) & 255)))"; done
      hex 00  # 17 bytes of absolute data: one byte pads the run to a word
    else
      c1=$((y & 15))
      c2=$(((y + 5) & 15))
      # A 4-bit run alternates the two nibbles of its byte.
      hex "$(printf '0a%02x0a%02x' $(((c1 << 4) | c2)) $(((c2 << 4) | c1)))"
      hex 0011
      for ((x = 20; x < width; x += 2)); do
        n=$(((x + y) & 15))
        if ((x + 1 < width)); then n=$(((n << 4) | ((x + 1 + y) & 15))); else n=$((n << 4)); fi
        hex "$(printf '%02x' $n)"
      done
      hex 00  # 9 bytes of absolute data, padded to a word
    fi
    if ((y + 1 < height)); then hex 0000; else hex 0001; fi
  done
  local colours=$((1 << bits))
  local offset=$((14 + 40 + 4 * colours))
  local size=$(stat -c %s "$data")
  HEXFILE=$file
  : >"$file"
  hex 424d "$(le32 $((offset + size)))" 00000000 "$(le32 $offset)"
  hex 28000000 "$(le32 $width)" "$(le32 $height)" 0100 "$(le16 "$bits")"
  hex "$(le32 $((bits == 8 ? 1 : 2)))" "$(le32 "$size")" "$(le32 2835)" "$(le32 2835)" 00000000 00000000
  local i
  for ((i = 0; i < colours; i++)); do  # blue, green, red, 0
    hex "$(printf '%02x%02x%02x00' $(((i * 7) & 255)) $((255 - (i * 255 / (colours - 1)))) $((i * 255 / (colours - 1))))"
  done
  cat "$data" >>"$file"
}
make_rle_bmp 8 "$OUT"/bmp/rle8.bmp
make_rle_bmp 4 "$OUT"/bmp/rle4.bmp

# ---------------------------------------------------------------- PNM
step "PNM"
pnmtoplainpnm bilevel.pbm >"$OUT"/pnm/p1.pbm
pnmtoplainpnm gray.pgm >"$OUT"/pnm/p2.pgm
pnmtoplainpnm pal16.ppm >"$OUT"/pnm/p3.ppm
cp bilevel.pbm "$OUT"/pnm/p4.pbm
cp gray.pgm "$OUT"/pnm/p5.pgm
cp rgb.ppm "$OUT"/pnm/p6.ppm
pamdepth 15 gray.pgm | pnmtoplainpnm >"$OUT"/pnm/p2-maxval15.pgm
pamdepth 65535 rgb.ppm | pamtopnm >"$OUT"/pnm/p6-16bit.ppm

# ---------------------------------------------------------------- PCX
step "PCX"
ppmtopcx bilevel.pbm >"$OUT"/pcx/bilevel.pcx 2>/dev/null
ppmtopcx pal16.ppm >"$OUT"/pcx/pal16-planar.pcx 2>/dev/null
ppmtopcx -8bit pal256.ppm >"$OUT"/pcx/pal256.pcx 2>/dev/null
ppmtopcx -8bit gray.pgm >"$OUT"/pcx/gray256.pcx 2>/dev/null
ppmtopcx -24bit rgb.ppm >"$OUT"/pcx/rgb24-planar.pcx 2>/dev/null

# ---------------------------------------------------------------- DCX
step "DCX"
# A page table (magic, offsets, a closing zero) in front of PCX pages.
make_dcx() {  # output pages...
  local file=$1
  shift
  local offset=$((4 + 4 * ($# + 1)))
  HEXFILE=$file
  : >"$file"
  hex "$(le32 987654321)"
  local page
  for page in "$@"; do
    hex "$(le32 $offset)"
    offset=$((offset + $(stat -c %s "$page")))
  done
  hex 00000000
  cat "$@" >>"$file"
}
make_dcx "$OUT"/dcx/three-pages.dcx "$OUT"/pcx/pal256.pcx "$OUT"/pcx/bilevel.pcx "$OUT"/pcx/rgb24-planar.pcx
"$IMEXP" convert "$OUT"/pcx/pal16-planar.pcx "$OUT"/dcx/one-page.dcx

# ---------------------------------------------------------------- PNG
step "PNG"
pamdepth 65535 gray.pgm >gray16.pgm
pnmtopng bilevel.pbm >"$OUT"/png/bilevel.png 2>/dev/null
pnmtopng pal16.ppm >"$OUT"/png/pal16.png 2>/dev/null
pnmtopng -interlace pal256.ppm >"$OUT"/png/pal256-interlaced.png 2>/dev/null
pnmtopng gray16.pgm >"$OUT"/png/gray16.png 2>/dev/null
pnmtopng rgb.ppm >"$OUT"/png/rgb24.png 2>/dev/null
pnmtopng -alpha=gray.pgm rgb.ppm >"$OUT"/png/rgb-alpha.png 2>/dev/null

# ---------------------------------------------------------------- JPEG
step "JPEG"
cjpeg -quality 90 rgb.ppm >"$OUT"/jpeg/rgb.jpg
cjpeg -grayscale -progressive gray.pgm >"$OUT"/jpeg/gray-progressive.jpg
convert rgb.ppm -colorspace CMYK -quality 90 "$OUT"/jpeg/cmyk.jpg

# ---------------------------------------------------------------- TIFF
step "TIFF"
pnmtotiff -lzw rgb.ppm >rgb.tif 2>/dev/null
pnmtotiff -packbits pal256.ppm >pal256.tif 2>/dev/null
pnmtotiff -g4 bilevel.pbm >bilevel.tif 2>/dev/null
pnmtotiff gray.pgm >gray.tif 2>/dev/null
cp rgb.tif "$OUT"/tiff/rgb24-lzw.tif
tiffcp -c zip -p separate rgb.tif "$OUT"/tiff/rgb24-planar-deflate.tif
tiffcp -c none -t -w 16 -l 16 gray.tif "$OUT"/tiff/gray-tiled.tif
tiffcp rgb.tif pal256.tif bilevel.tif "$OUT"/tiff/three-pages.tif

# ---------------------------------------------------------------- GIF
step "GIF"
pamtogif pal256.ppm >"$OUT"/gif/pal256.gif 2>/dev/null
pamtogif -interlace pal16.ppm >"$OUT"/gif/pal16-interlaced.gif 2>/dev/null
pamtogif bilevel.pbm >"$OUT"/gif/bilevel.gif 2>/dev/null
# The three as the frames of one file, each with its own colour map.
convert "$OUT"/gif/pal256.gif "$OUT"/gif/pal16-interlaced.gif "$OUT"/gif/bilevel.gif "$OUT"/gif/three-frames.gif

# ---------------------------------------------------------------- WebP
step "WebP"
cwebp -quiet -lossless rgb.ppm -o "$OUT"/webp/rgb-lossless.webp
cwebp -quiet -q 80 rgb.ppm -o "$OUT"/webp/rgb-lossy.webp

step "Samples"
cd "$OUT"
find . -type f | sort | while read -r f; do printf '%8d  %s\n' "$(stat -c %s "$f")" "$f"; done
du -sh --apparent-size .
