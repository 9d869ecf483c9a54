#!/usr/bin/env bash
# Tessary used without registration: Tessary.dll and its assembly manifest in
# a folder with a program whose own manifest names the assembly, in the
# "regfree" prefix, where nothing of Tessary is ever registered (made by
# tests/support/setup.d/regfree.sh). First the same program without its
# manifest must find no class at all; then the test client creates and calls
# every class in two apartments, and the C++ example does its job with the
# application manifest docs/installing.md shows.
#
#   registration_free_test.sh <wine-run> <build tree> <test client> <example> <version> <x86|x64>
set -u
run=$1 build=$2 client=$3 example=$4 version=$5 arch=$6
export TESSARY_WINE_MODE=regfree
winpath() { echo "Z:$1" | tr / '\\'; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../support/checks.sh"
"$run" cmd /c exit >/dev/null 2>&1
[ $? -eq 77 ] && skip "this machine does not run $arch programs"
if [ ! -f "$build/wine/regfree/system.reg" ]; then
  echo "FAIL: no prefix $build/wine/regfree: run scripts/setup.sh"
  exit 1
fi
export TESSARY_MESSAGE_LOG=$(winpath "$work/messages.log")

# Runs a program of the folder, keeping what it printed in $work/out.
runs() {  # runs <expected exit code> <program> [args...]
  local want=$1; shift
  "$run" "$(winpath "$app/$1")" "${@:2}" 2>/dev/null | tr -d '\r' > "$work/out"
  local rc=${PIPESTATUS[0]}
  cat "$work/out"
  [ "$rc" -eq "$want" ] || { echo "exit code $rc, expected $want"; return 1; }
}
said() { grep -qxF -- "$1" "$work/out" || { echo "expected the line: $1"; return 1; }; }
# What the manifest describes, each of which the registry must not know.
manifest=$build/bin/Tessary.Automation.manifest
attribute() { sed -n "s/.*<$1 .*$2=\"\([^\"]*\)\".*/\1/p" "$manifest"; }
class_keys() { attribute comClass progid; attribute comClass clsid | sed 's/^/CLSID\\/'; }
library_keys() { attribute typelib tlbid | sed 's/^/TypeLib\\/'; attribute comInterfaceExternalProxyStub iid | sed 's/^/Interface\\/'; }
none_registered() {  # none_registered <key below HKCR>...
  local key
  for key in "$@"; do
    ! "$run" reg query "HKCR\\$key" >/dev/null 2>&1 || { echo "HKCR\\$key is registered"; return 1; }
  done
}
# Wine's automation marshaler registers the type library and its dual
# interfaces when it first loads the library through a manifest: without
# those keys, only the manifest's entries can make the cross-apartment call work.
forget_library() {
  local key
  for key in $(library_keys); do "$run" reg delete "HKCR\\$key" /f >/dev/null 2>&1; done
  return 0
}

case $arch in x86) machine=x86 ;; x64) machine=amd64 ;; esac
# An application manifest that names the library's assembly.
application_manifest() {  # application_manifest <program name>
  cat <<XML
<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <assemblyIdentity type="win32" name="Halvex.$1" version="1.0.0.0" processorArchitecture="$machine"/>
  <dependency>
    <dependentAssembly>
      <assemblyIdentity type="win32" name="Tessary.Automation" version="$version.0" processorArchitecture="$machine"/>
    </dependentAssembly>
  </dependency>
</assembly>
XML
}

# One folder: the DLL and its assembly manifest, each program with its manifest,
# and a copy of the client without one.
app=$work/app
mkdir -p "$app"
cp "$build/bin/Tessary.dll" "$build/bin/Tessary.Automation.manifest" "$app/"
cp "$client" "$app/client.exe"
cp "$client" "$app/unmanifested.exe"
cp "$example" "$app/early_bound.exe"
application_manifest RegistrationFreeClient > "$app/client.exe.manifest"
application_manifest ExampleEditor > "$app/early_bound.exe.manifest"

forget_library
check "nothing of Tessary is registered in this prefix" none_registered $(class_keys) $(library_keys)
check "without its manifest the client knows no class (exit code 2)" runs 2 unmanifested.exe
check "with it the client creates and calls every class in two apartments" runs 0 client.exe
check "... 17 checks, none failed" said "17 passed, 0 failed"
check "the C++ example runs without registration" runs 0 early_bound.exe --reset
check "... and counts its first run" runs 0 early_bound.exe
check "... as run 1" said "Example Editor, run 1"
check "... and removes its settings again" runs 0 early_bound.exe --reset
check "no class was registered on the way" none_registered $(class_keys)
finish
