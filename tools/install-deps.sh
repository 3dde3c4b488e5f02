#!/usr/bin/env bash
# Installs what building and testing need, when it is missing: cmake and the
# compilers, MinGW-w64 for the Windows build, 32-bit Wine and Xvfb to run it,
# and what make dist uses.
set -euo pipefail

# A mirror in the middle of a sync serves an index of the wrong size for a
# while ("File has unexpected size ... Mirror sync in progress?"), and apt-get
# update then fails although the other indexes came down current. Try again
# with back-off; if it still fails, go on: the install may well find all it
# needs, and if it does not, say which index was at fault.
update_failure=""
apt_update() {
  local try log
  log=$(mktemp)
  for try in 1 2 3; do
    if apt-get update -q >"$log" 2>&1; then cat "$log"; rm -f "$log"; update_failure=""; return 0; fi
    cat "$log"
    update_failure=$(grep -E '^(E|Err):' "$log" | grep -v 'Some index files failed' | head -n 3)
    [ "$try" = 3 ] || { echo "install-deps: apt-get update failed (try $try of 3); again in $((try * 20)) s" >&2; sleep $((try * 20)); }
  done
  rm -f "$log"
  echo "install-deps: apt-get update still fails; installing from the indexes that did download" >&2
  return 0
}
apt_install() {
  apt-get install "$@" && return 0
  # Without one architecture's index of a suite (security's i386, say), the
  # resolver wants the suite's newer amd64 libraries with i386 twins it cannot
  # see. Preferring the release's own suite keeps both architectures level.
  local release
  release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  if [ -n "$update_failure" ] && [ -n "$release" ] && [[ " $* " != *" -t "* ]]; then
    echo "install-deps: trying again with the packages of $release itself preferred" >&2
    apt-get install -t "$release" "$@" && return 0
  fi
  if [ -n "$update_failure" ]; then
    echo "install-deps: the install failed after a failed index update; the mirror may be syncing, try again later. apt said:" >&2
    echo "$update_failure" >&2
  fi
  return 1
}
# The Debian mirror this machine already uses, for the backports line.
debian_mirror() {
  local uri
  uri=$( { cat /etc/apt/sources.list.d/*.sources 2>/dev/null | sed -n 's/^URIs:[[:space:]]*//p'
           cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
             sed -n 's/^deb[[:space:]]\{1,\}\(\[[^]]*\][[:space:]]\{1,\}\)\{0,1\}\([^[:space:]]*\).*/\2/p'; } |
         tr ' ' '\n' | grep -E '^(https?|ftp)://' | grep -E '/debian/?$' | head -n 1)
  echo "${uri:-http://deb.debian.org/debian}"
}

missing=()
need() { command -v "$1" >/dev/null 2>&1 || missing+=("$2"); }
need cmake cmake
need g++ g++
need clang++ clang
need i686-w64-mingw32-g++-posix g++-mingw-w64-i686-posix
need Xvfb xvfb
need import imagemagick
need wine wine
# make dist: the zip is written by Python, the package's dependencies found by
# dpkg-shlibdeps.
need python3 python3
need dpkg-shlibdeps dpkg-dev
[ -d /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux ] && \
  ls /usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || \
  missing+=(libclang-rt-14-dev)
# The 32-bit Wine loader comes from the i386 architecture's package.
if ! dpkg -s wine32:i386 >/dev/null 2>&1; then missing+=(wine32:i386); fi
# vintrell-find writes JSON with nlohmann-json (header-only, both builds).
[ -f /usr/include/nlohmann/json.hpp ] || missing+=(nlohmann-json3-dev)
# Wine's own fonts (MS Sans Serif, Marlett, ...): tools/with-wine.sh puts them
# into every prefix so that the dialog never lays out in a host font.
[ -f /usr/share/wine/fonts/sserife.fon ] && [ -f /usr/share/wine/fonts/marlett.ttf ] ||
  missing+=(fonts-wine)

# Some virtual machines run no 32-bit code at all (the kernel answers "Exec
# format error" for an i386 program). There the 32-bit Wine runs under QEMU's
# user-mode emulator, registered for i386 programs, with the 64-bit wineserver
# (native, it serves 32-bit clients) to keep the emulated part small. It has to
# be QEMU 9.1 or later: under Debian 12's 7.2 every Wine process spent a minute
# reserving its address space (MAP_FIXED_NOREPLACE was only a hint), and new
# threads died at random, the desktop process's among them, taking the test
# programs' windows with it (X error BadWindow). Debian 12 has it in backports.
qemu=/usr/bin/qemu-i386
emulated_i386() {
  [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && return 0
  [ -x /lib/ld-linux.so.2 ] && ! /lib/ld-linux.so.2 --version >/dev/null 2>&1
}
qemu_is_recent() {
  local version
  version=$("$qemu" --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\)\.\([0-9]*\).*/\1 \2/p')
  [ -n "$version" ] && set -- $version && { [ "$1" -gt 9 ] || { [ "$1" -eq 9 ] && [ "$2" -ge 1 ]; }; }
}
install_recent_qemu() {
  local release
  release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  export DEBIAN_FRONTEND=noninteractive
  if [ "$release" = bookworm ]; then
    echo "deb $(debian_mirror) bookworm-backports main" \
      >/etc/apt/sources.list.d/vintrell-bookworm-backports.list
    apt_update
    # The old static package would claim the same binfmt name and files.
    apt_install -y -q --no-install-recommends -t bookworm-backports qemu-user qemu-user-static-
  else
    apt_install -y -q --no-install-recommends qemu-user
  fi
}
if emulated_i386; then
  [ -x /usr/lib/wine/wineserver64 ] || missing+=(wine64)
fi
# Called again after installing: only then are the emulator and the i386 loader there.
register_i386_emulator() {
  emulated_i386 || return 0
  local entry=/proc/sys/fs/binfmt_misc/qemu-i386
  if qemu_is_recent && [ -x /usr/lib/wine/wineserver64 ] && [ -e $entry ] &&
     grep -qx "interpreter $qemu" $entry && grep -qx enabled $entry; then
    return 0
  fi
  [ "$(id -u)" = 0 ] || { echo "install-deps: run as root to register QEMU 9.1 or later for i386 programs" >&2; return 1; }
  qemu_is_recent || install_recent_qemu
  [ -x /usr/lib/wine/wineserver64 ] ||
    DEBIAN_FRONTEND=noninteractive apt_install -y -q --no-install-recommends wine64
  qemu_is_recent || { echo "install-deps: $qemu is missing or older than 9.1" >&2; return 1; }
  [ -e /proc/sys/fs/binfmt_misc/register ] ||
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null || true
  [ -e $entry ] && ! grep -qx "interpreter $qemu" $entry && echo -1 >$entry
  [ -e $entry ] ||
    printf '%s' ":qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:$qemu:F" \
      >/proc/sys/fs/binfmt_misc/register
  echo 1 >$entry
  /lib/ld-linux.so.2 --version >/dev/null 2>&1 ||
    { echo "install-deps: i386 programs still do not run under QEMU" >&2; return 1; }
  echo "install-deps: this machine runs no 32-bit code natively; i386 programs run under $("$qemu" --version | head -1)"
}

if [ ${#missing[@]} -eq 0 ]; then
  register_i386_emulator
  exit 0
fi

echo "install-deps: missing: ${missing[*]}"
if [ "$(id -u)" != 0 ]; then
  echo "install-deps: run as root, or install them yourself:" >&2
  echo "  dpkg --add-architecture i386 && apt-get update && apt-get install ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
dpkg --add-architecture i386
apt_update
apt_install -y -q --no-install-recommends "${missing[@]}" wine wine32:i386 \
  mingw-w64-i686-dev fonts-wine
register_i386_emulator
