#!/usr/bin/env bash
# The install as host and converter authors meet it. Run by the test command
# after the builds; every step fails the script on the first difference.
#
#  1. The linux build installed into a scratch prefix: the layout, and the
#     installed imexp converting every sample exactly as the build tree does.
#  2. The examples built out of tree against that prefix, with find_package
#     and with pkg-config: the TGA converter passes `imexp verify`, is
#     installed and converts both ways, agreeing with netpbm; the host copies
#     images through the installed manager.
#  3. The Debian package built with cpack, unpacked into a scratch root, and
#     the imexp it holds run on the samples.
#  4. The win64 and win32 builds installed (bin/ and lib/): the nine
#     converters beside the manager and in its CONVERT.INI, and the installed
#     imexp.exe, under wine, converting every sample as linux does; the TGA
#     converter built against the win32 install exports its entry points by
#     plain name.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

root=$PWD
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
  echo "check_install: $*" >&2
  exit 1
}

# expect_files DIR FILE... : each FILE exists under DIR.
expect_files() {
  local dir=$1
  shift
  for file in "$@"; do
    [ -e "$dir/$file" ] || fail "$dir/$file is missing"
  done
}

# The samples the installed programs convert; every bundled format is here.
mapfile -t samples < <(find samples -type f | sort)

# same_conversions REFERENCE_IMEXP IMEXP : every sample converted to PNM by
# both programs gives the same bytes.
same_conversions() {
  local reference=$1 installed=$2 sample n=0
  for sample in "${samples[@]}"; do
    "$reference" convert "$sample" "$scratch/expected.pnm" >/dev/null
    "$installed" convert "$sample" "$scratch/actual.pnm" >/dev/null
    cmp -s "$scratch/expected.pnm" "$scratch/actual.pnm" || fail "$installed converts $sample differently"
    n=$((n + 1))
  done
  echo "$installed: $n samples converted as the build tree converts them"
}

# The converter list beside the manager, as relative names.
converter_count() { grep -c '^[0-9]*=' "$1"; }

step "Install: linux into a scratch prefix"
prefix=$scratch/prefix
cmake --install build/linux --prefix "$prefix" >/dev/null
expect_files "$prefix" bin/imexp include/imexp/host.h include/imexp/converter.h include/imexp/converter_support.h \
  lib/libimexp.so lib/libimexp.so.1 lib/CONVERT.INI lib/imexp/imexp_bmp.so lib/libimexp_gtk.so \
  lib/cmake/ImExp/ImExpConfig.cmake lib/cmake/ImExp/ImExpAddConverter.cmake lib/pkgconfig/imexp.pc \
  lib/pkgconfig/imexp-converter.pc
bundled=$(converter_count build/linux/bin/CONVERT.INI)
[ "$(converter_count "$prefix/lib/CONVERT.INI")" -eq "$bundled" ] || fail "the installed CONVERT.INI lists other converters"
loaded=$("$prefix/bin/imexp" formats | grep -c "($prefix/lib/imexp/")
[ "$loaded" -eq "$bundled" ] || fail "the installed manager loaded $loaded of $bundled converters"
echo "the installed manager loads its $bundled converters from $prefix/lib/imexp"
same_conversions build/linux/bin/imexp "$prefix/bin/imexp"

step "Examples: built out of tree with find_package(ImExp)"
for example in converter host; do
  cmake -S examples/$example -B "$scratch/cmake-$example" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
  cmake --build "$scratch/cmake-$example" >/dev/null
done
# TGA files of netpbm's, in colour and in grey, bottom row first.
bmptopnm samples/bmp/rgb24.bmp >"$scratch/rgb.ppm" 2>/dev/null
ppmtopgm "$scratch/rgb.ppm" >"$scratch/grey.pgm"
ppmtotga -norle -rgb "$scratch/rgb.ppm" >"$scratch/rgb.tga" 2>/dev/null
ppmtotga -norle -mono "$scratch/grey.pgm" >"$scratch/grey.tga" 2>/dev/null
tga=$scratch/cmake-converter/imexp_tga.so
"$prefix/bin/imexp" verify "$tga" "$scratch/rgb.tga" "$scratch/grey.tga" >"$scratch/verify.txt" 2>&1 ||
  fail "imexp verify rejects the example converter: $(cat "$scratch/verify.txt")"
echo "imexp verify: $(tail -n 1 "$scratch/verify.txt")"
# Its setup dialog: the resources generated from tga.rc by the installed
# tool, the dialog functions from the installed library.
nm -D --defined-only "$tga" | grep -qw ImExpPosix_AttachUi ||
  fail "the example converter does not take the manager's dialog functions"
grep -q "Generated from tga.rc" "$scratch/cmake-converter/imexp_tga_resources.cpp" 2>/dev/null ||
  fail "the example converter's dialog template was not generated from tga.rc"
cmake --install "$scratch/cmake-converter" >/dev/null
expect_files "$prefix" lib/imexp/imexp_tga.so
"$prefix/bin/imexp" install "$prefix/lib/imexp/imexp_tga.so" >/dev/null

# The TGA converter both ways against netpbm, in colour and in grey.
for kind in rgb grey; do
  original=$scratch/$kind.$([ $kind = grey ] && echo pgm || echo ppm)
  "$prefix/bin/imexp" convert "$original" "$scratch/written.tga" >/dev/null
  tgatoppm "$scratch/written.tga" 2>/dev/null | ppmtoppm >"$scratch/netpbm.ppm"
  ppmtoppm <"$original" | cmp -s - "$scratch/netpbm.ppm" || fail "tgatoppm reads the TGA written from $kind differently"
  "$prefix/bin/imexp" convert "$scratch/$kind.tga" "$scratch/read.pnm" >/dev/null
  ppmtoppm <"$scratch/read.pnm" | cmp -s - <(ppmtoppm <"$original") || fail "the example converter reads ppmtotga's $kind differently"
done
echo "the example converter writes and reads TGA as netpbm does"
# Its setting, as its setup dialog writes it: the top row first.
printf '[TGA]\nTopFirst=1\n' >>"$prefix/lib/CONVERT.INI"
"$prefix/bin/imexp" convert "$scratch/rgb.ppm" "$scratch/top.tga" >/dev/null
[ "$(od -An -tu1 -j17 -N1 "$scratch/top.tga" | tr -d ' ')" = 32 ] || fail "TopFirst=1 did not write the top row first"
tgatoppm "$scratch/top.tga" 2>/dev/null | ppmtoppm | cmp -s - <(ppmtoppm <"$scratch/rgb.ppm") || fail "tgatoppm reads the top-first TGA differently"
echo "the example converter writes the top row first when its setting says so"

"$scratch/cmake-host/image_copy" samples/png/rgb24.png "$scratch/copy.bmp" >/dev/null
"$prefix/bin/imexp" convert samples/png/rgb24.png "$scratch/expected.ppm" >/dev/null
"$prefix/bin/imexp" convert "$scratch/copy.bmp" "$scratch/actual.ppm" >/dev/null
cmp -s "$scratch/expected.ppm" "$scratch/actual.ppm" || fail "the example host copied the image wrongly"
echo "the example host copies an image through the installed manager"

step "Examples: built with pkg-config"
export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
mkdir -p "$scratch/pkgconfig"
for example in converter host; do
  make -s -C examples/$example OUT="$scratch/pkgconfig" >/dev/null
done
"$prefix/bin/imexp" verify "$scratch/pkgconfig/imexp_tga.so" "$scratch/rgb.tga" >"$scratch/verify.txt" 2>&1 ||
  fail "imexp verify rejects the example converter built with pkg-config: $(cat "$scratch/verify.txt")"
"$scratch/pkgconfig/image_copy" samples/gif/pal256.gif "$scratch/copy.tga" >/dev/null
"$prefix/bin/imexp" convert samples/gif/pal256.gif "$scratch/expected.ppm" >/dev/null
"$prefix/bin/imexp" convert "$scratch/copy.tga" "$scratch/actual.ppm" >/dev/null
cmp -s "$scratch/expected.ppm" "$scratch/actual.ppm" || fail "the pkg-config host copied the image wrongly"
echo "the converter and the host built with pkg-config work"
unset PKG_CONFIG_PATH

step "Debian package: cpack -G DEB, unpacked into a scratch root"
(cd build/linux && cpack -G DEB >/dev/null)
deb=$(ls build/linux/deb/imexp_*.deb)
dpkg-deb --field "$deb" Package Version Depends
dpkg -x "$deb" "$scratch/root"
expect_files "$scratch/root" usr/bin/imexp usr/lib/libimexp.so.1 usr/lib/CONVERT.INI usr/lib/imexp/imexp_png.so \
  usr/include/imexp/host.h usr/lib/cmake/ImExp/ImExpConfig.cmake usr/lib/pkgconfig/imexp.pc
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles | grep -qx /usr/lib/CONVERT.INI || fail "CONVERT.INI is not a conffile"
if [ "$(id -u)" -eq 0 ]; then
  dpkg --dry-run -i "$deb" >/dev/null || fail "the package would not install here"
fi
same_conversions build/linux/bin/imexp "$scratch/root/usr/bin/imexp"

# same_windows_conversions LOADER INSTALLED_IMEXP_EXE: the installed program,
# run by wine LOADER, converts every sample to PNM (one batch) as the linux
# build does.
same_windows_conversions() {
  local loader=$1 installed=$2
  rm -rf "$scratch/pnm-linux" "$scratch/pnm-windows"
  build/linux/bin/imexp convert --to pnm --out "$scratch/pnm-linux" "$scratch"/samples/* >/dev/null 2>&1
  sh cmake/run_under_wine.sh "$loader" "$installed" convert --to pnm --out "$scratch/pnm-windows" "$scratch"/samples/* \
    >"$scratch/windows.txt" 2>&1 || fail "$installed failed on the samples: $(tail -n 20 "$scratch/windows.txt")"
  diff -r "$scratch/pnm-linux" "$scratch/pnm-windows" >/dev/null || fail "$installed converts the samples differently"
  echo "$installed: $(ls "$scratch/pnm-windows" | wc -l) samples converted as linux converts them"
}

# check_windows_install ARCH LOADER: the ARCH build installed (bin/ and
# lib/); its imexp.exe, run by wine LOADER, loads every bundled converter
# from bin/ and converts the samples as linux does.
check_windows_install() {
  local arch=$1 loader=$2
  local win=$scratch/$arch
  cmake --install "build/$arch" --prefix "$win" >/dev/null
  expect_files "$win" bin/imexp.exe bin/imexp.dll bin/CONVERT.INI bin/libstdc++-6.dll lib/imexp.dll.a lib/imexp.lib \
    include/imexp/host.h lib/cmake/ImExp/ImExpConfig.cmake lib/pkgconfig/imexp.pc
  for format in bmp pnm pcx dcx png jpeg tiff gif webp; do
    expect_files "$win" "bin/imexp_$format.dll"
  done
  [ "$(converter_count "$win/bin/CONVERT.INI")" -eq "$bundled" ] || fail "the $arch CONVERT.INI lists other converters than linux's"
  # The field libraries are inside their converters: bin/ holds the manager,
  # the converters and the mingw-w64 runtime, and a converter imports
  # nothing else but system DLLs.
  local dll stray
  stray=$(cd "$win/bin" && ls ./*.dll | grep -vE '^\./(imexp(_[a-z]+)?|libstdc\+\+-6|libgcc_s_[a-z0-9]+-1|libwinpthread-1)\.dll$' || true)
  [ -z "$stray" ] || fail "the $arch install holds other DLLs: $stray"
  for dll in "$win"/bin/imexp_*.dll; do
    stray=$(objdump -p "$dll" | awk '/DLL Name:/{print $3}' |
      grep -viE '^(kernel32|user32|comdlg32|gdi32|msvcrt|libstdc\+\+-6|libgcc_s_[a-z0-9]+-1|libwinpthread-1)\.dll$' || true)
    [ -z "$stray" ] || fail "$(basename "$dll") ($arch) imports $stray"
  done
  sh cmake/run_under_wine.sh "$loader" "$win/bin/imexp.exe" formats >"$scratch/formats.txt" ||
    fail "the installed imexp.exe failed: $(cat "$scratch/formats.txt")"
  loaded=$(grep -c 'imexp_.*\.dll)' "$scratch/formats.txt" || true)
  [ "$loaded" -eq "$bundled" ] || fail "the installed $arch imexp.exe loaded $loaded of $bundled converters"
  echo "the $arch install runs: $loaded converters from bin/"
  same_windows_conversions "$loader" "$win/bin/imexp.exe"
}

export WINEPREFIX=$root/build/win64/wineprefix WINEDEBUG=-all
flat_samples "$scratch/samples"
if [ -x build/win64/bin/imexp.exe ]; then
  step "Install: win64"
  check_windows_install win64 /usr/lib/wine/wine64
fi

if [ -f build/win32/bin/imexp.dll ]; then
  step "Install: win32, and a converter built against it"
  # Run where the 32-bit loader starts (it does not on a kernel without
  # 32-bit support and no emulation of it).
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    check_windows_install win32 /usr/lib/wine/wine
  else
    cmake --install build/win32 --prefix "$scratch/win32" >/dev/null
  fi
  cmake -S examples/converter -B "$scratch/win32-converter" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw32.cmake" -DImExp_DIR="$scratch/win32/lib/cmake/ImExp" >/dev/null
  cmake --build "$scratch/win32-converter" >/dev/null
  exports=$(i686-w64-mingw32-objdump -p "$scratch/win32-converter/imexp_tga.dll" | awk '/\[ *[0-9]+\] /{print $NF}')
  for entry in ConvGetVersion ConvGetDllInfo RDCheckFile RDReadBand WRWriteBand; do
    grep -qx "$entry" <<<"$exports" || fail "the win32 TGA converter does not export $entry by plain name"
  done
  echo "the win32 TGA converter exports its entry points by plain name"
fi

step "The install checks passed"
