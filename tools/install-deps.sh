#!/usr/bin/env bash
# Installs what building and testing need, when it is missing: cmake and the
# compilers, MinGW-w64 for the Windows build, 32-bit Wine and Xvfb to run it.
set -euo pipefail

missing=()
need() { command -v "$1" >/dev/null 2>&1 || missing+=("$2"); }
need cmake cmake
need g++ g++
need clang++ clang
need i686-w64-mingw32-g++-posix g++-mingw-w64-i686-posix
need Xvfb xvfb
need import imagemagick
need wine wine
[ -d /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux ] && \
  ls /usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || \
  missing+=(libclang-rt-14-dev)
# The 32-bit Wine loader comes from the i386 architecture's package.
if ! dpkg -s wine32:i386 >/dev/null 2>&1; then missing+=(wine32:i386); fi
# Wine's own fonts (MS Sans Serif, Marlett, ...): tools/with-wine.sh puts them
# into every prefix so that the dialog never lays out in a host font.
[ -f /usr/share/wine/fonts/sserife.fon ] && [ -f /usr/share/wine/fonts/marlett.ttf ] ||
  missing+=(fonts-wine)

# Some virtual machines run no 32-bit code at all (the kernel answers "Exec
# format error" for an i386 program). There the 32-bit Wine runs under QEMU's
# user-mode emulator, registered for i386 programs, with the 64-bit wineserver
# (native, it serves 32-bit clients) to keep the emulated part small, and a
# small preloaded library built with gcc-multilib (see tools/with-wine.sh).
runs_i386() { [ ! -x /lib/ld-linux.so.2 ] || /lib/ld-linux.so.2 --version >/dev/null 2>&1; }
if ! runs_i386; then
  need qemu-i386-static qemu-user-static
  [ -x /usr/lib/wine/wineserver64 ] || missing+=(wine64)
  [ -f /usr/lib32/libdl.so ] || [ -f /usr/lib32/libc.so ] || missing+=(gcc-multilib)
fi
# Called again after installing: only then is the i386 loader there to try.
register_i386_emulator() {
  runs_i386 && return 0
  [ "$(id -u)" = 0 ] || { echo "install-deps: run as root to register QEMU for i386 programs" >&2; return 1; }
  if ! command -v qemu-i386-static >/dev/null || [ ! -x /usr/lib/wine/wineserver64 ] ||
     [ ! -f /usr/lib32/libc.so ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
      qemu-user-static wine64 gcc-multilib
  fi
  [ -e /proc/sys/fs/binfmt_misc/register ] ||
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null || true
  [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] ||
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
      >/proc/sys/fs/binfmt_misc/register
  echo 1 >/proc/sys/fs/binfmt_misc/qemu-i386
  runs_i386 || { echo "install-deps: i386 programs still do not run under QEMU" >&2; return 1; }
  echo "install-deps: this machine runs no 32-bit code natively; i386 programs run under qemu-i386"
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
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}" wine wine32:i386 \
  mingw-w64-i686-dev fonts-wine
register_i386_emulator
