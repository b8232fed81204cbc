#!/usr/bin/env bash
# Batch conversion: 1000 small files (the 61 x 41 samples of BMP, PCX and
# PNM, copied) converted to PNG with `imexp convert --to png -j 1` and
# `-j 2`, against one `imexp convert` process per file, in interleaved
# rounds on a RAM disk. Reports the medians per file and the ratios.
#
#   bench/batch_bench.sh [rounds] [files]
#
# Targets: -j 2 takes at most 0.6 x the time of -j 1 (on 2 cores), and -j 1
# costs per file no more than a process per file.
set -euo pipefail
source "$(dirname "$0")/bench_build.sh"

ROUNDS=${1:-3}
FILES=${2:-1000}

install_packages cmake ninja-build g++ libgtest-dev "${FIELD_LIBRARIES[@]}"
build_imexp

WORK=$(mktemp -d /dev/shm/batch_bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
mapfile -t sources < <(ls samples/bmp/pal256.bmp samples/bmp/rgb24.bmp samples/pcx/pal16-planar.pcx samples/pnm/p6.ppm)
mkdir -p "$WORK/in"
for ((i = 0; i < FILES; i++)); do
  source_file=${sources[i % ${#sources[@]}]}
  cp "$source_file" "$WORK/in/f$i.${source_file##*.}"
done
cd "$WORK"
step "$FILES files, $ROUNDS rounds"

# seconds COMMAND...: wall time of one run.
seconds() {
  local start=$EPOCHREALTIME
  "$@" >/dev/null 2>&1 || true
  awk -v s="$start" -v e="$EPOCHREALTIME" 'BEGIN {printf "%.6f\n", e - s}'
}
per_process() {
  local f
  for f in in/*; do "$IMEXP" convert "$f" "out/$(basename "${f%.*}").png"; done
}
for ((round = 0; round < ROUNDS; round++)); do
  for mode in j1 j2 processes; do
    rm -rf out && mkdir out
    case $mode in
      j1) seconds "$IMEXP" convert --to png --out out -j 1 in/* >>j1.times ;;
      j2) seconds "$IMEXP" convert --to png --out out -j 2 in/* >>j2.times ;;
      processes) seconds per_process >>processes.times ;;
    esac
    [ "$(ls out | wc -l)" -eq "$FILES" ] || { echo "$mode converted $(ls out | wc -l) of $FILES files" >&2; exit 1; }
  done
done

python3 - "$FILES" <<'EOF'
import statistics, sys
files = int(sys.argv[1])
t = {m: statistics.median(float(x) for x in open(f"{m}.times")) for m in ("j1", "j2", "processes")}
for m, label in (("j1", "--to png -j 1"), ("j2", "--to png -j 2"), ("processes", "a process per file")):
    print(f"  {label:20} {t[m]:8.3f} s  {t[m] / files * 1000:7.3f} ms a file")
r2 = t["j2"] / t["j1"]
r1 = t["j1"] / t["processes"]
print(f"  target -j 2 <= 0.6 x -j 1:            {'met' if r2 <= 0.6 else 'MISSED'} ({r2:.2f} x)")
print(f"  target -j 1 <= a process per file:    {'met' if r1 <= 1 else 'MISSED'} ({r1:.2f} x)")
sys.exit(0 if r2 <= 0.6 and r1 <= 1 else 1)
EOF
