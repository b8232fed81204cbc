#!/usr/bin/env bash
# Photographs the manager's dialogs as a person sees them, opened on the
# bundled samples and converters: Image Info, Select Image, the Open and
# Save dialogs, Converter Setup, an error message and each bundled
# converter's Setup dialog and About box, in English and in Russian, on a
# private X display, cropped to the window.
#   win32: real Win32 (wine) through the manager's exports, as a host
#          calls them, into docs/screenshots/win32/WHAT-LANGUAGE.png
#   linux: the GTK presenter through the imexp dialog commands, into
#          docs/screenshots/linux/WHAT-LANGUAGE.png
# Without an argument both; `scripts/screenshots.sh linux` makes one set.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=(win32 linux)
languages=(en ru)
# Long enough for a window to open and draw, short enough for twelve shots;
# wine needs longer than a native program to start.
native_seconds=2
wine_seconds=4

locale_of() { [ "$1" = ru ] && echo ru_RU.UTF-8 || echo en_US.UTF-8; }

# The copies of bin/ that get the folders the Open and Save dialogs start in.
work=$(mktemp -d)
cleanup() {
  if [ -n "${WINEPREFIX:-}" ]; then /usr/lib/wine/wineserver -k 2>/dev/null || true; fi
  kill ${XVFB_PID:-} 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# photograph SECONDS PICTURE COMMAND...: runs the command in the
# background, lets its window settle and photographs the display cropped to
# it: the screen around a window without a window manager is one colour
# (wine's desktop, Xvfb's black root), which -trim takes away. Fails when
# the program ended before its window was taken.
photograph() {
  photograph_keys "$1" "$2" "" "${@:3}"
}

# photograph_keys SECONDS PICTURE KEYS COMMAND...: as photograph, with the
# keys (xdotool's names, blank-separated; none when empty) typed once the
# window is up, as a user who opens a dialog from it.
photograph_keys() {
  local seconds=$1 picture=$2 keys=$3
  shift 3
  "$@" >/dev/null 2>"$work/stderr" &
  local pid=$!
  sleep "$seconds"
  if [ -n "$keys" ]; then
    # shellcheck disable=SC2086 # one word per key
    xdotool key --delay 150 $keys
    sleep "$seconds"
  fi
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "no window for $picture: $* ended early" >&2
    cat "$work/stderr" >&2
    return 1
  fi
  import -window root -trim +repage "$picture"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  echo "$picture"
}

# The bundled converters in the order of the generated CONVERT.INI, and
# those with a Setup dialog.
converters=(bmp pnm pcx dcx png jpeg tiff gif webp)
with_setup=(bmp png jpeg tiff gif webp)

win32_shots() {
  install_packages cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 xvfb xauth \
    x11-utils imagemagick
  ./scripts/mingw_field_libraries.sh x86_64-w64-mingw32
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 --target dialog_demo imexp_cli imexp_converters
  local out=docs/screenshots/win32
  mkdir -p "$out"
  cp -r build/win64/bin "$work/win64"
  local samples
  samples="Z:$(pwd | tr / '\\')\\samples"
  printf '[Settings]\r\nOpenDir=%s\\pcx\r\nOpenFormat=PCX\r\nSaveDir=%s\\bmp\r\n' "$samples" "$samples" \
    >>"$work/win64/CONVERT.INI"
  local demo="$work/win64/dialog_demo.exe"

  export WINEPREFIX="$PWD/build/win64/screenshot-prefix" WINEDEBUG=-all
  sh cmake/start_wine.sh "$WINEPREFIX"
  local shots=(
    "info info $samples\\pcx\\pal256.pcx"
    "select info $samples\\dcx\\three-pages.dcx"
    "open open"
    "save save"
    "setup setup"
    "error error $samples\\missing.pcx"
  )
  local language shot name what file locale
  for language in "${languages[@]}"; do
    locale=$(locale_of "$language")
    for shot in "${shots[@]}"; do
      read -r name what file <<<"$shot"
      photograph "$wine_seconds" "$out/$name-$language.png" \
        env LANG="$locale" LC_ALL="$locale" /usr/lib/wine/wine64 "$demo" "$what" ${file:+"$file"}
    done
    for name in "${converters[@]}"; do
      photograph "$wine_seconds" "$out/about-$name-$language.png" \
        env LANG="$locale" LC_ALL="$locale" /usr/lib/wine/wine64 "$demo" converter-about "imexp_$name"
    done
    for name in "${with_setup[@]}"; do
      photograph "$wine_seconds" "$out/setup-$name-$language.png" \
        env LANG="$locale" LC_ALL="$locale" /usr/lib/wine/wine64 "$demo" converter-setup "imexp_$name"
    done
  done
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  unset WINEPREFIX
}

# GTK words its own parts (the file chooser's) in the process's language,
# which needs the locale generated.
generate_locales() {
  local missing=()
  for locale in en_US.UTF-8 ru_RU.UTF-8; do
    locale -a 2>/dev/null | grep -qix "${locale/UTF-8/utf8}" || missing+=("$locale")
  done
  [ ${#missing[@]} -eq 0 ] && return
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  for locale in "${missing[@]}"; do $sudo sed -i "s/^# *\($locale .*\)/\1/" /etc/locale.gen; done
  $sudo locale-gen >/dev/null
}

linux_shots() {
  install_packages cmake ninja-build g++ libgtk-3-dev xvfb xauth x11-utils xdotool imagemagick openbox locales
  generate_locales
  # A window manager draws the captions, as a desktop does.
  openbox >/dev/null 2>&1 &
  local manager=$!
  cmake --preset linux >/dev/null
  cmake --build --preset linux --target imexp_cli imexp_gtk imexp_converters
  local out=docs/screenshots/linux
  mkdir -p "$out"
  cp -r build/linux/bin "$work/linux"
  local samples="$PWD/samples"
  printf '[Settings]\nOpenDir=%s/pcx\nOpenFormat=PCX\nSaveDir=%s/bmp\n' "$samples" "$samples" \
    >>"$work/linux/CONVERT.INI"
  local imexp="$work/linux/imexp"

  local shots=(
    "info info --dialog $samples/pcx/pal256.pcx"
    "select info --dialog $samples/dcx/three-pages.dcx"
    "open open"
    "save save $samples/bmp/rgb24.bmp"
    "setup setup"
    "error info --dialog $samples/missing.pcx"
  )
  local language shot name command locale
  for language in "${languages[@]}"; do
    locale=$(locale_of "$language")
    for shot in "${shots[@]}"; do
      read -r name command <<<"$shot"
      # shellcheck disable=SC2086 # the command's words
      photograph "$native_seconds" "$out/$name-$language.png" env LANG="$locale" LC_ALL="$locale" "$imexp" $command
    done
    # Each converter's About box and Setup dialog, opened from Converter
    # Setup: its line picked with the arrow keys, then the button's
    # mnemonic (About..., Setup...). The Russian Setup button shares its
    # letter with the Path label, so its mnemonic takes two presses to
    # reach the button, and Space presses it.
    local setup_key=alt+s about_key=alt+a
    [ "$language" = ru ] && setup_key="alt+Cyrillic_pe alt+Cyrillic_pe space" about_key=alt+Cyrillic_o
    local down=""
    for name in "${converters[@]}"; do
      photograph_keys "$native_seconds" "$out/about-$name-$language.png" "$down $about_key" \
        env LANG="$locale" LC_ALL="$locale" "$imexp" setup
      if [[ " ${with_setup[*]} " == *" $name "* ]]; then
        photograph_keys "$native_seconds" "$out/setup-$name-$language.png" "$down $setup_key" \
          env LANG="$locale" LC_ALL="$locale" "$imexp" setup
      fi
      down+="Down "
    done
  done
  kill "$manager" 2>/dev/null || true
}

unset DISPLAY WAYLAND_DISPLAY
start_display
trap cleanup EXIT
for part in "${parts[@]}"; do
  case $part in
    win32) win32_shots ;;
    linux) linux_shots ;;
    *) echo "usage: scripts/screenshots.sh [win32] [linux]" >&2; exit 2 ;;
  esac
done
