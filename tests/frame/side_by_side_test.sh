#!/usr/bin/env bash
# Both builds registered side by side in one 64-bit prefix: the 64-bit and the
# 32-bit script host each create every class from their own DLL, and
# unregistering one build leaves the other's registration working.
#   side_by_side_test.sh <wine-run> <x64 Tessary.dll> <x86 Tessary.dll>
set -u
run=$1
export TESSARY_WINE_MODE=sidebyside
source "$TESSARY_ROOT/scripts/common.sh"
if ! x86_runnable; then
  echo "skipped: this machine does not run 32-bit programs"
  exit 77
fi
winpath() { echo "Z:$1" | tr / '\\'; }
dll64=$(winpath "$2")
dll32=$(winpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The library shows no message box here: xPrinter finds no printer in this prefix.
export TESSARY_MESSAGE_LOG=$(winpath "$work/messages.log")
cat > "$work/create.vbs" <<'VBS'
On Error Resume Next
n = 0
For Each c In Array("xRegistry", "xPrinter", "xApplication", "xMixer")
  Set o = Nothing
  Err.Clear
  Set o = CreateObject("Tessary." & c)
  If Err.Number = 0 Then n = n + 1
Next
WScript.Echo "created " & n
VBS
script=$(winpath "$work/create.vbs")
regsvr64() { "$run" regsvr32 /s "$@" >/dev/null 2>&1; }
regsvr32() { "$run" 'C:\windows\syswow64\regsvr32.exe' /s "$@" >/dev/null 2>&1; }
created64() { "$run" cscript //nologo "$script" 2>/dev/null | tr -d '\r' | grep -x "created $1" >/dev/null; }
created32() { "$run" 'C:\windows\syswow64\cscript.exe' //nologo "$script" 2>/dev/null | tr -d '\r' | grep -x "created $1" >/dev/null; }
server_in_view() {  # server_in_view <32|64> <dll folder name>: every class's server in that view
  local clsid
  for clsid in {6F66F400-F97F-4B82-B89F-F710174D4710} {6C1C3478-DF1B-44F8-8B78-65B64160AC94} \
               {6C4BFA14-BF7D-452C-9E3D-BCF510127DE9} {B4593437-8429-470F-844E-A887657B198E}; do
    "$run" reg query "HKCR\\CLSID\\$clsid\\InprocServer32" /ve /reg:"$1" 2>/dev/null | tr -d '\r' |
      grep -qiF "\\$2\\bin\\Tessary.dll" || return 1
  done
}

failed=0 passed=0
check() {  # check <label> <command...>
  local label=$1; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $label"; fi
}

check "the x64 build registers" regsvr64 "$dll64"
check "the x86 build registers" regsvr32 "$dll32"
check "the 64-bit view names the x64 DLL for every class" server_in_view 64 x64
check "the 32-bit view names the x86 DLL for every class" server_in_view 32 x86
check "the 64-bit host creates every class" created64 4
check "the 32-bit host creates every class" created32 4

check "the x86 build unregisters" regsvr32 /u "$dll32"
check "... the 64-bit host still creates every class" created64 4
check "... the 32-bit host creates none" created32 0
check "the x86 build registers again" regsvr32 "$dll32"
check "... the 32-bit host creates every class again" created32 4

check "the x64 build unregisters" regsvr64 /u "$dll64"
check "... the 32-bit host still creates every class" created32 4
check "... the 64-bit host creates none" created64 0
check "the x64 build registers again" regsvr64 "$dll64"
check "... both hosts create every class" created64 4
check "... and the 32-bit one too" created32 4

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
