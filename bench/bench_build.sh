# Sourced by the bench/run_*.sh scripts: moves to the repository root (as
# $root), brings in scripts/lib.sh, and gives them one way to build their
# benchmark programs.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
source scripts/lib.sh

# build_benchmarks FOLDER TESTS TARGET...: configures the linux preset into
# FOLDER with the benchmarks on and IMEXP_BUILD_TESTS=TESTS (ON when the
# benchmarks use the test converter), then builds the targets.
build_benchmarks() {
  local folder=$1 tests=$2
  shift 2
  cmake --preset linux -B "$folder" -DIMEXP_BUILD_TESTS="$tests" -DIMEXP_BUILD_BENCHMARKS=ON >/dev/null
  cmake --build "$folder" --target "$@"
}

# build_imexp: builds imexp and the bundled converters into build/bench and
# sets IMEXP to the program, unless IMEXP already names a build to use.
build_imexp() {
  step "Building imexp"
  build="$root/build/bench"
  build_benchmarks "$build" OFF imexp_cli imexp_converters >/dev/null
  IMEXP=$(realpath "${IMEXP:-$build/bin/imexp}")
}
