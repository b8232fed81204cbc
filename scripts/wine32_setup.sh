#!/usr/bin/env bash
# Installs Wine's 32-bit loader (wine32:i386, /usr/lib/wine/wine) next to wine64 on Debian 12, so that the
# win32 preset's programs can run. Idempotent: does nothing (exit 0, no output) when wine32:i386 is installed.
#
# Why the pool downloads: wine32:i386 needs the i386 twins of libraries that are Multi-Arch: same, and dpkg
# wants every twin at exactly the amd64 version. Several amd64 twins are at a bookworm-security version
# (libpcre2-8-0, libzstd1, libgstreamer-plugins-base1.0-0, libssl3, zlib1g, ...), but the security archive's
# i386 index cannot be downloaded here (the proxy serves a stale Packages.xz: "File has unexpected size"), so
# apt knows no i386 package at those versions and refuses. The .debs themselves download fine from the
# security pool: for each such twin we fetch the i386 .deb of the amd64 candidate's version (pool path of the
# amd64 .deb with _i386), put them in a local flat repository (dpkg-scanpackages) that apt reads as a
# temporary extra source, and let apt install wine32:i386 --no-install-recommends. Where the amd64 twin is
# installed at an older version than that candidate, apt upgrades it (never downgrades, never removes:
# --no-remove). wine64 is not touched. The temporary source is removed again afterwards.
#
# On this machine (Debian 12, December 2026 archive state) that came to 17 pool downloads, all from the
# security archive's pool/updates/main/..., e.g.
#   p/pcre2/libpcre2-8-0_10.42-1+deb12u2_i386.deb         libz/libzstd/libzstd1_1.5.4+dfsg2-5+deb12u1_i386.deb
#   g/gst-plugins-base1.0/libgstreamer-plugins-base1.0-0_1.22.0-3+deb12u7_i386.deb   o/openssl/libssl3_3.0.22-1~deb12u2_i386.deb
#   z/zlib/zlib1g_1.2.13.dfsg-1+deb12u1_i386.deb  and libaom3 libbrotli1 libde265-0 libexpat1 libgd3 libheif1
#   liblzma5 libpng16-16 libsasl2-2 libsasl2-modules-db libssh2-1 libtiff6
# then `apt-get install --no-install-recommends wine32:i386 lib{xcomposite1,...}:i386` installed 114 i386
# packages and upgraded 56 amd64 ones to their newer bookworm / bookworm-security versions (libssl3, zlib1g,
# libsystemd0 + systemd, libgnutls30, libkrb5-3, curl, ...); nothing removed or downgraded.
#
# Besides wine32 it installs the i386 twins of the X extension libraries that are installed for amd64 (Xrandr,
# Xinerama, Xrender, Xcursor, Xi, Xfixes, Xcomposite, Xxf86vm; libwine recommends them), so that the 32-bit
# X11 driver sees the display as the 64-bit one does. Needs root and the archives named in apt's own sources.
set -euo pipefail

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q ' ok installed$'; }
if installed wine32:i386 && [ -x /usr/lib/wine/wine ]; then exit 0; fi

[ "$(id -u)" -eq 0 ] || { echo "wine32-setup: must run as root" >&2; exit 1; }
export DEBIAN_FRONTEND=noninteractive
# The archives' base URIs, as apt is configured here (deb822 .sources or one-line .list files).
uri_of() {  # uri_of SUITE -> the URI of the first source that carries SUITE
  { cat /etc/apt/sources.list.d/*.sources 2>/dev/null; echo; } | awk -v s="$1" '
    /^URIs:/ {u=$2} /^Suites:/ {for (i=2; i<=NF; i++) if ($i==s) found=u}
    /^$/ {if (found && !done) {print found; done=1}; u=""}'
  # A machine may have neither one-line file: no match is no error.
  { grep -shE "^deb .* $1( |$)" /etc/apt/sources.list /etc/apt/sources.list.d/*.list || true; } | awk '{print $2}' | head -1
}
SECURITY=${WINE32_SECURITY_MIRROR:-$(uri_of bookworm-security | head -1)}
MAIN=${WINE32_MAIN_MIRROR:-$(uri_of bookworm | head -1)}
[ -n "$SECURITY" ] && [ -n "$MAIN" ] || { echo "wine32-setup: cannot find the archives in apt's sources" >&2; exit 1; }
REPO=${WINE32_LOCAL_REPO:-/var/local/wine32-i386}
LIST=/etc/apt/sources.list.d/wine32-i386-local.list
LISTS=/var/lib/apt/lists
XLIBS="libxcomposite1 libxcursor1 libxfixes3 libxi6 libxinerama1 libxrandr2 libxrender1 libxxf86vm1"

echo "wine32-setup: installing wine32:i386" >&2
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
# The main archive's i386 index is needed; a full update also tries (and fails) the security i386 index,
# which is why its exit status is ignored and the result checked instead.
if ! ls "$LISTS"/*_debian_dists_bookworm_main_binary-i386_Packages* >/dev/null 2>&1; then
  apt-get update >&2 || true
  ls "$LISTS"/*_debian_dists_bookworm_main_binary-i386_Packages* >/dev/null 2>&1 ||
    { echo "wine32-setup: no i386 index of the main archive after apt-get update" >&2; exit 1; }
fi
command -v dpkg-scanpackages >/dev/null || apt-get install -y --no-install-recommends dpkg-dev >&2

# Which i386 twins are needed at a version the i386 indexes do not offer: the Depends/Pre-Depends closure of
# the packages to install over the i386 indexes (main, updates); for each Multi-Arch: same member whose amd64
# candidate (installed, main, updates, security) differs from the i386 candidate, print the pool path of the
# amd64 candidate's .deb with its archive ("security" or "main").
need=$(python3 - "$LISTS" wine32 $XLIBS <<'EOF'
import functools, glob, re, subprocess, sys
lists, roots = sys.argv[1], sys.argv[2:]
def read(pattern):
    out = []
    for f in glob.glob(lists + '/' + pattern):
        text = subprocess.run(['/usr/lib/apt/apt-helper', 'cat-file', f], capture_output=True, text=True, check=True).stdout
        out += [(f, text)]
    return out
def parse(text):
    recs = []
    for para in text.split('\n\n'):
        d, key = {}, None
        for line in para.split('\n'):
            if not line: continue
            if line[0] in ' \t' and key: d[key] += ' ' + line.strip(); continue
            key, _, v = line.partition(':'); d[key] = v.strip()
        if 'Package' in d: recs.append(d)
    return recs
def order(c):
    return -1 if c == '~' else 0 if c.isdigit() else ord(c) if c.isalpha() else ord(c) + 256
def cmp_part(a, b):
    i = j = 0
    while i < len(a) or j < len(b):
        while (i < len(a) and not a[i].isdigit()) or (j < len(b) and not b[j].isdigit()):
            x = order(a[i]) if i < len(a) and not a[i].isdigit() else 0
            y = order(b[j]) if j < len(b) and not b[j].isdigit() else 0
            if x != y: return x - y
            i += 1; j += 1
        na = re.match(r'\d*', a[i:]).group(); nb = re.match(r'\d*', b[j:]).group()
        i += len(na); j += len(nb)
        if int(na or 0) != int(nb or 0): return int(na or 0) - int(nb or 0)
    return 0
def split(v):
    e, r = v.split(':', 1) if ':' in v else ('0', v)
    u, rev = r.rsplit('-', 1) if '-' in r else (r, '')
    return int(e), u, rev
def vcmp(a, b):
    (ea, ua, ra), (eb, ub, rb) = split(a), split(b)
    return (ea - eb) or cmp_part(ua, ub) or cmp_part(ra, rb)
best = lambda recs: max(recs, key=functools.cmp_to_key(lambda x, y: vcmp(x['Version'], y['Version'])))
i386, amd64, inst, prov = {}, {}, {}, {}
for f, t in read('*_debian_dists_bookworm*_main_binary-i386_Packages*'):
    for d in parse(t): i386.setdefault(d['Package'], []).append(d)
for f, t in read('*_dists_bookworm*_main_binary-amd64_Packages*'):
    for d in parse(t):
        d['_archive'] = 'security' if 'debian-security' in f else 'main'
        amd64.setdefault(d['Package'], []).append(d)
for d in parse(open('/var/lib/dpkg/status').read()):
    if d.get('Status', '').endswith(' installed'): inst[(d['Package'], d['Architecture'])] = d
for n, recs in i386.items():
    for p in re.split(r'\s*,\s*', best(recs).get('Provides', '')):
        if p: prov.setdefault(p.split()[0], n)
seen, todo = set(), list(roots)
while todo:
    n = todo.pop()
    if n in seen: continue
    seen.add(n)
    b = best(i386[n])
    for grp in re.split(r'\s*,\s*', ','.join(x for x in (b.get('Pre-Depends'), b.get('Depends')) if x)):
        for alt in (a.strip().split()[0] for a in grp.split('|') if a.strip()):
            name, _, qual = alt.partition(':')
            have = inst.get((name, 'amd64')) or inst.get((name, 'all'))
            if have and (have.get('Multi-Arch') == 'foreign' or (qual == 'any' and have.get('Multi-Arch') == 'allowed')):
                break
            if name in i386: todo.append(name); break
            if name in prov: todo.append(prov[name]); break
for n in sorted(seen):
    b = best(i386[n])
    if b.get('Multi-Arch') != 'same': continue
    cands = list(amd64.get(n, []))
    if (n, 'amd64') in inst: cands.append(dict(inst[(n, 'amd64')], _archive='installed'))
    if not cands: continue
    a = best(cands)
    if vcmp(a['Version'], b['Version']) == 0: continue
    if a['_archive'] == 'installed':
        sys.exit('wine32-setup: %s:amd64 %s is in no archive; its i386 twin cannot be found' % (n, a['Version']))
    print(a['_archive'], re.sub(r'_amd64\.deb$', '_i386.deb', a['Filename']))
EOF
)

rm -rf "$REPO"
mkdir -p "$REPO"
while read -r archive path; do
  [ -n "$path" ] || continue
  base=$SECURITY
  [ "$archive" = main ] && base=$MAIN
  echo "wine32-setup: fetching $base/$path" >&2
  curl -sS -f -o "$REPO/$(basename "$path")" "$base/$path"
  dpkg-deb -f "$REPO/$(basename "$path")" Architecture | grep -qx i386
done <<<"$need"
(cd "$REPO" && dpkg-scanpackages --multiversion . /dev/null >Packages 2>/dev/null)

cleanup() {
  rm -f "$LIST" "$LISTS"/*"$(tr / _ <<<"${REPO#/}")"_* 2>/dev/null || true
}
trap cleanup EXIT
echo "deb [trusted=yes arch=i386] file:$REPO ./" >"$LIST"
# Read only the local source; the other lists stay as they are.
apt-get update -o Dir::Etc::sourcelist="$LIST" -o Dir::Etc::sourceparts=- -o APT::Get::List-Cleanup=0 \
  -o DPkg::Lock::Timeout=300 >&2
pkgs=(wine32:i386)
for x in $XLIBS; do installed "$x:amd64" && pkgs+=("$x:i386"); done
apt-get install -y --no-install-recommends --no-remove -o DPkg::Lock::Timeout=300 "${pkgs[@]}" >&2
cleanup
trap - EXIT
rm -rf "$REPO"

installed wine32:i386 && [ -x /usr/lib/wine/wine ] || { echo "wine32-setup: wine32 not installed" >&2; exit 1; }
echo "wine32-setup: $(/usr/lib/wine/wine --version) (32-bit), $(/usr/lib/wine/wine64 --version) (64-bit)" >&2
