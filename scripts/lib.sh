# Shared by the scripts: package installation and an X display for wine.

# The field libraries the PNG, JPEG, TIFF, GIF and WebP converters are built
# over (configuring skips a converter whose library is missing).
FIELD_LIBRARIES=(pkg-config libspng-dev libjpeg62-turbo-dev libtiff-dev libgif-dev libwebp-dev)
# The programs the conformance tests make files with and compare against.
REFERENCE_TOOLS=(netpbm libjpeg-turbo-progs libtiff-tools webp giflib-tools imagemagick)

# flat_samples DIR: copies of the samples in DIR, each named after its
# format's folder ("png-rgb24.png"), so that a batch conversion of them all
# makes no two outputs of one name.
flat_samples() {
  local sample
  mkdir -p "$1"
  for sample in samples/*/*; do
    cp "$sample" "$1/$(basename "$(dirname "$sample")")-$(basename "$sample")"
  done
}

step() { printf '\n== %s == (at %d s)\n' "$*" "$SECONDS"; }

# Installs the Debian packages that are not installed yet.
install_packages() {
  local missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    step "Installing ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

# Makes Wine's 32-bit loader ready for the win32 suites: installs it, and on
# a kernel that runs no 32-bit programs sets up their emulation. Prints
# nothing when it is ready; otherwise one line saying why it is not, which
# the test command shows instead of the suites' results.
wine32_unavailable() {
  if ! ./scripts/wine32_setup.sh >&2; then
    echo "Wine's 32-bit loader could not be installed (scripts/wine32_setup.sh failed)"
  elif ! ./scripts/i386_emulation.sh >&2; then
    echo "this kernel runs no 32-bit programs and their emulation could not be set up (scripts/i386_emulation.sh failed)"
  elif ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "/usr/lib/wine/wine does not start"
  fi
}

# Starts a private Xvfb display for wine's windows (message boxes, dialogs)
# unless one is already set, and stops it when the script ends.
start_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return; fi
  local n
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    sleep 1
    if kill -0 "$XVFB_PID" 2>/dev/null; then
      export DISPLAY=":$n"
      trap 'kill $XVFB_PID 2>/dev/null || true' EXIT
      return
    fi
  done
  echo "cannot start Xvfb" >&2
  return 1
}
