#!/bin/sh
# Runs one Windows test program under wine64 for ctest. Now and then wine
# fails to start a process at all: it exits at once, and the program has
# printed nothing. Such a start is tried once more; a program that ran (and
# printed anything) keeps its result.
wine=/usr/lib/wine/wine64
out=$(mktemp) || exit 1
"$wine" "$@" >"$out" 2>&1
status=$?
if [ "$status" -ne 0 ] && [ ! -s "$out" ]; then
  echo "run_under_wine: wine exited with $status before the program printed anything; starting it once more"
  "$wine" "$@" >"$out" 2>&1
  status=$?
fi
cat "$out"
rm -f "$out"
exit "$status"
