#!/bin/sh
# What `make gui` runs under tools/with-wine.sh: a copy of the sample mail folder
# with vintrell.exe dropped into it, started from there as a user would, so the
# Directory box starts at the sample folder.
#   run_gui.sh VINTRELL.EXE SAMPLE_FOLDER WORK_FOLDER
set -eu
program=$1 sample=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
cp -R "$sample" "$work/mail"
cp "$program" "$work/mail/vintrell.exe"
echo "gui: $work/mail/vintrell.exe on display $DISPLAY; close the window to end"
echo "gui: a picture of the screen: DISPLAY=$DISPLAY import -window root screen.png"
cd "$work/mail"
wine vintrell.exe
