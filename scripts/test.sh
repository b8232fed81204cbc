#!/usr/bin/env bash
# Every test: installs what the builds need (once), checks that the sources
# are formatted as .clang-format says, builds the linux,
# linux-asan, win64 and win32 presets, runs every suite (the win64 ones
# under wine on a virtual X display), and checks the installs, the examples
# built against them and the Debian package. Exits non-zero on the first
# failure.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

install_packages cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev \
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 \
  wine64 xvfb xauth libgtk-3-dev clang-format make dpkg-dev "${FIELD_LIBRARIES[@]}" "${REFERENCE_TOOLS[@]}"

step "Checking the format"
./scripts/check_format.sh

for preset in linux linux-asan win64 win32; do
  step "Building $preset"
  # 32-bit Windows programs cannot run here: that build proves the library,
  # the converters and imexp compile and link for it, without the suites.
  options=()
  [[ "$preset" == win32 ]] && options=(-DIMEXP_BUILD_TESTS=OFF)
  cmake --preset "$preset" "${options[@]}" >/dev/null
  cmake --build --preset "$preset"
done

start_display
for preset in linux linux-asan win64; do
  step "Testing $preset"
  ctest --preset "$preset" -j "$(nproc)"
done
./scripts/check_install.sh
step "All tests passed"
