#!/usr/bin/env bash
# Coverage-guided fuzzing of every converter's reader, of the manager's read
# path and of the writers through the manager (clang's libFuzzer, with the
# address and undefined-behaviour sanitizers); the readers are seeded from
# samples/ with each format's dictionary.
#
#   scripts/fuzz.sh SECONDS   a campaign: each target runs SECONDS, as many
#                             at a time as there are cores; its corpus grows
#                             in the cache ($IMEXP_CACHE_DIR/fuzz or
#                             /var/cache/imexp/fuzz) from one campaign to the
#                             next, and what it finds is kept there too
#   scripts/fuzz.sh --runs N  the test command's short run: each target
#                             takes N inputs from a fixed seed (the writers'
#                             a tenth of that), keeps nothing
#
# Prints per target the inputs run, the coverage (edges and features), the
# corpus and the findings; exits non-zero when a target found anything.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

install_packages cmake ninja-build clang llvm "${FIELD_LIBRARIES[@]}"

runs=""
seconds=""
case "${1:-}" in
  --runs) runs=${2:?--runs needs a number} ;;
  "" | *[!0-9]*) echo "usage: scripts/fuzz.sh SECONDS | --runs N" >&2; exit 2 ;;
  *) seconds=$1 ;;
esac

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null

cache=${IMEXP_CACHE_DIR:-/var/cache/imexp}/fuzz
mkdir -p "$cache" 2>/dev/null || cache=${XDG_CACHE_HOME:-$HOME/.cache}/imexp/fuzz
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

targets=()
for program in build/fuzz/bin/fuzz_*; do targets+=("${program##*/fuzz_}"); done

# fuzz_one NAME: runs one target; its log in $work/NAME.log.
fuzz_one() {
  local name=$1 seeds=() dict=()
  case $name in
    manager) seeds=(samples/*/); dict=(-dict=fuzz/dictionaries/manager.dict) ;;
    # Its input is an image to save, not a file: it starts from nothing.
    writers) ;;
    *) seeds=("samples/$name/"); dict=(-dict="fuzz/dictionaries/$name.dict") ;;
  esac
  local corpus findings options
  if [ -n "$runs" ]; then
    corpus=$work/$name.corpus
    findings=$work/$name.findings/
    # The writers' target saves and reads back every input: a tenth as many.
    local count=$runs
    [ "$name" = writers ] && count=$((runs / 10))
    options=(-runs="$count" -seed=1)
  else
    corpus=$cache/corpus/$name
    findings=$cache/findings/$name/
    options=(-max_total_time="$seconds")
  fi
  mkdir -p "$corpus" "$findings"
  # The first folder takes what the fuzzer adds; the samples only seed it.
  "build/fuzz/bin/fuzz_$name" "$corpus" "${seeds[@]}" "${dict[@]}" -artifact_prefix="$findings" \
    -max_len=65536 -rss_limit_mb=2048 -timeout=20 -print_final_stats=1 "${options[@]}" \
    >"$work/$name.log" 2>&1
}

status=0
pids=()
names=()
for name in "${targets[@]}"; do
  fuzz_one "$name" &
  pids+=($!)
  names+=("$name")
  # As many at a time as there are cores.
  while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do wait -n || true; done
done
for i in "${!pids[@]}"; do wait "${pids[$i]}" || true; done

printf '%-8s %10s %8s %8s %8s %9s\n' target inputs edges features corpus findings
for name in "${targets[@]}"; do
  log=$work/$name.log
  inputs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  line=$(grep -E '^#[0-9]+[[:space:]].*cov: ' "$log" | tail -1 || true)
  edges=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$line")
  features=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$line")
  corpus=$(sed -n 's/.* corp: \([0-9]*\).*/\1/p' <<<"$line")
  # Crashes, leaks, time-outs and memory blow-ups; not the slow inputs the
  # fuzzer also keeps (a loaded machine makes those).
  if [ -n "$runs" ]; then dir=$work/$name.findings; newer=(); else dir=$cache/findings/$name; newer=(-newer "$log"); fi
  found=$(find "$dir" -type f "${newer[@]}" \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) \
    2>/dev/null | wc -l)
  # A sanitizer's report or a crash ends the run with a finding, even one
  # the artifact prefix missed.
  grep -qE '^==[0-9]+==ERROR|^SUMMARY: |deadly signal|libFuzzer: (out-of-memory|timeout)' "$log" && [ "$found" -eq 0 ] && found=1
  printf '%-8s %10s %8s %8s %8s %9s\n' "$name" "${inputs:-?}" "${edges:-?}" "${features:-?}" "${corpus:-?}" "$found"
  if [ "$found" -ne 0 ] || [ -z "$inputs" ]; then
    status=1
    echo "---- fuzz_$name:" >&2
    grep -E -A30 '^==[0-9]+==|deadly signal|runtime error|libFuzzer: ' "$log" | head -60 >&2 || tail -30 "$log" >&2
  fi
done
exit $status
