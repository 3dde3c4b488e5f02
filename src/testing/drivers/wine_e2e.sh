#!/bin/sh
# The Wine end-to-end test: the driver starts vintrell.exe and works its dialog;
# the picture it saves is turned into a PNG beside it. Runs under tools/with-wine.sh.
#   wine_e2e.sh DRIVER.EXE VINTRELL.EXE OUTPUT_FOLDER
set -eu
driver=$1 program=$2 output=$3
mkdir -p "$output"
rm -f "$output/dialog.bmp" "$output/dialog.png"
wine "$driver" "$(winepath -w "$program")" "$(winepath -w "$output")"
convert "$output/dialog.bmp" "$output/dialog.png"
echo "picture of the dialog: $output/dialog.png"
