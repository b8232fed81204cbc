#!/usr/bin/env bash
# Cross-builds the field libraries the PNG, JPEG, TIFF, GIF and WebP
# converters are built over, for 32- and 64-bit Windows (mingw-w64), from the
# source packages of the versions Debian 12 ships, so that the Windows
# converters are built from the sources linux uses over the same libraries.
#
#   mingw_field_libraries.sh [TRIPLE...]   (x86_64-w64-mingw32, i686-w64-mingw32)
#
# Sources come through apt only: `apt-get source` of the pinned versions
# from the main archive (a deb-src entry is added for that once), which
# checks every file against the archive's signed index; dpkg-source then
# checks them against the .dsc while unpacking. zlib is Debian's own mingw
# build (libz-mingw-w64-dev). Every library is built static, into a cache
# outside any build tree keyed by library, version and architecture
# (CACHE/build/<library>-<version>-<triple>), so that a machine builds each
# once; CACHE/<triple> is then assembled from them as the prefix the mingw
# toolchain files hand to pkg-config. CACHE is $IMEXP_CACHE_DIR/mingw
# (/var/cache/imexp/mingw by default).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

# Debian 12's versions, as the linux build gets them from libspng-dev,
# libjpeg62-turbo-dev, libtiff-dev, libgif-dev and libwebp-dev, from the
# main archive (linux may have a later security update of the same upstream
# version, as it has of tiff).
SOURCES=(
  "libjpeg-turbo 1:2.1.5-2"
  "libspng 0.7.3-3"
  "tiff 4.5.0-6+deb12u4"
  "giflib 5.2.1-2.5+deb12u1"
  "libwebp 1.2.4-0.2+deb12u1"
)
CACHE=${IMEXP_CACHE_DIR:-/var/cache/imexp}/mingw
TRIPLES=("$@")
[ ${#TRIPLES[@]} -gt 0 ] || TRIPLES=(x86_64-w64-mingw32 i686-w64-mingw32)
JOBS=$(nproc)

install_packages libz-mingw-w64-dev nasm dpkg-dev cmake ninja-build make pkg-config

# apt-get source needs the main archive's source index.
ensure_source_index() {
  if apt-cache showsrc libspng 2>/dev/null | grep -q '^Package:'; then return; fi
  local list=/etc/apt/sources.list.d/imexp-deb-src.sources
  # The main archive's deb entry, as a deb-src one.
  awk 'BEGIN{RS=""; ORS="\n\n"} /Types:[^\n]*deb/ && /Suites:[^\n]*bookworm( |\n|$)/ && !/security/ {
    sub(/Types:[^\n]*/, "Types: deb-src"); print}' \
    /etc/apt/sources.list.d/*.sources >"$list"
  [ -s "$list" ] || { echo "mingw_field_libraries: no bookworm archive in apt's sources" >&2; exit 1; }
  step "Adding the archive's source index ($list)"
  # Only this list is updated; the others stay as they are.
  apt-get update -qq -o Dir::Etc::SourceList="$list" -o Dir::Etc::SourceParts=- -o APT::Get::List-Cleanup=0
  apt-cache showsrc libspng 2>/dev/null | grep -q '^Package:' ||
    { echo "mingw_field_libraries: the archive's source index could not be read" >&2; exit 1; }
}

# unpack SOURCE VERSION DIR: the Debian source tree (upstream with Debian's
# patches applied) in DIR.
unpack() {
  local work
  work=$(mktemp -d)
  # apt's download user writes there.
  chmod 755 "$work"
  (cd "$work" && apt-get source --download-only -qq "$1=$2" >&2)
  # --require-valid-signature wants the uploaders' keys, which a machine
  # does not have; the files are the ones the signed index names.
  (cd "$work" && dpkg-source --no-check -x ./*.dsc src >/dev/null)
  rm -rf "$3"
  mv "$work/src" "$3"
  rm -rf "$work"
}

# cmake_library SRC BUILD PREFIX TRIPLE DEPS [OPTIONS...]: finds what it
# links in DEPS, then in the toolchain's own folder.
cmake_library() {
  local src=$1 build=$2 prefix=$3 triple=$4 deps=$5
  shift 5
  local processor=AMD64
  [ "$triple" = i686-w64-mingw32 ] && processor=X86
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_SYSTEM_NAME=Windows \
    -DCMAKE_SYSTEM_PROCESSOR="$processor" -DCMAKE_C_COMPILER="$triple-gcc-posix" \
    -DCMAKE_CXX_COMPILER="$triple-g++-posix" -DCMAKE_RC_COMPILER="$triple-windres" \
    -DCMAKE_FIND_ROOT_PATH="$deps;/usr/$triple" -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER \
    -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -Wno-dev --no-warn-unused-cli "$@" >/dev/null
  cmake --build "$build" -j "$JOBS" >/dev/null
  cmake --install "$build" >/dev/null
}

# write_pc PREFIX NAME VERSION LIBS [CFLAGS] [REQUIRES]
write_pc() {
  mkdir -p "$1/lib/pkgconfig"
  cat >"$1/lib/pkgconfig/$2.pc" <<EOF
prefix=$1
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: $2
Description: $2 (static, mingw-w64)
Version: $3
Requires: ${6:-}
Libs: -L\${libdir} $4
Cflags: -I\${includedir} ${5:-}
EOF
}

# static_archive TRIPLE PREFIX NAME CFLAGS FILES...: PREFIX/lib/libNAME.a of
# the C FILES.
static_archive() {
  local triple=$1 prefix=$2 name=$3 cflags=$4
  shift 4
  local objects=() file
  mkdir -p "$prefix/lib" "$prefix/include"
  for file in "$@"; do
    # shellcheck disable=SC2086
    "$triple-gcc-posix" -O2 $cflags -c "$file" -o "${file%.c}.o"
    objects+=("${file%.c}.o")
  done
  "$triple-ar" rcs "$prefix/lib/lib$name.a" "${objects[@]}"
}

# build_library SOURCE SRC PREFIX TRIPLE DEPS: DEPS is the assembled prefix
# holding what this library links (zlib, libjpeg).
build_library() {
  local source=$1 src=$2 prefix=$3 triple=$4 deps=$5 build=$2/imexp-build
  case "$source" in
    libjpeg-turbo)
      cmake_library "$src" "$build" "$prefix" "$triple" "$deps" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
        -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON -DREQUIRE_SIMD=ON
      ;;
    libspng)
      # One C file; its CMake project cannot build the static library alone.
      # Its SSE filter code needs SSE2, which the i686 target does not assume.
      local options="-DSPNG_STATIC -I$deps/include"
      [ "$triple" = i686-w64-mingw32 ] && options+=" -DSPNG_DISABLE_OPT=1"
      static_archive "$triple" "$prefix" spng "$options" "$src/spng/spng.c"
      cp "$src/spng/spng.h" "$prefix/include/"
      write_pc "$prefix" spng 0.7.3 -lspng -DSPNG_STATIC zlib
      ;;
    tiff)
      cmake_library "$src" "$build" "$prefix" "$triple" "$deps" -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF \
        -Dtiff-docs=OFF -Dzlib=ON -Djpeg=ON -Dold-jpeg=ON -Djbig=OFF -Dlerc=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF \
        -Dlibdeflate=OFF -Dpixarlog=ON -Djpeg12=OFF -Dcxx=OFF
      ;;
    giflib)
      # giflib builds with a Makefile of its own; the library is a few C files.
      static_archive "$triple" "$prefix" gif "" "$src"/{dgif_lib,egif_lib,gifalloc,gif_err,gif_font,gif_hash}.c \
        "$src"/{openbsd-reallocarray,quantize}.c
      cp "$src/gif_lib.h" "$prefix/include/"
      write_pc "$prefix" libgif 5.2.1 -lgif
      ;;
    libwebp)
      cmake_library "$src" "$build" "$prefix" "$triple" "$deps" -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF \
        -DWEBP_BUILD_DWEBP=OFF -DWEBP_BUILD_GIF2WEBP=OFF -DWEBP_BUILD_IMG2WEBP=OFF -DWEBP_BUILD_VWEBP=OFF \
        -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_WEBPMUX=OFF -DWEBP_BUILD_EXTRAS=OFF -DWEBP_BUILD_LIBWEBPMUX=OFF
      ;;
  esac
}

# The assembled prefix starts with Debian's zlib, static only.
assemble_zlib() {
  local prefix=$1 triple=$2
  mkdir -p "$prefix/include" "$prefix/lib"
  cp "/usr/$triple/include/zlib.h" "/usr/$triple/include/zconf.h" "$prefix/include/"
  cp "/usr/$triple/lib/libz.a" "$prefix/lib/"
  write_pc "$prefix" zlib "$(dpkg-query -W -f='${Version}' libz-mingw-w64-dev)" -lz
}

# What an assembled prefix is made of; a prefix made of the same is kept as
# it is, so that the builds linking it see no newer files.
contents="zlib $(dpkg-query -W -f='${Version}' libz-mingw-w64-dev); ${SOURCES[*]}"
for triple in "${TRIPLES[@]}"; do
  assembled=$CACHE/$triple
  if [ "$(cat "$assembled/.contents" 2>/dev/null)" = "$contents" ]; then
    echo "the field libraries for $triple are in $assembled"
    continue
  fi
  ensure_source_index
  rm -rf "$assembled"
  assemble_zlib "$assembled" "$triple"
  for entry in "${SOURCES[@]}"; do
    read -r source version <<<"$entry"
    key=$CACHE/build/$source-${version//:/_}-$triple
    if [ ! -e "$key/done" ]; then
      step "Building $source $version for $triple"
      start=$SECONDS
      rm -rf "$key"
      mkdir -p "$key"
      unpack "$source" "$version" "$key/src"
      build_library "$source" "$key/src" "$key/prefix" "$triple" "$assembled"
      rm -rf "$key/src"
      echo "$((SECONDS - start)) s" >"$key/done"
    fi
    cp -r "$key/prefix/." "$assembled/"
    # The .pc files name the prefix the library was installed to.
    sed -i "s|$key/prefix|$assembled|g" "$assembled"/lib/pkgconfig/*.pc
  done
  rm -rf "$assembled/bin" "$assembled/share" "$assembled/lib/cmake"
  echo "$contents" >"$assembled/.contents"
done
