#!/usr/bin/env bash
# Whole-file conversion: `imexp convert` against netpbm (bmptopnm) and
# ImageMagick (convert) in the same run, on an 8000 x 6000 24-bit BMP and an
# 8000 x 6000 8-bit paletted BMP, both to 24-bit PPM. Reports the best wall
# time of a few runs, the ratios, and each program's peak resident memory.
#
#   bench/convert_bench.sh [runs]      (IMEXP=path/to/imexp to use a given build)
#
# Targets: imexp at least 20x faster than ImageMagick and at least as fast as
# netpbm; imexp's peak memory at most the decoded image + 32 MB.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

RUNS=${1:-3}
WIDTH=8000
HEIGHT=6000

install_packages imagemagick netpbm time cmake ninja-build g++ libgtest-dev
IMAGEMAGICK=/usr/bin/convert
[ -x "$IMAGEMAGICK" ] || IMAGEMAGICK=$(command -v convert-im6.q16)

IMEXP=${IMEXP:-}
if [ -z "$IMEXP" ]; then
  step "Building imexp (linux preset)"
  cmake --preset linux >/dev/null
  cmake --build --preset linux --target imexp_cli imexp_bmp imexp_pnm imexp_pcx imexp_dcx >/dev/null
  IMEXP=build/linux/bin/imexp
fi
IMEXP=$(realpath "$IMEXP")

WORK=$(mktemp -d "${TMPDIR:-/tmp}/convert_bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

step "Making ${WIDTH} x ${HEIGHT} images"
pgmramp -lr $WIDTH $HEIGHT >red.pgm
pgmramp -tb $WIDTH $HEIGHT >green.pgm
pgmramp -diagonal $WIDTH $HEIGHT >blue.pgm
rgb3toppm red.pgm green.pgm blue.pgm | ppmtobmp -bpp=24 >rgb24.bmp 2>/dev/null
# 256 distinct colours mapped onto a grey pattern: a paletted image with a
# real colour palette, so it must become 24-bit RGB in the PPM.
pgmramp -lr 256 1 >ramp.pgm
pnminvert ramp.pgm >inverse.pgm
pamfunc -multiplier=3 ramp.pgm 2>/dev/null >triple.pgm
rgb3toppm ramp.pgm inverse.pgm triple.pgm >map.ppm
pgmtoppm -map=map.ppm blue.pgm | ppmtobmp -bpp=8 >pal8.bmp 2>/dev/null
rm -f red.pgm green.pgm blue.pgm
ls -l rgb24.bmp pal8.bmp | awk '{printf "  %-10s %12d bytes\n", $9, $5}'

# Runs a command RUNS times under /usr/bin/time -v; prints "seconds kbytes"
# (best wall time, largest peak RSS).
measure() {
  local best="" peak=0 i seconds kbytes
  for ((i = 0; i < RUNS; i++)); do
    sync
    /usr/bin/time -v -o time.txt "$@" >/dev/null 2>&1
    seconds=$(awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, t, ":"); s = 0; for (j = 1; j <= n; j++) s = s * 60 + t[j]; print s}' time.txt)
    kbytes=$(awk -F': ' '/Maximum resident set size/ {print $2}' time.txt)
    if [ -z "$best" ] || awk "BEGIN {exit !($seconds < $best)}"; then best=$seconds; fi
    ((kbytes > peak)) && peak=$kbytes
  done
  echo "$best $peak"
}

netpbm_to_ppm() { bmptopnm "$1" >"$2"; }

ALL_MET=1
run_case() {  # label input decoded-bytes
  local label=$1 input=$2 decoded=$3
  step "$label"
  read -r t_imexp m_imexp < <(measure "$IMEXP" convert "$input" imexp.ppm)
  read -r t_netpbm m_netpbm < <(measure bash -c "bmptopnm '$input' >netpbm.ppm")
  read -r t_magick m_magick < <(measure "$IMAGEMAGICK" "$input" magick.ppm)
  # Copying the input byte for byte: the reading and writing no converter
  # can avoid, as a floor for the figures above.
  read -r t_copy m_copy < <(measure bash -c "cat '$input' >copy.bin")
  # Same pixels from all three, or the timings mean nothing.
  for other in netpbm.ppm magick.ppm; do
    if ! cmp -s <(pnmtopnm <imexp.ppm) <(pnmtopnm <"$other"); then
      echo "  imexp.ppm and $other differ" >&2
      ALL_MET=0
    fi
  done
  local limit_kb=$(((decoded + 32 * 1024 * 1024) / 1024))
  awk -v tc="$t_copy" -v mc="$m_copy" -v ti="$t_imexp" -v tn="$t_netpbm" -v tm="$t_magick" -v mi="$m_imexp" -v mn="$m_netpbm" -v mm="$m_magick" \
    -v dec="$decoded" -v lim="$limit_kb" 'BEGIN {
      printf "  %-12s %9s %12s %14s\n", "program", "wall (s)", "vs imexp", "peak RSS (MB)"
      printf "  %-12s %9.2f %12s %14.1f\n", "imexp", ti, "1.00x", mi / 1024
      printf "  %-12s %9.2f %11.2fx %14.1f\n", "netpbm", tn, tn / ti, mn / 1024
      printf "  %-12s %9.2f %11.2fx %14.1f\n", "ImageMagick", tm, tm / ti, mm / 1024
      printf "  %-12s %9.2f %11.2fx %14.1f   (I/O floor)\n", "cat", tc, tc / ti, mc / 1024
      printf "  decoded image %.1f MB; imexp memory limit %.1f MB\n", dec / 1048576, lim / 1024
      ok_magick = tm / ti >= 20; ok_netpbm = tn >= ti; ok_memory = mi <= lim
      printf "  target >= 20x faster than ImageMagick: %s (%.1fx)\n", ok_magick ? "met" : "MISSED", tm / ti
      printf "  target at least as fast as netpbm:     %s (%.2fx)\n", ok_netpbm ? "met" : "MISSED", tn / ti
      printf "  target memory <= decoded + 32 MB:      %s\n", ok_memory ? "met" : "MISSED"
      exit !(ok_magick && ok_netpbm && ok_memory)
    }' || ALL_MET=0
  rm -f imexp.ppm netpbm.ppm magick.ppm copy.bin
}

# The image as the host holds it: 3 bytes a pixel for true colour, 1 for a
# 256-colour palette.
run_case "24-bit BMP -> PPM" rgb24.bmp $((WIDTH * HEIGHT * 3))
run_case "8-bit paletted BMP -> 24-bit PPM" pal8.bmp $((WIDTH * HEIGHT))

if [ "$ALL_MET" = 1 ]; then step "All targets met"; else step "Some targets missed"; fi
