#!/usr/bin/env bash
# Whole-file conversion: `imexp convert` against the hand-written band
# streamer (bench/band_streamer.cpp, the same conversion without the
# manager), netpbm (bmptopnm) and ImageMagick (convert) in the same run, on
# an 8000 x 6000 24-bit BMP and an 8000 x 6000 8-bit paletted BMP, both to
# 24-bit PPM, on a RAM disk (/dev/shm) and on disk. Each round runs every
# program once, in turn; the figures are the medians over the rounds, with
# each program's largest peak resident memory.
#
#   bench/convert_bench.sh [rounds]      (IMEXP=path/to/imexp to use a given build)
#
# Targets: imexp at most 1.3 x the streamer's time for 24 bits and 1.2 x for
# 8 bits, at least 5 x faster than ImageMagick, and a peak memory of at most
# the decoded image + 32 MB (imexp holds the image, as a host must).
set -euo pipefail
source "$(dirname "$0")/bench_build.sh"

ROUNDS=${1:-5}
WIDTH=8000
HEIGHT=6000

install_packages imagemagick netpbm time cmake ninja-build g++ libgtest-dev "${FIELD_LIBRARIES[@]}"
IMAGEMAGICK=/usr/bin/convert
[ -x "$IMAGEMAGICK" ] || IMAGEMAGICK=$(command -v convert-im6.q16)

step "Building imexp and the band streamer"
build="$root/build/bench"
build_benchmarks "$build" OFF imexp_cli imexp_converters band_streamer >/dev/null
STREAMER=$build/bin/band_streamer
IMEXP=$(realpath "${IMEXP:-$build/bin/imexp}")

SOURCES=$(mktemp -d "${TMPDIR:-/tmp}/convert_bench.XXXXXX")
DISK_DIR="$build/convert_bench"
trap 'rm -rf "$SOURCES" "$DISK_DIR"' EXIT

step "Making ${WIDTH} x ${HEIGHT} images"
cd "$SOURCES"
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
rm -f red.pgm green.pgm blue.pgm ramp.pgm inverse.pgm triple.pgm map.ppm
ls -l rgb24.bmp pal8.bmp | awk '{printf "  %-10s %12d bytes\n", $9, $5}'

PROGRAMS=(imexp streamer netpbm ImageMagick)
# command_of PROGRAM INPUT OUTPUT
command_of() {
  case $1 in
    imexp) echo "$IMEXP convert $2 $3" ;;
    streamer) echo "$STREAMER $2 $3" ;;
    netpbm) echo "bmptopnm $2 >$3 2>/dev/null" ;;
    ImageMagick) echo "$IMAGEMAGICK $2 ppm:$3" ;;
  esac
}

# One run: appends "seconds kbytes" (wall time to the microsecond, peak
# resident memory from /usr/bin/time) to PROGRAM.times.
run_once() {
  local program=$1 input=$2 start end
  rm -f "$program.ppm"
  sync
  start=$EPOCHREALTIME
  /usr/bin/time -f %M -o time.txt bash -c "$(command_of "$program" "$input" "$program.ppm")" >/dev/null 2>&1
  end=$EPOCHREALTIME
  echo "$(awk -v s="$start" -v e="$end" 'BEGIN {printf "%.6f", e - s}') $(tail -n 1 time.txt)" >>"$program.times"
}

ALL_MET=1
run_case() {  # label input decoded-bytes place-label folder
  local label=$1 input=$2 decoded=$3 place=$4 folder=$5 round program
  step "$label, $place"
  rm -rf "$folder"
  mkdir -p "$folder"
  cp "$SOURCES/$input" "$folder/"
  cd "$folder"
  for ((round = 0; round < ROUNDS; round++)); do
    for program in "${PROGRAMS[@]}"; do run_once "$program" "$input"; done
  done
  # Same pixels from all of them, or the timings mean nothing.
  for program in streamer netpbm ImageMagick; do
    if ! cmp -s <(pnmtopnm <imexp.ppm) <(pnmtopnm <"$program.ppm"); then
      echo "  imexp.ppm and $program.ppm differ" >&2
      ALL_MET=0
    fi
  done
  local target=1.3
  [ "$input" = pal8.bmp ] && target=1.2
  python3 - "$decoded" "$target" "${PROGRAMS[@]}" <<'EOF' || ALL_MET=0
import statistics, sys
decoded, target, programs = int(sys.argv[1]), float(sys.argv[2]), sys.argv[3:]
times, peaks = {}, {}
for p in programs:
    rows = [line.split() for line in open(f"{p}.times")]
    times[p] = statistics.median(float(r[0]) for r in rows)
    peaks[p] = max(int(r[1]) for r in rows) / 1024
ti = times["imexp"]
print(f"  {'program':12} {'median (s)':>10} {'vs imexp':>9} {'peak RSS (MB)':>14}")
for p in programs:
    print(f"  {p:12} {times[p]:10.3f} {times[p] / ti:8.2f}x {peaks[p]:14.1f}")
limit = decoded / 1048576 + 32
vs_streamer = ti / times["streamer"]
vs_magick = times["ImageMagick"] / ti
checks = [
    (f"imexp <= {target} x the streamer", vs_streamer <= target, f"{vs_streamer:.2f} x"),
    ("imexp >= 5 x faster than ImageMagick", vs_magick >= 5, f"{vs_magick:.1f} x"),
    (f"imexp memory <= decoded {decoded / 1048576:.1f} MB + 32 MB", peaks["imexp"] <= limit, f"{peaks['imexp']:.1f} MB"),
]
for name, met, figure in checks:
    print(f"  target {name:44} {'met' if met else 'MISSED'} ({figure})")
sys.exit(0 if all(met for _, met, _ in checks) else 1)
EOF
  cd "$SOURCES"
  rm -rf "$folder"
}

# The image as the host holds it: 3 bytes a pixel for true colour, 1 for a
# 256-colour palette.
for place in "RAM disk:/dev/shm/imexp_convert_bench" "disk:$DISK_DIR"; do
  run_case "24-bit BMP -> PPM" rgb24.bmp $((WIDTH * HEIGHT * 3)) "${place%%:*}" "${place#*:}"
  run_case "8-bit paletted BMP -> 24-bit PPM" pal8.bmp $((WIDTH * HEIGHT)) "${place%%:*}" "${place#*:}"
done

if [ "$ALL_MET" = 1 ]; then step "All targets met"; else step "Some targets missed"; fi
