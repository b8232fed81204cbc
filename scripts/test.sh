#!/usr/bin/env bash
# Every test: installs what the builds need (once), checks that the sources
# are formatted as .clang-format says, builds the linux, linux-asan, win64
# and win32 presets, runs every suite (the win64 ones under wine64, the win32
# ones under Wine's 32-bit loader, both on a virtual X display), runs the
# conversions that read and write at once under ThreadSanitizer, checks that
# the three platforms save every sample alike, fuzzes every reader briefly,
# and checks the installs, the examples built against them and the Debian
# package.
# Exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

install_packages cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev \
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 \
  wine64 xvfb xauth libgtk-3-dev clang-format make dpkg-dev curl clang lld llvm ccache \
  "${FIELD_LIBRARIES[@]}" "${REFERENCE_TOOLS[@]}"

step "Checking the format"
./scripts/check_format.sh

step "Wine's 32-bit loader"
# Why the win32 suites cannot run here; empty when they can.
win32_not_run=$(wine32_unavailable)
[ -z "$win32_not_run" ] && echo "the win32 suites run under $(/usr/lib/wine/wine --version) (32-bit)"

# Compiled objects are kept in a cache outside the build trees, so that a
# machine compiles a source with the same flags once (the four builds were
# most of this command's time). The cache is keyed by the preprocessed
# source and the compiler's flags; the precompiled test header is part of
# that key.
export CCACHE_DIR=${IMEXP_CACHE_DIR:-/var/cache/imexp}/ccache
mkdir -p "$CCACHE_DIR" 2>/dev/null || CCACHE_DIR=${XDG_CACHE_HOME:-$HOME/.cache}/imexp/ccache
export CCACHE_MAXSIZE=4G CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
# Paths inside the checkout count relative to it, so that a clone in another
# folder finds the same objects (their debug information then names the
# folder they were first compiled in).
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache

step "The field libraries for Windows"
# Built once a machine, from Debian's sources, into the cache.
./scripts/mingw_field_libraries.sh

# Inputs each fuzz target takes in this command (scripts/fuzz.sh SECONDS runs
# a campaign).
FUZZ_RUNS=20000

for preset in linux linux-asan win64 win32; do
  step "Building $preset"
  options=()
  [[ "$preset" == win32 && -n "$win32_not_run" ]] && options=(-DIMEXP_BUILD_TESTS=OFF)
  cmake --preset "$preset" "${options[@]}" >/dev/null
  cmake --build --preset "$preset"
done

# The win64 suites mostly wait on wine (its server, process starts), so they
# run beside the others, on an X display of their own.
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" ctest --preset win64 -j "$(nproc)" >build/win64/suites.log 2>&1 &
win64_suites=$!
start_display
for preset in linux linux-asan; do
  step "Testing $preset"
  ctest --preset "$preset" -j "$(nproc)"
done

# ThreadSanitizer over the conversions that read and write at once, then
# the fuzzers for a fixed number of inputs: both keep the processor busy,
# while the win32 suites mostly wait on wine, so they run beside those.
mkdir -p build
(
  step "ThreadSanitizer over conversions that read and write at once"
  cmake --preset linux-tsan >/dev/null
  cmake --build --preset linux-tsan
  build/linux-tsan/bin/cli_tests --gtest_brief=1 \
    --gtest_filter='RowStream*:CliOverlap*:CliImages*:CliBatch*:CliCancel*:CliConvertFailure*'
  step "Fuzzing every reader for a fixed number of inputs"
  ./scripts/fuzz.sh --runs "$FUZZ_RUNS"
) >build/beside-win32.log 2>&1 &
beside=$!
if [ -z "$win32_not_run" ]; then
  step "Testing win32"
  ctest --preset win32 -j "$(nproc)"
fi
step "ThreadSanitizer and fuzzing (beside win32)"
beside_status=0
wait "$beside" || beside_status=$?
cat build/beside-win32.log
[ "$beside_status" -eq 0 ]
step "Testing win64 (beside the others)"
win64_status=0
wait "$win64_suites" || win64_status=$?
cat build/win64/suites.log
[ "$win64_status" -eq 0 ]
step "The same files saved on every platform"
windows=(win64)
[ -z "$win32_not_run" ] && windows+=(win32)
./scripts/check_platforms_agree.sh "${windows[@]}"
./scripts/check_install.sh
if [ -n "$win32_not_run" ]; then
  step "All tests passed but the win32 suites, which did NOT run: $win32_not_run"
else
  step "All tests passed"
fi
