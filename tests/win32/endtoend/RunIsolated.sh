#!/bin/sh
# RunIsolated.sh PREFIX PROGRAM.exe ARGS...
# Runs PROGRAM under Wine in PREFIX (created on first use) on an X display of its own, so that it
# can run beside other window tests: neither the clipboard nor the foreground window nor the
# input focus is shared with them.  PROGRAM's top-level windows are left unmanaged: without a
# window manager Wine would wait two seconds for each hidden one.
prefix=$1; program=$2; shift 2
here=$(cd "$(dirname "$0")" && pwd) root=$(cd "$here/../../.." && pwd)
# Nothing of the setup goes to the shared display.
DISPLAY= "$root/scripts/wine-run" --prefix "$prefix" --init "$program" || exit 1
DISPLAY= "$root/scripts/wine-run" --prefix "$prefix" "$prefix/drive_c/windows/system32/reg.exe" add \
  "HKCU\\Software\\Wine\\AppDefaults\\$(basename "$program")\\X11 Driver" /v Managed /t REG_SZ /d N /f \
  >/dev/null || exit 1
exec "$root/scripts/with-xvfb" "$root/scripts/wine-run" --prefix "$prefix" "$program" "$@"
