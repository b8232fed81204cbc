#!/usr/bin/env bash
# Photographs what real Win32 (wine, on a private X display) makes of the
# manager's dialog templates: Image Info (100), Select Image (101), Converter
# Setup (102), the Open dialog with its child template (1536) and an error
# message box, in English and in Russian, with sample texts. The pictures go
# to docs/screenshots/win32/WHAT-LANGUAGE.png, cropped to the window.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

install_packages cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 xvfb xauth \
  x11-utils imagemagick

cmake --preset win64 >/dev/null
cmake --build --preset win64 --target template_viewer
viewer=build/win64/bin/template_viewer.exe
out=docs/screenshots/win32
mkdir -p "$out"

unset DISPLAY
start_display
export WINEPREFIX="$PWD/build/win64/screenshot-prefix" WINEDEBUG=-all
sh cmake/start_wine.sh "$WINEPREFIX"
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true; kill ${XVFB_PID:-} 2>/dev/null || true' EXIT

for language in en ru; do
  locale=en_US.UTF-8
  [ "$language" = ru ] && locale=ru_RU.UTF-8
  for what in 100 101 102 open error; do
    LANG=$locale LC_ALL=$locale /usr/lib/wine/wine64 "$viewer" "$what" "$language" >/dev/null 2>&1 &
    pid=$!
    sleep 3
    # The wine desktop is one colour around the window; trimming leaves the window.
    import -window root -trim +repage "$out/$what-$language.png"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    echo "$out/$what-$language.png"
  done
done
