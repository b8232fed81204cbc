#!/usr/bin/env bash
# Photographs the manager's dialogs as real Win32 (wine, on a private X
# display) shows them to a person, opened through the manager's exports on
# the bundled samples and converters: Image Info, Select Image, the Open and
# Save dialogs, Converter Setup and an error message, in English and in
# Russian. The pictures go to docs/screenshots/win32/WHAT-LANGUAGE.png,
# cropped to the window.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

install_packages cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 xvfb xauth \
  x11-utils imagemagick

cmake --preset win64 >/dev/null
cmake --build --preset win64 --target dialog_demo imexp_cli
out=docs/screenshots/win32
mkdir -p "$out"

# A copy of the build's bin/ folder, whose CONVERT.INI gets the folders the
# Open and Save dialogs start in.
work=$(mktemp -d)
cp -r build/win64/bin "$work/bin"
samples="Z:$(pwd | tr / '\\')\\samples"
printf '[Settings]\r\nOpenDir=%s\\pcx\r\nOpenFormat=PCX\r\nSaveDir=%s\\bmp\r\n' "$samples" "$samples" >> "$work/bin/CONVERT.INI"
demo="$work/bin/dialog_demo.exe"

unset DISPLAY
start_display
export WINEPREFIX="$PWD/build/win64/screenshot-prefix" WINEDEBUG=-all
sh cmake/start_wine.sh "$WINEPREFIX"
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true; kill ${XVFB_PID:-} 2>/dev/null || true; rm -rf "$work"' EXIT

shots=(
  "info info $samples\\pcx\\pal256.pcx"
  "select info $samples\\dcx\\three-pages.dcx"
  "open open"
  "save save"
  "setup setup"
  "error error $samples\\missing.pcx"
)
for language in en ru; do
  locale=en_US.UTF-8
  [ "$language" = ru ] && locale=ru_RU.UTF-8
  for shot in "${shots[@]}"; do
    read -r name what file <<<"$shot"
    LANG=$locale LC_ALL=$locale /usr/lib/wine/wine64 "$demo" "$what" ${file:+"$file"} >/dev/null 2>&1 &
    pid=$!
    sleep 4
    # The wine desktop is one colour around the window; trimming leaves the window.
    import -window root -trim +repage "$out/$name-$language.png"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    echo "$out/$name-$language.png"
  done
done
