#!/bin/sh
# Runs one Windows test program for ctest: run_under_wine.sh LOADER PROGRAM
# [ARGS...], LOADER being wine64 or the 32-bit wine. Now and then wine fails
# to start a process at all: it exits at once, and the program has printed
# nothing. Such a start is tried once more; a program that ran (and printed
# anything) keeps its result.
wine=$1
shift
# The suites start our other programs from the Unix shell with it.
export IMEXP_WINE_LOADER="$wine"
# With an i386 emulator registered (scripts/i386_emulation.sh, on a kernel
# without 32-bit support), every 32-bit program runs under it; the suites
# learn it from IMEXP_CPU_EMULATED.
if [ "$wine" = /usr/lib/wine/wine ] && grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then
  export IMEXP_CPU_EMULATED=1
fi
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
