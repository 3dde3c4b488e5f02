#!/usr/bin/env bash
# Runs a command with a ready 32-bit Wine: the project's prefix (made on first use,
# its X11 driver unmanaged so closing a window does not wait for a window
# manager, Wine's own fonts in it), a private Xvfb display, and a persistent
# wineserver for the run.
#   tools/with-wine.sh PREFIX_DIR COMMAND...
set -euo pipefail
prefix=$(realpath -m "$1"); shift

export WINEARCH=win32 WINEDEBUG=-all WINEPREFIX="$prefix" WINEDLLOVERRIDES="mscoree,mshtml="

# A fresh prefix has an empty windows\Fonts, and Wine then takes a host font
# through fontconfig for "MS Sans Serif" and Marlett (DejaVu where installed):
# the dialog lays out in other units and the caption buttons show letters. So
# Wine's own fonts go into the prefix, and Wine sees no host fonts at all: the
# same faces and metrics whatever font packages the machine has.
wine_fonts=/usr/share/wine/fonts
for font in sserife.fon marlett.ttf tahoma.ttf; do
  [ -f "$wine_fonts/$font" ] || {
    echo "with-wine: Wine's own fonts are missing ($wine_fonts/$font): install fonts-wine" >&2
    exit 1
  }
done
export FONTCONFIG_FILE="$prefix/fontconfig/fonts.conf"
hide_host_fonts() {
  mkdir -p "$prefix/fontconfig"
  cat >"$FONTCONFIG_FILE" <<EOF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig><cachedir>$prefix/fontconfig/cache</cachedir></fontconfig>
EOF
}
install_wine_fonts() {
  local dir="$prefix/drive_c/windows/Fonts"
  [ -d "$dir" ] || return 0
  [ -f "$dir/sserife.fon" ] && [ -f "$dir/marlett.ttf" ] && return 0
  cp "$wine_fonts"/* "$dir/"
}

xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" >/dev/null 2>&1 || true
}
trap cleanup EXIT

if [ -z "${VINTRELL_DISPLAY:-}" ]; then
  # A display number of our own, so parallel runs do not meet.
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      sleep 0.1
    done
    if kill -0 "$xvfb_pid" 2>/dev/null; then export DISPLAY=":$n"; break; fi
    xvfb_pid=""
  done
  [ -n "${DISPLAY:-}" ] || { echo "with-wine: could not start Xvfb" >&2; exit 1; }
else
  export DISPLAY="$VINTRELL_DISPLAY"
fi

if [ ! -f "$prefix/.vintrell-ready" ]; then
  echo "with-wine: making the Wine prefix $prefix"
  rm -rf "$prefix"
  mkdir -p "$prefix"
  hide_host_fonts
  wineboot -i >/dev/null 2>&1 || true
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d Y /f >/dev/null 2>&1
  wineserver -w
  touch "$prefix/.vintrell-ready"
fi
hide_host_fonts
install_wine_fonts

wineserver -p
# Wine's helper processes (services, the desktop) start with the first program
# that needs them and inherit its output; start them here, on /dev/null, so no
# test's output pipe is held open after the test ends.
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
wine explorer.exe /desktop </dev/null >/dev/null 2>&1 &
sleep 1
"$@"
