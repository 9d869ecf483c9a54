#!/usr/bin/env bash
# The prefix where the installer packages are installed and removed: nothing
# is registered there by regsvr32. Everything the tests will start (both
# script hosts, each class of the library, regsvr32, an install and a removal
# of an unrelated package) runs once here first, so that what Wine records on
# a program's first run (its own type libraries, audio devices, the
# installer's bookkeeping keys) is in place before the tests take the
# registry and file system they compare against.
set -euo pipefail
source "$TESSARY_ROOT/scripts/common.sh"

prefix=$TESSARY_BUILD/wine/installer
[ -f "$prefix/.warmed-up" ] && exit 0
make_prefix "$prefix"
log "warming up $prefix"
export WINEPREFIX=$prefix DISPLAY=
winpath() { echo "Z:$1" | tr / '\\'; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TESSARY_MESSAGE_LOG=$(winpath "$work/messages.log")
cat > "$work/warm.vbs" <<'VBS'
On Error Resume Next
For Each c In Array("xRegistry", "xPrinter", "xApplication", "xMixer")
  Set o = CreateObject("Tessary." & c)
  Set o = Nothing
Next
VBS
echo 'var x = 1;' > "$work/warm.js"
hosts=("cscript")
dlls=("$TESSARY_BUILD/bin/Tessary.dll")
if [ "$TESSARY_ARCH" = x64 ] && x86_runnable && [ -f "$TESSARY_BUILD/x86-library/bin/Tessary.dll" ]; then
  hosts+=('C:\windows\syswow64\cscript.exe')
  dlls+=("$TESSARY_BUILD/x86-library/bin/Tessary.dll")
fi
for i in "${!hosts[@]}"; do
  regsvr=regsvr32
  [ "$i" -gt 0 ] && regsvr='C:\windows\syswow64\regsvr32.exe'
  wine "$regsvr" /s "$(winpath "${dlls[$i]}")" >/dev/null 2>&1 || true
  wine "${hosts[$i]}" //nologo "$(winpath "$work/warm.vbs")" >/dev/null 2>&1 || true
  wine "${hosts[$i]}" //nologo "$(winpath "$work/warm.js")" >/dev/null 2>&1 || true
  wine "$regsvr" /s /u "$(winpath "${dlls[$i]}")" >/dev/null 2>&1 || true
done
# One throwaway package per scope, installed and removed: the installer's
# own bookkeeping keys of the machine and of the user exist from then on.
for scope in perMachine perUser; do
  root=HKLM; [ $scope = perUser ] && root=HKCU
  cat > "$work/warm-$scope.wxs" <<WXS
<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="Installer warm-up" Language="1033" Version="1.0.0" Manufacturer="Test"
           UpgradeCode="$(cat /proc/sys/kernel/random/uuid)">
    <Package InstallerVersion="500" Compressed="yes" InstallScope="$scope"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Component Id="Value" Guid="$(cat /proc/sys/kernel/random/uuid)">
        <RegistryValue Root="$root" Key="Software\InstallerWarmUp" Name="x" Type="string" Value="1" KeyPath="yes"/>
      </Component>
    </Directory>
    <Feature Id="All" Level="1"><ComponentRef Id="Value"/></Feature>
  </Product>
</Wix>
WXS
  (cd "$work" && wixl -o "warm-$scope.msi" "warm-$scope.wxs" >/dev/null 2>&1) &&
    wine msiexec /i "$(winpath "$work/warm-$scope.msi")" /qn >/dev/null 2>&1 &&
    wine msiexec /x "$(winpath "$work/warm-$scope.msi")" /qn >/dev/null 2>&1 || true
done
# Every real profile's class key holds something: Wine's installer removes a
# parent key that a removal leaves empty, even one it did not create.
wine reg add 'HKCU\Software\Classes\Local Settings' /f >/dev/null 2>&1 || true
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
touch "$prefix/.warmed-up"
