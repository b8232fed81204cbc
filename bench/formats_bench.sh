#!/usr/bin/env bash
# Whole conversions on the five field formats, as a user runs them: imexp
# against libvips (vips copy), ImageMagick (convert) and each format's own
# tool (djpeg, pngtopnm, tifftopnm, dwebp, giftopnm; cjpeg, pnmtopng,
# pnmtotiff, cwebp), on a 6000 x 4000 photograph-like image on a RAM disk
# (/dev/shm). Each round runs every program of a case once, in turn; the
# figures are the medians over the rounds, each program's largest peak
# resident memory and the size of what it wrote. Every output is checked:
# decoded pixels equal to the tool's (within 1 for JPEG, whose decoders may
# round apart), written files decoded by the format's tool equal to the
# source (PNG, TIFF) or close to it (JPEG, WebP: PSNR of 30 dB or more).
#
#   bench/formats_bench.sh [rounds]      (IMEXP=path/to/imexp to use a given build)
#
# Goals: imexp at most the time of libvips and of ImageMagick in every case,
# writing files no larger than theirs; decoding within 1.15 x the format's
# tool; a peak memory below 64 MB where a conversion streams (both sides
# walk the image top to bottom).
set -euo pipefail
source "$(dirname "$0")/bench_build.sh"

ROUNDS=${1:-3}
WIDTH=6000
HEIGHT=4000
QUALITY=90
STREAMING_LIMIT_MB=64

install_packages imagemagick libvips-tools netpbm libjpeg-turbo-progs libtiff-tools webp time \
  cmake ninja-build g++ libgtest-dev "${FIELD_LIBRARIES[@]}"
IMAGEMAGICK=/usr/bin/convert
[ -x "$IMAGEMAGICK" ] || IMAGEMAGICK=$(command -v convert-im6.q16)

build_imexp

WORK=$(mktemp -d /dev/shm/imexp_formats_bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

step "Making a ${WIDTH} x ${HEIGHT} photograph-like image and its files"
# Soft shapes and gradients with a little grain: smooth areas and edges, as
# a photograph has, rather than noise no codec can shrink.
"$IMAGEMAGICK" -size 1500x1000 plasma:fractal -blur 0x3 -resize ${WIDTH}x${HEIGHT}! \
  -attenuate 0.15 +noise Gaussian -depth 8 source.ppm
cjpeg -quality $QUALITY -sample 1x1 source.ppm >source.jpg
pnmtopng source.ppm >source.png 2>/dev/null
pnmtotiff -lzw -predictor=2 source.ppm >source.tif 2>/dev/null
cwebp -quiet -q $QUALITY source.ppm -o source.webp
pnmquant 256 source.ppm 2>/dev/null | pamtogif >source.gif 2>/dev/null
ls -l source.* | awk '{printf "  %-12s %12d bytes\n", $9, $5}'
# imexp writes JPEG and WebP at quality 90 unless CONVERT.INI says otherwise.

# command_of PROGRAM CASE: the command line of one conversion, writing
# out.EXT; CASE is "decode-FORMAT" or "encode-FORMAT".
command_of() {
  local program=$1 kind=${2%%-*} format=${2#*-}
  if [ "$kind" = decode ]; then
    case $program in
      imexp) echo "$IMEXP convert source.$format out.ppm" ;;
      vips) echo "vips copy source.$format out.ppm" ;;
      ImageMagick) echo "$IMAGEMAGICK source.$format ppm:out.ppm" ;;
      tool)
        case $format in
          jpg) echo "djpeg -pnm source.jpg >out.ppm" ;;
          png) echo "pngtopnm source.png >out.ppm" ;;
          tif) echo "tifftopnm source.tif >out.ppm" ;;
          webp) echo "dwebp -quiet -ppm source.webp -o out.ppm" ;;
          gif) echo "giftopnm source.gif >out.ppm" ;;
        esac ;;
    esac
    return
  fi
  case $program:$format in
    imexp:*) echo "$IMEXP convert source.ppm out.$format" ;;
    vips:jpg) echo "vips copy source.ppm 'out.jpg[Q=$QUALITY,subsample-mode=off]'" ;;
    vips:png) echo "vips copy source.ppm out.png" ;;
    vips:tif) echo "vips copy source.ppm 'out.tif[compression=lzw,predictor=horizontal]'" ;;
    vips:webp) echo "vips copy source.ppm 'out.webp[Q=$QUALITY]'" ;;
    ImageMagick:jpg) echo "$IMAGEMAGICK source.ppm -quality $QUALITY -sampling-factor 1x1 out.jpg" ;;
    ImageMagick:tif) echo "$IMAGEMAGICK source.ppm -compress lzw -define tiff:predictor=2 out.tif" ;;
    ImageMagick:*) echo "$IMAGEMAGICK source.ppm -quality $QUALITY out.$format" ;;
    tool:jpg) echo "cjpeg -quality $QUALITY -sample 1x1 source.ppm >out.jpg" ;;
    tool:png) echo "pnmtopng source.ppm >out.png" ;;
    tool:tif) echo "pnmtotiff -lzw -predictor=2 source.ppm >out.tif" ;;
    tool:webp) echo "cwebp -quiet -q $QUALITY source.ppm -o out.webp" ;;
  esac
}

# The format's own decoder, to PPM on stdout.
decoder_of() {
  case $1 in
    jpg) echo "djpeg -pnm" ;;
    png) echo "pngtopnm" ;;
    tif) echo "tifftopnm" ;;
    webp) echo "dwebp -quiet -ppm -o - --" ;;
  esac
}

PROGRAMS=(imexp vips ImageMagick tool)
RESULTS=$WORK/results.txt
: >"$RESULTS"

# One run: appends "seconds kbytes bytes" (wall time, peak resident
# memory, size of the output) to PROGRAM.times.
run_once() {
  local program=$1 case=$2 start end
  rm -f out.*
  start=$EPOCHREALTIME
  /usr/bin/time -f %M -o time.txt bash -c "$(command_of "$program" "$case")" >/dev/null 2>&1
  end=$EPOCHREALTIME
  echo "$(awk -v s="$start" -v e="$end" 'BEGIN {printf "%.6f", e - s}') $(tail -n 1 time.txt)" \
    "$(stat -c %s out.* | head -n 1)" >>"$program.times"
}

# The pixels of the last run of PROGRAM, as PPM, into PROGRAM.check.ppm.
keep_pixels() {
  local program=$1 kind=${2%%-*} format=${2#*-}
  if [ "$kind" = decode ]; then
    pnmtopnm <out.ppm >"$program.check.ppm" 2>/dev/null
  else
    # shellcheck disable=SC2046
    $(decoder_of "$format") out.$format 2>/dev/null | pnmtopnm >"$program.check.ppm" 2>/dev/null
  fi
}

# "same", the lowest PSNR of the planes in dB, or "differ": the pixels of
# one program against the reference.
compare_pixels() {
  if cmp -s "$1" "$2"; then echo same; return; fi
  pnmpsnr "$1" "$2" 2>&1 | awk '
    /:.*no difference/ { seen = 1; next }
    /dB/ { for (i = 1; i <= NF; i++) if ($i == "dB") { v = $(i - 1); if (!found || v < low) low = v; found = 1 } }
    END { if (found) printf "%.1f_dB\n", low; else if (seen) print "same"; else print "differ" }'
}

run_case() {  # CASE
  local case=$1 kind=${1%%-*} format=${1#*-} round program
  step "$kind ${format^^}"
  rm -f ./*.times ./*.check.ppm
  for ((round = 0; round < ROUNDS; round++)); do
    for program in "${PROGRAMS[@]}"; do
      command_of "$program" "$case" | grep -q . || continue
      run_once "$program" "$case"
      [ "$round" -eq 0 ] && keep_pixels "$program" "$case"
    done
  done
  local reference=tool.check.ppm
  [ "$kind" = encode ] && reference=source.ppm
  for program in "${PROGRAMS[@]}"; do
    [ -f "$program.times" ] || continue
    echo "$case $program $(compare_pixels "$program.check.ppm" "$reference")" >>pixels.txt
  done
  python3 - "$case" "$RESULTS" "${PROGRAMS[@]}" <<'EOF'
import os, statistics, sys
case, results, programs = sys.argv[1], sys.argv[2], sys.argv[3:]
pixels = {}
for line in open("pixels.txt"):
    c, p, verdict = line.split(maxsplit=2)
    if c == case:
        pixels[p] = verdict.strip()
print(f"  {'program':12} {'median (s)':>10} {'vs imexp':>9} {'peak RSS (MB)':>14} {'output (bytes)':>15}  pixels")
with open(results, "a") as out:
    for p in programs:
        if not os.path.exists(f"{p}.times"):
            continue
        rows = [line.split() for line in open(f"{p}.times")]
        t = statistics.median(float(r[0]) for r in rows)
        peak = max(int(r[1]) for r in rows) / 1024
        size = int(rows[-1][2])
        if p == "imexp":
            ti = t
        print(f"  {p:12} {t:10.3f} {t / ti:8.2f}x {peak:14.1f} {size:15d}  {pixels.get(p, '?')}")
        out.write(f"{case} {p} {t:.6f} {peak:.1f} {size} {pixels.get(p, '?')}\n")
EOF
}

for case in decode-jpg decode-png decode-tif decode-webp decode-gif encode-jpg encode-png encode-tif encode-webp; do
  run_case "$case"
done

step "Against the goals"
python3 - "$RESULTS" "$STREAMING_LIMIT_MB" <<'EOF'
import sys
rows = {}
for line in open(sys.argv[1]):
    case, program, t, peak, size, pixels = line.split()
    rows[(case, program)] = (float(t), float(peak), int(size), pixels)
limit = float(sys.argv[2])
# The conversions whose two sides both walk the image top to bottom; a
# WebP encoder takes the whole picture at once, and so does its decoder here.
streaming = {"decode-jpg", "decode-png", "decode-tif", "decode-gif", "encode-jpg", "encode-png", "encode-tif"}
missed = 0
def check(name, met, figure):
    global missed
    missed += 0 if met else 1
    print(f"  {name:58} {'met' if met else 'MISSED'} ({figure})")
for case in sorted({c for c, _ in rows}, key=lambda c: (c.split('-')[0], c)):
    t, peak, size, pixels = rows[(case, "imexp")]
    ok_pixels = pixels == "same" or (pixels not in ("differ", "?") and float(pixels.split("_")[0]) >= 30)
    check(f"{case}: pixels", ok_pixels, pixels.replace("_", " "))
    for peer in ("vips", "ImageMagick"):
        if (case, peer) not in rows:
            continue
        pt, _, psize, _ = rows[(case, peer)]
        check(f"{case}: at most {peer}'s time", t <= pt, f"{t / pt:.2f} x")
        if case.startswith("encode"):
            check(f"{case}: no larger than {peer}'s file", size <= psize, f"{size / psize:.2f} x")
    if case.startswith("decode"):
        tt = rows[(case, "tool")][0]
        check(f"{case}: within 1.15 x the format's tool", t <= 1.15 * tt, f"{t / tt:.2f} x")
    if case in streaming:
        check(f"{case}: peak memory below {limit:.0f} MB", peak < limit, f"{peak:.1f} MB")
print(f"\n  {missed} goal(s) missed" if missed else "\n  every goal met")
EOF
