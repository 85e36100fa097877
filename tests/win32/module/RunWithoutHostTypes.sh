#!/bin/sh
# Runs a scripting client against Polypad.dll in a Wine prefix of its own, in which nothing ever
# registers the Host's type library, as on a computer where the Host never ran.
#   RunWithoutHostTypes.sh WINE-RUN PREFIX ARCH DLL SCRIPT
set -e
run=$1 prefix=$2 arch=$3 dll=$4 script=$5
"$run" --prefix "$prefix" --arch "$arch" --init
system32="$prefix/drive_c/windows/system32"
"$run" --prefix "$prefix" --arch "$arch" "$system32/regsvr32.exe" /s "Z:$dll"
exec "$run" --prefix "$prefix" --arch "$arch" "$system32/cscript.exe" //nologo "Z:$script"
