#!/usr/bin/env bash
# Builds and runs the benchmarks of the manager's own overhead natively and
# prints a summary against the baselines measured in the same run:
#   detection/N   FindReader with N refusing content checkers vs N raw
#                 dlopen / dlsym / RDCheckFile / dlclose cycles   <= 1.2 x
#   read/...      ImExp_ReadFile vs the same bands copied straight
#                 into the host                                   <= 15 % more
#   write/...     ImExp_WriteFile vs the host's rows handed straight
#                 to WRWriteBand                                  <= 15 % more
#                 (8-bit images: <= 10 % more, the load included)
#                 and, "beyond the load", vs the same with the converter
#                 loaded and freed for each write as the manager does it
# One-row images carry no target: they show what a call costs whatever the
# image's size.
#
# The set-ups (a manager copy, converter copies, images, the written files)
# go to a folder on tmpfs where one exists: thousands of create-and-rename
# cycles a second on a disk file system measure its inode allocator rather
# than the manager. Google Benchmark and GoogleTest are installed here when
# missing, never by the build. Extra arguments go to every benchmark program,
# e.g. --benchmark_filter=gray8 or --benchmark_repetitions=3.
set -euo pipefail
source "$(dirname "$0")/bench_build.sh"

install_packages cmake ninja-build g++ libbenchmark-dev libgtest-dev
build="$root/build/bench-pipeline"
build_benchmarks "$build" ON detection_bench pipeline_read_bench pipeline_write_bench

# Libraries are loaded from the set-up folder, so tmpfs mounted noexec will
# not do.
scratch_parent=${TMPDIR:-/tmp}
if grep -qs '^[^ ]* /dev/shm tmpfs ' /proc/mounts && ! grep -qs '^[^ ]* /dev/shm tmpfs [^ ]*noexec' /proc/mounts &&
  [ -w /dev/shm ]; then
  scratch_parent=/dev/shm
fi
scratch=$(mktemp -d "$scratch_parent/imexp-bench.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
trap 'exit 130' INT TERM

# A benchmark whose set-up check fails exits non-zero, and so does this.
for bench in detection_bench pipeline_read_bench pipeline_write_bench; do
  echo
  echo "== $bench"
  TMPDIR="$scratch" "$build/bin/$bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_out="$build/$bench.json" --benchmark_out_format=json "$@"
done

python3 - "$build/detection_bench.json" "$build/pipeline_read_bench.json" "$build/pipeline_write_bench.json" <<'EOF'
import json, sys

medians = {}
for path in sys.argv[1:]:
    with open(path) as f:
        text = f.read()
    if not text.strip():
        continue  # a filter left that program nothing to run
    for r in json.loads(text)["benchmarks"]:
        if r.get("aggregate_name") == "median":
            medians[r["run_name"]] = r

def pairs(prefix):
    for name, manager in medians.items():
        parts = name.split("/")
        if parts[0] == prefix and parts[1] == "manager":
            yield "/".join(parts[2:]), manager, medians.get("/".join([prefix, "raw"] + parts[2:]))

failures = 0

print()
print(f"{'detection':12} {'us/probe':>9} {'raw us/probe':>13} {'ratio':>7}  target")
for key, manager, raw in pairs("detection"):
    per_probe = 1e6 / manager["items_per_second"]
    raw_per_probe = 1e6 / raw["items_per_second"] if raw else float("nan")
    ratio = manager["vs_raw"]
    ok = ratio <= 1.2
    failures += not ok
    print(f"{key + ' copies':12} {per_probe:9.1f} {raw_per_probe:13.1f} {ratio:7.3f}  <= 1.2{'' if ok else '  MISSED'}")

for prefix in ("read", "write"):
    print()
    print(f"{prefix:22} {'GB/s':>7} {'raw GB/s':>9} {'ratio':>7} {'overhead':>9} {'extra us':>9}  target")
    for key, manager, raw in pairs(prefix):
        rate = manager["bytes_per_second"] / 1e9
        raw_rate = raw["bytes_per_second"] / 1e9 if raw else float("nan")
        ratio = manager["vs_raw"]
        overhead = manager["overhead_pct"]
        height = int(key.split("x")[-1])
        if height == 1:
            target, ok = "(per call, no target)", True
        else:
            limit = 10 if prefix == "write" and key.startswith("gray8") else 15
            target, ok = f"<= {limit} %", overhead <= limit
        failures += not ok
        loaded = f"{manager['loaded_overhead_pct']:8.1f}%" if "loaded_overhead_pct" in manager else ""
        print(f"{key:22} {rate:7.3f} {raw_rate:9.3f} {ratio:7.3f} {overhead:8.1f}% {manager['extra_us']:9.0f}  "
              f"{target}{'' if ok else '  MISSED'}{'  beyond the load: ' + loaded if loaded else ''}")

print(f"\n{failures} figure(s) outside their target (medians of the repetitions; ratios from paired rounds)")
EOF
