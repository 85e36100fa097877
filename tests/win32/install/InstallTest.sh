#!/usr/bin/env bash
# InstallTest.sh WORK win32|win64 PACKAGE NEXT_PACKAGE NEXT_VERSION MODULE ORVEX PROJECT
# The package as a user meets it, in a Wine prefix of its own (WORK/wineprefix), run on a
# display of its own (scripts/with-xvfb):
#   1. the module's own registration (regsvr32 on MODULE copied to the install folder) is
#      recorded, then taken back: what the package writes must be exactly that;
#   2. msiexec /i PACKAGE /qn: Polypad.dll is in the user's programs folder, HKCR's
#      InprocServer32 names it, the keys equal the module's own, one entry in the installed
#      programs; Orvex.exe started from another folder creates the module through that
#      registration and opens the Polypad window;
#   3. msiexec /i NEXT_PACKAGE /qn over it: still one installation, of NEXT_VERSION; PACKAGE
#      then refuses to go back over it;
#   4. msiexec /x NEXT_PACKAGE /qn: no file, folder or key of the package is left, and the
#      classes and installed-programs keys are as before the installation.
set -uo pipefail
(($# == 8)) || { echo "usage: InstallTest.sh WORK ARCH PACKAGE NEXT_PACKAGE NEXT_VERSION MODULE ORVEX PROJECT" >&2; exit 2; }
work=$1 arch=$2 package=$3 next_package=$4 next_version=$5 module=$6 orvex=$7 project=$8
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd -P)
prefix=$work/wineprefix
sys32=$prefix/drive_c/windows/system32
clsid='{99C76889-2A5A-4382-AD23-1565282E15F2}'
libid='{A8B5FC33-FAC2-4691-AD5D-9E692CAB49FF}'
iid='{4DC4D279-C6D9-4DA1-BC33-68DFE62C74B5}'
keys=("HKCR\\CLSID\\$clsid" "HKCR\\Polypad.PolypadComModule" "HKCR\\TypeLib\\$libid" "HKCR\\Interface\\$iid")

failed=0
fail() { echo "FAIL $*"; failed=$((failed + 1)); }
pass() { echo "ok   $*"; }
expect() { # expect NAME COMMAND... — passes when COMMAND succeeds
  local name=$1; shift
  if "$@"; then pass "$name"; else fail "$name"; fi
}
wr() { "$root/scripts/wine-run" --prefix "$prefix" --arch "$arch" "$@"; }
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
# The registration keys as reg.exe shows them (missing keys show as nothing), CRs dropped.
dump_keys() { local k; for k in "${keys[@]}"; do wr "$sys32/reg.exe" query "$k" /s 2>/dev/null; done | tr -d '\r' | grep -v '^reg: '; }
no_key_left() {
  local left
  left=$(dump_keys | grep -v '^$')
  [[ -z $left ]] || { echo "left: $left"; return 1; }
}
# Everything the classes and the installed-programs lists hold, for the before/after comparison.
snapshot() {
  local k
  for k in 'HKLM\Software\Classes' 'HKCU\Software\Classes' \
           'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' \
           'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall'; do
    wr "$sys32/reg.exe" query "$k" /s 2>/dev/null
  done | tr -d '\r'
}
installed_entries() { wr "$sys32/uninstaller.exe" --list 2>/dev/null | tr -d '\r' | grep -i polypad; }
msiexec() { wr "$sys32/msiexec.exe" "$@"; }

rm -rf "$work" && mkdir -p "$work" || exit 1
wr --init || exit 1
local_app=$(wr "$sys32/cmd.exe" /c 'echo %LOCALAPPDATA%' | tr -d '\r')
folder_win="$local_app\\Programs\\Polypad"
folder=$(wr "$sys32/winepath.exe" -u "$folder_win" | tr -d '\r')
folder=${folder%/}
dll_win="$folder_win\\Polypad.dll"
[[ -n $local_app && $folder == /* ]] || { echo "cannot find the user's programs folder ($local_app, $folder)"; exit 1; }
echo "the package's folder: $folder_win"

# 1. The module's own registration, made at the path the package installs to.
mkdir -p "$folder" && cp "$module" "$folder/Polypad.dll" || exit 1
expect "regsvr32 registers the module" wr "$sys32/regsvr32.exe" /s "$dll_win"
own=$(dump_keys)
expect "the module's own registration names the class" grep -q 'ThreadingModel' <<<"$own"
expect "regsvr32 /u takes it back" wr "$sys32/regsvr32.exe" /u /s "$dll_win"
rm -rf "$folder"
rmdir "$(dirname "$folder")" 2>/dev/null
expect "no key left before the installation" no_key_left
# The Host is there before the plug-in: the stand-in, in a folder of its own, registers its
# type library, which is none of the package's.
host=$work/host
mkdir -p "$host" && cp "$orvex" "$project" "$host/" || exit 1
expect "the Host stand-in registers its type library" wr "$host/$(basename "$orvex")" --register
before=$(snapshot)

# 2. Install.
expect "msiexec /i installs $(basename "$package")" msiexec /i "$(winpath "$package")" /qn
expect "Polypad.dll is in the user's programs folder" test -f "$folder/Polypad.dll"
server=$(wr "$sys32/reg.exe" query "HKCR\\CLSID\\$clsid\\InprocServer32" /ve 2>/dev/null | tr -d '\r')
echo "$server"
grep -qiF "$dll_win" <<<"$server" && pass "HKCR's InprocServer32 names the installed DLL" ||
  fail "HKCR's InprocServer32 does not name $dll_win"
installed=$(dump_keys)
if [[ $installed == "$own" ]]; then pass "the package writes exactly the module's own registration"
else
  fail "the package's keys differ from the module's own registration"
  diff -u --label module --label package <(echo "$own") <(echo "$installed")
fi
entries=$(installed_entries)
echo "installed programs: $entries"
[[ $(grep -c . <<<"$entries") == 1 ]] && pass "one entry in the installed programs" ||
  fail "installed programs: \"$entries\""

# The Host stand-in from a folder of its own (no Polypad.dll beside it) opens the window.
shot=$work/installed-host.png
cat >"$host/session.script" <<SCRIPT
wait
command "Полипад"
wait
checked "Полипад"
select 101
wait
sleep 300
screenshot main "$(winpath "$shot")"
status
SCRIPT
out=$(cd "$host" && wr "$host/$(basename "$orvex")" --script "$(winpath "$host/session.script")" \
        "$(winpath "$host/$(basename "$project")")" 2>&1 | tr -d '\r')
echo "$out"
expect "the Host stand-in opens the installed module's window" grep -qx 'checked Полипад 1' <<<"$out"
expect "the Host stand-in saved a screenshot" test -s "$shot"
WINEPREFIX=$prefix wineserver -w

# 3. Upgrade.
expect "msiexec /i installs $(basename "$next_package") over it" msiexec /i "$(winpath "$next_package")" /qn
entries=$(installed_entries)
echo "installed programs: $entries"
[[ $(grep -c . <<<"$entries") == 1 ]] && pass "one installation after the upgrade" ||
  fail "installed programs after the upgrade: \"$entries\""
versions=$(snapshot | grep -i 'DisplayVersion' | grep -c "$next_version")
[[ $versions == 1 ]] && pass "the installation is version $next_version" ||
  fail "DisplayVersion $next_version found $versions times"
expect "Polypad.dll is still in the user's programs folder" test -f "$folder/Polypad.dll"
[[ $(dump_keys) == "$own" ]] && pass "the registration is whole after the upgrade" ||
  fail "the registration differs after the upgrade"

# The older package does not go back over the newer one.
! msiexec /i "$(winpath "$package")" /qn && pass "the older package refuses to install over it" ||
  fail "the older package installed over the newer one"
versions=$(snapshot | grep -i 'DisplayVersion' | grep -c "$next_version")
[[ $(installed_entries | grep -c .) == 1 && $versions == 1 ]] && pass "still one installation, of $next_version" ||
  fail "after the older package: \"$(installed_entries)\", $versions of $next_version"

# 4. Uninstall.
expect "msiexec /x removes it" msiexec /x "$(winpath "$next_package")" /qn
expect "no file of the package is left" test ! -e "$folder/Polypad.dll"
expect "the package's folder is gone" test ! -e "$folder"
expect "no key of the package is left" no_key_left
[[ -z $(installed_entries) ]] && pass "no entry in the installed programs" || fail "installed programs: $(installed_entries)"
after=$(snapshot)
if [[ $after == "$before" ]]; then pass "the classes and installed-programs keys are as before"
else
  fail "keys differ from before the installation"
  diff -u --label before --label after <(echo "$before") <(echo "$after") | head -40
fi

WINEPREFIX=$prefix wineserver -k 2>/dev/null
echo "install test: $failed failed"
((failed == 0))
