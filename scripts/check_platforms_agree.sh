#!/usr/bin/env bash
# A file saved on Windows is the file saved on Linux: every sample converted
# into every save format by the linux imexp, the win64 imexp.exe (wine64) and
# the win32 imexp.exe (Wine's 32-bit loader), and the outputs compared byte
# for byte. A conversion refused on one platform must be refused on all.
#
#   check_platforms_agree.sh [PLATFORM...]   (win64, win32; default both)
#
# Run by the test command after the builds, without win32 where its suites
# cannot run.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() {
  echo "check_platforms_agree: $*" >&2
  exit 1
}

flat_samples "$scratch/samples"
# The save formats as the manager lists them: the first extension of each.
formats=$(build/linux/bin/imexp formats | awk '/^Save formats/{on=1; next} on && NF {sub(/^\*\./, "", $NF); sub(/;.*/, "", $NF); print tolower($NF)}')
[ -n "$formats" ] || fail "the linux imexp lists no save formats"

# convert PLATFORM COMMAND...: every sample into every format, by the
# program COMMAND, into $scratch/PLATFORM/FORMAT/.
convert() {
  local platform=$1 format
  shift
  for format in $formats; do
    # A refused conversion makes the batch exit 1; the outputs compared
    # tell which.
    "$@" convert --to "$format" --out "$scratch/$platform/$format" "$scratch"/samples/* >"$scratch/$platform-$format.log" 2>&1 || true
  done
}

platforms=("$@")
[ ${#platforms[@]} -gt 0 ] || platforms=(win64 win32)
export WINEPREFIX=$PWD/build/win64/wineprefix WINEDEBUG=-all
convert linux build/linux/bin/imexp
for platform in "${platforms[@]}"; do
  loader=/usr/lib/wine/wine64
  [ "$platform" = win32 ] && loader=/usr/lib/wine/wine
  convert "$platform" sh cmake/run_under_wine.sh "$loader" "build/$platform/bin/imexp.exe"
done

written=$(find "$scratch/linux" -type f | wc -l)
[ "$written" -gt 0 ] || fail "the linux imexp wrote nothing: $(cat "$scratch"/linux-*.log)"
for platform in "${platforms[@]}"; do
  diff -r "$scratch/linux" "$scratch/$platform" >"$scratch/diff.txt" ||
    fail "$platform's outputs differ from linux's:$(printf '\n')$(head -20 "$scratch/diff.txt")"
done
samples=$(ls "$scratch/samples" | wc -l)
echo "linux, ${platforms[*]}: $samples samples into $(wc -w <<<"$formats") formats, $written outputs byte-identical" \
  "and $((samples * $(wc -w <<<"$formats") - written)) conversions refused alike"
