#!/usr/bin/env bash
# Lets a kernel without 32-bit x86 support (no IA32 emulation, as in some
# virtual machines) run the 32-bit Linux programs of Wine's 32-bit loader:
# registers QEMU's user-mode i386 emulator with binfmt_misc, so that every
# 32-bit ELF program starts under it. Does nothing where 32-bit programs
# already run. Needs root. Exit 0 when 32-bit programs run afterwards.
#
# The emulator is Debian's qemu-user from bookworm-backports, pinned below
# and checked against its SHA-256, unpacked into a cache outside any build
# tree (nothing is installed with dpkg). Bookworm's own qemu-user 7.2 runs
# Wine too, but does not honour the address hints of Wine's reservation of
# the 32-bit address space: Wine then probes it 64 KiB at a time, some 65000
# mappings, and every 32-bit process takes about a minute to start. QEMU 10
# starts one in a quarter of a second.
set -euo pipefail

probe=/lib/ld-linux.so.2
runs_32bit() { "$probe" --version >/dev/null 2>&1; }
[ -x "$probe" ] || { echo "i386_emulation: $probe is missing (install wine32:i386 first)" >&2; exit 1; }
runs_32bit && exit 0
[ "$(id -u)" -eq 0 ] || { echo "i386_emulation: must run as root" >&2; exit 1; }

# qemu-user 1:10.0.2+ds-2+deb13u1~bpo12+1
FILE=qemu-user_10.0.2+ds-2+deb13u1~bpo12+1_amd64.deb
SHA256=10a2dec99f2b2d0b1097ff0375aea35b89322d6631fc96700511b02e05bf6fef
# Named by the checksum: binfmt_misc takes no ":" in the emulator's path.
CACHE=${IMEXP_CACHE_DIR:-/var/cache/imexp}/qemu-user-${SHA256:0:16}
EMULATOR=$CACHE/usr/bin/qemu-i386

if [ ! -x "$EMULATOR" ]; then
  # The main archive's URI, as apt is configured here (deb822 or one-line).
  mirror=$({ cat /etc/apt/sources.list.d/*.sources 2>/dev/null || true; } | awk '/^URIs:/ {print $2; exit}')
  [ -n "$mirror" ] || mirror=$({ grep -shE '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list || true; } |
    awk '{print $2; exit}')
  [ -n "$mirror" ] || { echo "i386_emulation: cannot find the archive in apt's sources" >&2; exit 1; }
  download=$(mktemp -d)
  trap 'rm -rf "$download"' EXIT
  echo "i386_emulation: fetching $mirror/pool/main/q/qemu/$FILE" >&2
  curl -sS -f -o "$download/$FILE" "$mirror/pool/main/q/qemu/$FILE"
  echo "$SHA256  $download/$FILE" | sha256sum -c --quiet - ||
    { echo "i386_emulation: $FILE does not have the expected SHA-256" >&2; exit 1; }
  mkdir -p "$download/root"
  dpkg-deb -x "$download/$FILE" "$download/root"
  mkdir -p "$CACHE/usr/bin"
  install -m 755 "$download/root/usr/bin/qemu-i386" "$EMULATOR"
fi

binfmt=/proc/sys/fs/binfmt_misc
[ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
# An entry of an older emulator (bookworm's qemu-user-static) is replaced.
[ -e "$binfmt/qemu-i386" ] && echo -1 >"$binfmt/qemu-i386"
# 32-bit little-endian ELF executables and shared objects for i386; F opens
# the emulator now, so that it serves every mount namespace.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
echo ":qemu-i386:M::$magic:$mask:$EMULATOR:F" >"$binfmt/register"
runs_32bit || { echo "i386_emulation: 32-bit programs still do not run" >&2; exit 1; }
echo "i386_emulation: 32-bit programs run under $EMULATOR" >&2
