#!/bin/sh
# RunScript.sh WORKDIR SCRIPT PROJECT EXPECTED WANT_EXIT EMULATOR... ORVEX
# Runs Orvex.exe on a fresh copy of SCRIPT and PROJECT in WORKDIR (no settings left from an
# earlier run, as the module writes them beside the project), then compares its output with
# EXPECTED (CRs dropped) and its exit code with WANT_EXIT.
work=$1 script=$2 project=$3 expected=$4 want=$5; shift 5
rm -rf "$work" && mkdir -p "$work" || exit 1
cp "$script" "$work/session.script" && cp "$project" "$work/$(basename "$project")" || exit 1
# A session may start from stored window settings: SCRIPT's .settings file beside the project.
settings=${script%.script}.settings
if [ -f "$settings" ]; then cp "$settings" "$work/$(basename "$project").settings" || exit 1; fi
cd "$work" || exit 1
"$@" --script "Z:$work/session.script" >stdout.txt
rc=$?
cat stdout.txt
if [ "$rc" != "$want" ]; then echo "end-to-end: exit code $rc, expected $want" >&2; exit 1; fi
tr -d '\r' <stdout.txt | diff -u --label expected --label actual "$expected" - >&2 ||
  { echo "end-to-end: output differs from $expected" >&2; exit 1; }
exit 0
