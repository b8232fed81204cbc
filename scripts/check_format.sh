#!/usr/bin/env bash
# Fails, naming the files, when a tracked C or C++ source differs from what
# clang-format makes of it with the repository's .clang-format. `--fix`
# rewrites them instead.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t sources < <(git ls-files '*.c' '*.cpp' '*.h')
if [[ "${1:-}" == "--fix" ]]; then
  clang-format -i "${sources[@]}"
  exit 0
fi
report=$(mktemp)
trap 'rm -f "$report"' EXIT
if ! clang-format --dry-run --Werror "${sources[@]}" 2>"$report"; then
  grep -o '^[^:]*:[0-9]*:[0-9]*: error' "$report" | cut -d: -f1 | sort -u | sed 's/^/not formatted: /' >&2
  echo "Run ./scripts/check_format.sh --fix" >&2
  exit 1
fi
echo "${#sources[@]} sources formatted"
