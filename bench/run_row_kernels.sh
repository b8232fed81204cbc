#!/usr/bin/env bash
# Builds and runs the row kernel benchmarks natively and prints a summary of
# the ratios against memcpy and FreeImage, with the targets:
#   kernels with a FreeImage equivalent   >= 3 x FreeImage
#   CopyRow, WriteCopy                    >= 0.5 x memcpy
#   every other kernel                    >= 0.05 x memcpy
# FreeImage (and Google Benchmark) are installed here when missing, never by
# the build. Extra arguments go to the benchmark program.
set -euo pipefail
source "$(dirname "$0")/bench_build.sh"

install_packages cmake ninja-build g++ libbenchmark-dev libfreeimage-dev
build="$root/build/bench"
build_benchmarks "$build" OFF row_kernels_bench

json="$build/row_kernels.json"
"$build/bin/row_kernels_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_out="$json" --benchmark_out_format=json "$@"

python3 - "$json" <<'EOF'
import json, sys

with open(sys.argv[1]) as f:
    runs = [r for r in json.load(f)["benchmarks"] if r.get("aggregate_name") == "median"]

print()
print(f"{'kernel':34} {'width':>6} {'GB/s':>7} {'vs_memcpy':>10} {'vs_FreeImage':>12}  target")
failures = 0
for r in runs:
    family, name, width = r["run_name"].split("/")
    rate = r["bytes_per_second"] / 1e9
    memcpy = r.get("vs_memcpy", 0.0)
    fi = r.get("vs_freeimage")
    if family == "freeimage":
        target, ok = "(baseline)", True
    elif fi is not None:
        target, ok = ">= 3 x FreeImage", fi >= 3
    elif name in ("CopyRow", "WriteCopy"):
        target, ok = ">= 0.5 x memcpy", memcpy >= 0.5
    else:
        target, ok = ">= 0.05 x memcpy", memcpy >= 0.05
    failures += not ok
    fi_text = f"{fi:12.2f}" if fi is not None else f"{'':12}"
    print(f"{family + '/' + name:34} {width:>6} {rate:7.2f} {memcpy:10.3f} {fi_text}  {target}{'' if ok else '  MISSED'}")
print(f"\n{failures} figure(s) below target")
EOF
