#!/bin/sh
# RunAtDpis.sh PREFIX PROGRAM.exe DPI...
# Runs PROGRAM once per DPI in the Wine prefix PREFIX (its own, created on first use), with the
# prefix's LogPixels set to that DPI before the program starts and POLYPAD_TEST_DPI telling the
# program which DPI it should see. All runs share one X display of their own, so that they can
# run beside the other window tests; it is as large as a 200 % laptop screen (2560 x 1600), so
# that the window fits at every DPI. Fails when any run fails.
prefix=$1; program=$2; shift 2
here=$(cd "$(dirname "$0")" && pwd) root=$(cd "$here/../../.." && pwd)
wine_run() { "$root/scripts/wine-run" --prefix "$prefix" "$@"; }
reg() { DISPLAY= wine_run "$prefix/drive_c/windows/system32/reg.exe" add "$@" /f >/dev/null; }
DISPLAY= wine_run --init "$program" || exit 1
# Without a window manager Wine would wait two seconds for each hidden top-level window.
reg "HKCU\\Software\\Wine\\AppDefaults\\$(basename "$program")\\X11 Driver" /v Managed /t REG_SZ /d N || exit 1
export prefix program
XVFB_SCREEN_SIZE=2560x1600 exec "$root/scripts/with-xvfb" sh -c '
  status=0
  for dpi in "$@"; do
    DISPLAY= "$0/scripts/wine-run" --prefix "$prefix" "$prefix/drive_c/windows/system32/reg.exe" add \
      "HKCU\\Control Panel\\Desktop" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null || exit 1
    echo "==== $dpi DPI"
    POLYPAD_TEST_DPI=$dpi "$0/scripts/wine-run" --prefix "$prefix" "$program" || status=1
    # The next DPI starts on a Wine server of its own: nothing from this run is reused.
    WINEPREFIX=$prefix wineserver -w
  done
  exit $status' "$root" "$@"
