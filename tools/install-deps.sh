#!/usr/bin/env bash
# Installs what building and testing need, when it is missing: cmake and the
# compilers, MinGW-w64 for the Windows build, 32-bit Wine and Xvfb to run it,
# and what make dist uses.
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
# make dist: the zip is written by Python, the package's dependencies found by
# dpkg-shlibdeps.
need python3 python3
need dpkg-shlibdeps dpkg-dev
[ -d /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux ] && \
  ls /usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || \
  missing+=(libclang-rt-14-dev)
# The 32-bit Wine loader comes from the i386 architecture's package.
if ! dpkg -s wine32:i386 >/dev/null 2>&1; then missing+=(wine32:i386); fi

if [ ${#missing[@]} -eq 0 ]; then
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
