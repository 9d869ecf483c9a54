#!/usr/bin/env bash
# The installer packages, installed and removed silently with the platform's
# own msiexec in the "installer" prefix, where nothing else registers the
# library. Each case starts from a state without Tessary and must leave the
# registry (both views) and the file system exactly as it found them.
#
#   installer_test.sh <case> <wine-run> <build tree> <architecture>
#
#   machine      the per-machine package: files, registration (equal to what
#                DllRegisterServer writes), every class created and used by
#                the installed DLL, Dovetta from its Start-menu shortcut
#   machine32    the x64 package's x86 DLL through the 32-bit view
#   user         the per-user package: files and registration of the user only
#   user_classes classes and Dovetta through the per-user registration
#   upgrade      a lower version replaced by this one, one registration left;
#                the lower one refused over it
#   twice        installing the same package twice
#   not_installed removing a package that is not installed
#   beside       a per-user install beside a per-machine one
#   in_use       installing over and removing the package while a script
#                holds the DLL
#   pasted_lines the msiexec lines of README.md and docs/installing.md, run
#                as written through the platform's cmd
#
# msiexec's exit code reaches Linux through Wine truncated to 8 bits:
# 1603 (fatal error, e.g. a refused downgrade) arrives as 67.
set -u
case=$1 run=$2 build=$3 arch=$4
export TESSARY_WINE_MODE=installer
source "$TESSARY_ROOT/scripts/common.sh"
use_arch "$arch"
prefix=$build/wine/installer
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
packages=$build/packages

winpath() { echo "Z:$1" | tr / '\\'; }
machine_msi=$(winpath "$packages/Tessary-$version-$arch.msi")
user_msi=$(winpath "$packages/Tessary-$version-$arch-peruser.msi")
older_version=$(sed -n 's/^TESSARY_OLDER_VERSION:INTERNAL=//p' "$build/CMakeCache.txt")
older_msi=$(winpath "$packages/older/Tessary-$older_version-$arch.msi")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The library's message boxes go to a file: the prefix has a display.
export TESSARY_MESSAGE_LOG=$(winpath "$work/messages.log")

source "$TESSARY_ROOT/tests/support/checks.sh"

msiexec() { "$run" msiexec "$@" >/dev/null 2>&1; }
exits_with() { local want=$1; shift; "$@"; local rc=$?; [ $rc -eq $((want % 256)) ] || { echo "exit code $rc, expected $want"; return 1; }; }

# ---------------------------------------------------------------- the machine

# The registry views: 64-bit Windows has a 32-bit one beside the native one.
views="64 32"
[ "$arch" = x86 ] && views="32"
x86_runs() { x86_runnable; }

# The registry and file system of the prefix as text. Wine writes the
# registry files when the prefix's wineserver ends. Left out: key
# timestamps, the driver date Wine renews at every start, temporary folders,
# and the installer's record of where it last found a product's package
# (SourceList), which every install of it extends, the console settings
# Wine writes the first time a console program starts without a terminal,
# and the state its audio drivers keep in Software\Wine\Drivers the first
# time one loads (the key itself too, which Wine writes out bare when no
# driver's key is below it). The 32-bit view's containers of classes,
# interfaces and type libraries count only by what they hold: where nothing
# 32-bit has run they are empty, and removing the x64 package's 32-bit
# entries removes them too.
snapshot() {  # snapshot <name>
  WINEPREFIX=$prefix wineserver -k 2>/dev/null
  WINEPREFIX=$prefix wineserver -w 2>/dev/null
  local f
  for f in system user; do
    sed -E 's/^(\[.*\]) [0-9]+$/\1/; /^#time=/d; /^"DriverDateData"=/d' "$prefix/$f.reg" |
      awk '/^\[/ { skip = ($0 ~ /\\\\SourceList(\\\\|\])/ || $0 ~ /^\[Console(\\\\|\])/ || $0 ~ /^\[Software\\\\Wine\\\\Drivers(\\\\|\])/) } !skip' |
      awk '/^\[/ { held = ""; if ($0 ~ /^\[Software\\\\Classes\\\\Wow6432Node\\\\(CLSID|Interface|TypeLib)\]$/) { held = $0; next } }
           held != "" && /^["@]/ { print held; held = "" }
           held == "" { print }' > "$work/$1.$f"
  done
  (cd "$prefix/drive_c" && find . \( -path './windows/temp' -o -path './users/*/Temp' -o -path './users/*/AppData/Local/Temp' \) -prune \
     -o -printf '%y %p %s\n' | sort) > "$work/$1.files"
}
same_state() {  # same_state <snapshot a> <snapshot b>
  local ok=0 f
  for f in system user files; do
    diff -u "$work/$1.$f" "$work/$2.$f" > "$work/diff.$f" || {
      ok=1; echo "-- $f differs (all of it in $build/installer-test/):"; head -60 "$work/diff.$f"
      mkdir -p "$build/installer-test"; cp "$work/diff.$f" "$build/installer-test/$case.$1-$2.$f.diff"; }
  done
  return $ok
}

clsids="xRegistry:{6F66F400-F97F-4B82-B89F-F710174D4710}
xPrinter:{6C1C3478-DF1B-44F8-8B78-65B64160AC94}
xApplication:{6C4BFA14-BF7D-452C-9E3D-BCF510127DE9}
xMixer:{B4593437-8429-470F-844E-A887657B198E}"
iids="{D2BF0D3D-99DD-4BFE-9267-8045CD72F59C} {8F11B00E-2A97-4206-9EBD-D97C29193384} {D18B96F9-774D-4E0D-B4B3-0CD2AFBF071E} {73881A32-4FDF-4941-857B-3BCD96745320}"
libid='{22973548-B4DA-4952-B973-8037043A7355}'

# Registry values are read by reg.exe through the view asked for, all of one
# check in one Wine process (a batch file): starting Wine once per value made
# a check take half a minute.
#   expect <key> <name or empty> <view> <data>   adds a value to the next check
#   values_as_expected                            reads them; prints each that differs
expect() { printf '%s|%s|%s|%s\n' "$@" >> "$work/expected"; }
# Runs batch-file lines (stdin) in one Wine process and prints what they
# printed; fails when the batch did not run to its end.
run_batch() {
  { printf '@echo off\r\n'; sed 's/$/\r/'; printf 'echo @@end\r\n'; } > "$work/batch.bat"
  local out; out=$("$run" cmd /c "$(winpath "$work/batch.bat")" 2>/dev/null | tr -d '\r')
  echo "$out" | grep -qx @@end || { echo "reg.exe did not finish"; return 1; }
  echo "$out" | grep -v -x @@end
  return 0
}
read_values() {  # prints "<n>|<data>" for every value of $work/expected found
  local n=0 key name view data got
  got=$(while IFS='|' read -r key name view data; do
          echo "echo @@$n"
          if [ -n "$name" ]; then echo "reg query \"$key\" /v \"$name\" /reg:$view"
          else echo "reg query \"$key\" /ve /reg:$view"; fi
          n=$((n + 1))
        done < "$work/expected" | run_batch) || { echo "$got"; return 1; }
  echo "$got" | awk '/^@@/ { n = substr($0, 3); done = 0; next }
                     !done && / REG_SZ / { sub(/^ *[^ ].*REG_SZ */, ""); print n "|" $0; done = 1 }'
}
differing_values() {  # prints each expected value that was read otherwise; fails when reg.exe did not finish
  local got; got=$(read_values) || { echo "$got"; return 1; }
  awk -F'|' 'NR == FNR { if (NF == 2) got[$1] = $2; next }
       { n = FNR - 1; if (!(n in got) || got[n] != $4)
           printf "%s [%s] in the %s-bit view: \x27%s\x27, expected \x27%s\x27\n", $1, $2, $3, got[n], $4 }' \
    <(echo "$got") "$work/expected"
}
values_as_expected() {
  local differ; differ=$(differing_values)
  # One more reading before a difference counts: a Wine process that fails
  # to start under load is not what is being tested.
  if [ -n "$differ" ]; then
    sleep 1
    local again; again=$(differing_values)
    [ -z "$again" ] && echo "note: a second reading agreed where the first said: $differ" >> "$work/notes"
    differ=$again
  fi
  rm -f "$work/expected"
  [ -z "$differ" ] || { echo "$differ"; return 1; }
}
no_tessary_registered() {  # no_tessary_registered [machine|user]: neither (default), or that one
  local entry view root roots='HKLM\Software\Classes HKCU\Software\Classes'
  [ "${1:-}" = machine ] && roots='HKLM\Software\Classes'
  [ "${1:-}" = user ] && roots='HKCU\Software\Classes'
  # (Wine's cmd runs what follows "&&" whatever the program before it answered.)
  local out
  out=$(for root in $roots; do
          for entry in $clsids; do
            for view in $views; do
              echo "reg query \"$root\\CLSID\\${entry#*:}\" /reg:$view >nul 2>&1"
              echo "if not errorlevel 1 echo ${entry%%:*} registered in $root"
            done
          done
          echo "reg query \"$root\\TypeLib\\$libid\" >nul 2>&1"
          echo "if not errorlevel 1 echo type library registered in $root"
        done | run_batch) || { echo "$out"; return 1; }
  [ -z "$out" ] || { echo "$out"; return 1; }
}
# Removes whatever package of Tessary a failed earlier run may have left.
remove_everything() {
  local m
  for m in "$machine_msi" "$user_msi" "$older_msi"; do msiexec /x "$m" /qn; done
}

# Every class of the registered library, created by program id and used,
# by the 64-bit (or the only) script host, or the 32-bit one with "32".
cat > "$work/use.vbs" <<'VBS'
' Each check assigns first and tests afterwards: VBScript goes on inside an
' If whose condition failed under On Error Resume Next.
On Error Resume Next
n = 0
Set reg = CreateObject("Tessary.xRegistry")
created = (Err.Number = 0)
If created Then
  reg.ClassKey = &H80000001
  reg.SectionKey = "Software\Halvex"
  hadArea = reg.KeyExists
  reg.RegSet "InstallerTest", "Colour", "teal"
  back = reg.RegGet("InstallerTest", "Colour", "")
  reg.ClassKey = &H80000001
  reg.SectionKey = "Software\Halvex\InstallerTest"
  reg.DeleteKey
  If Not hadArea Then reg.SectionKey = "Software\Halvex" : reg.DeleteKey
  If back = "teal" Then n = n + 1 Else WScript.Echo "xRegistry: no round trip"
Else
  WScript.Echo "xRegistry: " & Err.Description
End If
Err.Clear
Set app = CreateObject("Tessary.xApplication")
windows = ""
windows = app.FolderWindows
If Err.Number = 0 And Len(windows) > 3 Then n = n + 1 Else WScript.Echo "xApplication: " & Err.Description
Err.Clear
Set prn = CreateObject("Tessary.xPrinter")
connected = prn.Connected
If Err.Number = 0 Then n = n + 1 Else WScript.Echo "xPrinter: " & Err.Description
Err.Clear
Set mix = CreateObject("Tessary.xMixer")
present = mix.bMix
If Err.Number = 0 Then n = n + 1 Else WScript.Echo "xMixer: " & Err.Description
WScript.Echo "used " & n
VBS
host() { [ "${1:-}" = 32 ] && [ "$arch" = x64 ] && echo 'C:\windows\syswow64\cscript.exe' || echo cscript; }
uses_every_class() {  # uses_every_class [32]
  local out; out=$("$run" "$(host "${1:-}")" //nologo "$(winpath "$work/use.vbs")" 2>/dev/null | tr -d '\r')
  echo "$out"
  echo "$out" | grep -qx 'used 4'
}
creates_none() {  # creates_none [32]
  local out; out=$("$run" "$(host "${1:-}")" //nologo "$(winpath "$work/use.vbs")" 2>/dev/null | tr -d '\r')
  echo "$out" | grep -qx 'used 0' || { echo "$out"; return 1; }
}

# The files a package puts in <folder> (Unix path of the install folder).
files_installed() {  # files_installed <folder>
  local dir=$1 ok=0
  cmp "$dir/Tessary.dll" "$build/bin/Tessary.dll" || ok=1
  cmp "$dir/Tessary.tlb" "$build/bin/Tessary.tlb" || ok=1
  cmp "$dir/Dovetta.exe" "$build/bin/Dovetta.exe" || ok=1
  if [ "$arch" = x64 ]; then
    cmp "$dir/x86/Tessary.dll" "$build/x86-library/bin/Tessary.dll" || ok=1
    cmp "$dir/x86/Tessary.tlb" "$build/x86-library/bin/Tessary.tlb" || ok=1
  fi
  return $ok
}
unix_path() { local p=${1#C:\\}; echo "$prefix/drive_c/$(echo "$p" | tr '\\' /)"; }

# The registration of the DLLs in <folder> (a Windows path ending in "\")
# below <root> (HKCR for the machine's classes, HKCU\Software\Classes).
registered_in() {  # registered_in <root> <folder>
  local root=$1 dir=$2 entry name clsid view dll iid classes query
  for view in $views; do
    dll="${dir}Tessary.dll"; [ "$view" = 32 ] && [ "$arch" = x64 ] && dll="${dir}x86\\Tessary.dll"
    # Classes and interfaces are kept per view: the machine's are read
    # through the 32-bit view; the user's 32-bit ones where 64-bit Windows
    # keeps them (Wine does not redirect the user's classes itself), through
    # the native view like the rest of the user's classes.
    classes=$root query=$view
    if [ "$root" != HKCR ]; then
      query=${views%% *}
      [ "$view" = 32 ] && [ "$arch" = x64 ] && classes="$root\\Wow6432Node"
    fi
    for entry in $clsids; do
      name=${entry%%:*} clsid=${entry#*:}
      expect "$classes\\CLSID\\$clsid\\InprocServer32" "" "$query" "$dll"
      expect "$classes\\CLSID\\$clsid\\InprocServer32" ThreadingModel "$query" Apartment
      expect "$classes\\CLSID\\$clsid\\ProgID" "" "$query" "Tessary.$name"
      expect "$classes\\CLSID\\$clsid\\TypeLib" "" "$query" "$libid"
    done
    for iid in $iids; do
      expect "$classes\\Interface\\$iid\\ProxyStubClsid32" "" "$query" '{00020424-0000-0000-C000-000000000046}'
      expect "$classes\\Interface\\$iid\\TypeLib" "" "$query" "$libid"
    done
    local platform=win64; [ "$view" = 32 ] && platform=win32
    expect "$root\\TypeLib\\$libid\\1.0\\0\\$platform" "" "$query" "$dll"
  done
  # Program ids and the type library's own key are shared by the views.
  for entry in $clsids; do
    expect "$root\\Tessary.${entry%%:*}\\CLSID" "" "${views%% *}" "${entry#*:}"
  done
  expect "$root\\TypeLib\\$libid\\1.0" "" "${views%% *}" "Halvex Application Control"
  values_as_expected
}

# The Start-menu shortcut names Dovetta in <folder>; Dovetta started from
# there writes its two settings through the installed library.
shortcut_names() {  # shortcut_names <folder>
  local lnk
  lnk=$(find "$prefix/drive_c" -path '*/Start Menu/Programs/Tessary/Dovetta.lnk' | head -1)
  [ -n "$lnk" ] || { echo "no Start-menu shortcut"; return 1; }
  tr -c '[:print:]' '\n' < "$lnk" | grep -qixF "${1}Dovetta.exe" || { echo "$lnk does not name ${1}Dovetta.exe"; return 1; }
}
settings='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
dword() { "$run" reg query "$settings" /v "$1" 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_DWORD *//p'; }
dovetta_runs() {  # dovetta_runs <folder>
  local before_enable before_nonet rc ok=0
  before_enable=$(dword EnableAutodial) before_nonet=$(dword NoNetAutodial)
  "$run" "${1}Dovetta.exe" never >/dev/null 2>&1; rc=$?
  [ $rc -eq 0 ] || { echo "Dovetta ended with $rc"; ok=1; }
  [ "$(dword EnableAutodial)" = 0x0 ] && [ "$(dword NoNetAutodial)" = 0x1 ] || { echo "settings not written"; ok=1; }
  # Leave the user's settings as they were.
  local name old
  for name in EnableAutodial NoNetAutodial; do
    old=$before_enable; [ $name = NoNetAutodial ] && old=$before_nonet
    if [ -z "$old" ]; then "$run" reg delete "$settings" /v $name /f >/dev/null 2>&1
    else "$run" reg add "$settings" /v $name /t REG_DWORD /d "$old" /f >/dev/null 2>&1; fi
  done
  return $ok
}

# What the package wrote equals what the DLLs' own DllRegisterServer writes
# there, apart from two values RegisterTypeLib words differently: FLAGS (Wine
# adds the "has a disk image" bit) and HELPDIR (without the final backslash).
same_as_regsvr32() {  # same_as_regsvr32 <folder>
  snapshot packaged
  "$run" regsvr32 /s "${1}Tessary.dll" || { echo "regsvr32 failed"; return 1; }
  if [ "$arch" = x64 ] && x86_runs; then
    "$run" 'C:\windows\syswow64\regsvr32.exe' /s "${1}x86\\Tessary.dll" || { echo "32-bit regsvr32 failed"; return 1; }
  fi
  snapshot self_registered
  local f ok=0
  # Every value as "[key] name=data", the two worded differently left out.
  for f in packaged self_registered; do
    awk '/^\[/ { key = $0 } /^@=|^"/ { print key " " $0 }' "$work/$f.system" |
      grep -iv -E 'typelib\\\\\{22973548[^]]*\\\\(FLAGS|HELPDIR)\]' > "$work/$f.values"
  done
  [ "$(grep -c 'InprocServer32\]' "$work/packaged.values")" -ge 4 ] || { echo "no class registration in the snapshot"; ok=1; }
  diff -u "$work/packaged.values" "$work/self_registered.values" || ok=1
  return $ok
}

product_entries() {  # the Uninstall entries of Tessary: "<display name>|<version>" lines
  "$run" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:64 2>/dev/null | tr -d '\r' |
    awk '/^HKEY/ { name = ""; ver = "" } /DisplayName/ { sub(/.*REG_SZ +/, ""); name = $0 }
         /DisplayVersion/ { sub(/.*REG_SZ +/, ""); ver = $0 } name ~ /^Tessary/ && ver != "" { print name "|" ver; name = "" }'
}
one_product() {  # one_product <version>
  local entries; entries=$(product_entries)
  [ "$(echo "$entries" | grep -c .)" = 1 ] && echo "$entries" | grep -q "|$1\$" || { echo "installed: $entries"; return 1; }
}

# ---------------------------------------------------------------- cases

machine_dir="C:\\Program Files\\Halvex\\Tessary\\"
user_dir="C:\\users\\$(whoami)\\AppData\\Local\\Programs\\Halvex\\Tessary\\"

# Whether this platform's COM finds classes registered for the user alone
# (HKCU\Software\Classes, merged into HKEY_CLASSES_ROOT): Wine 8 reads the
# machine's classes only.
user_classes_visible() {
  local probe='Tessary.InstallerProbe' seen=1
  "$run" reg add "HKCU\\Software\\Classes\\$probe" /ve /d probe /f >/dev/null 2>&1
  "$run" reg query "HKCR\\$probe" >/dev/null 2>&1 && seen=0
  "$run" reg delete "HKCU\\Software\\Classes\\$probe" /f >/dev/null 2>&1
  return $seen
}

# A tree built where its programs cannot run: every case skips.
"$run" cmd /c exit >/dev/null 2>&1; [ $? -eq 77 ] && skip "this machine does not run $arch programs"
[ -f "$prefix/system.reg" ] || { echo "no prefix $prefix: run scripts/setup.sh"; exit 1; }

# Cases this platform cannot try skip before anything is touched.
case $case in
machine32)
  [ "$arch" = x64 ] || skip "the x86 package has one view only"
  x86_runs || skip "this machine does not run 32-bit programs: the 32-bit view of the x64 package is not tried" ;;
user_classes)
  user_classes_visible || skip "this platform's COM does not read the user's own classes (HKCU\\Software\\Classes)" ;;
esac

remove_everything
snapshot before
check "nothing of Tessary is registered before" no_tessary_registered

case $case in
machine)
  check "install per machine" exits_with 0 msiexec /i "$machine_msi" /qn
  check "the files are in Program Files" files_installed "$(unix_path "$machine_dir")"
  check "the machine's classes name the installed DLLs" registered_in HKCR "$machine_dir"
  check "nothing is registered for the user" no_tessary_registered user
  check "a script creates and uses every class" uses_every_class
  check "the Start-menu shortcut names the installed Dovetta" shortcut_names "$machine_dir"
  check "Dovetta runs from its installed place" dovetta_runs "$machine_dir"
  check "the registration is DllRegisterServer's" same_as_regsvr32 "$machine_dir"
  check "remove" exits_with 0 msiexec /x "$machine_msi" /qn
  snapshot after
  check "removal leaves the registry and files as before" same_state before after
  check "the classes are gone" creates_none
  ;;
machine32)
  check "install per machine" exits_with 0 msiexec /i "$machine_msi" /qn
  check "a 32-bit script creates and uses every class from the x86 DLL" uses_every_class 32
  check "remove" exits_with 0 msiexec /x "$machine_msi" /qn
  check "the 32-bit host creates nothing after removal" creates_none 32
  snapshot after
  check "removal leaves the registry and files as before" same_state before after
  ;;
user)
  check "install for the user" exits_with 0 msiexec /i "$user_msi" /qn
  check "the files are in the user's programs folder" files_installed "$(unix_path "$user_dir")"
  check "the user's classes name the installed DLLs" registered_in 'HKCU\Software\Classes' "$user_dir"
  check "nothing is registered for the machine" no_tessary_registered machine
  check "the Start-menu shortcut names the installed Dovetta" shortcut_names "$user_dir"
  check "remove" exits_with 0 msiexec /x "$user_msi" /qn
  snapshot after
  check "removal leaves the registry and files as before" same_state before after
  ;;
user_classes)
  check "install for the user" exits_with 0 msiexec /i "$user_msi" /qn
  check "a script creates and uses every class" uses_every_class
  check "Dovetta runs from its installed place" dovetta_runs "$user_dir"
  check "remove" exits_with 0 msiexec /x "$user_msi" /qn
  snapshot after
  check "removal leaves the registry and files as before" same_state before after
  ;;
upgrade)
  check "install the lower version" exits_with 0 msiexec /i "$older_msi" /qn
  check "... it is installed" one_product "$older_version"
  check "install this version over it" exits_with 0 msiexec /i "$machine_msi" /qn
  check "... one product is left, of this version" one_product "$version"
  check "... one registration, of the installed DLLs" registered_in HKCR "$machine_dir"
  check "... a script creates and uses every class" uses_every_class
  snapshot upgraded
  check "the lower version is refused over this one" exits_with 1603 msiexec /i "$older_msi" /qn
  snapshot refused
  check "... and changes nothing" same_state upgraded refused
  check "remove" exits_with 0 msiexec /x "$machine_msi" /qn
  snapshot after
  check "removal leaves the registry and files as before" same_state before after
  ;;
twice)
  check "install" exits_with 0 msiexec /i "$machine_msi" /qn
  snapshot once
  check "installing again succeeds" exits_with 0 msiexec /i "$machine_msi" /qn
  snapshot again
  check "... and changes nothing" same_state once again
  check "... one product" one_product "$version"
  check "remove" exits_with 0 msiexec /x "$machine_msi" /qn
  snapshot after
  check "removal leaves the registry and files as before" same_state before after
  ;;
not_installed)
  # Windows answers 1605 ("only valid for products that are currently
  # installed"); Wine's msiexec finds nothing to do and answers 0.
  check "removing a package that is not installed fails or does nothing" bash -c \
    "'$run' msiexec /x '$machine_msi' /qn >/dev/null 2>&1; rc=\$?; [ \$rc -eq 0 ] || [ \$rc -eq $((1605 % 256)) ]"
  snapshot after
  check "... and changes nothing" same_state before after
  ;;
beside)
  check "install per machine" exits_with 0 msiexec /i "$machine_msi" /qn
  check "install for the user beside it" exits_with 0 msiexec /i "$user_msi" /qn
  check "... both are in place" bash -c "[ -f '$(unix_path "$machine_dir")Tessary.dll' ] && [ -f '$(unix_path "$user_dir")Tessary.dll' ]"
  check "... both registrations are in place" registered_in 'HKCU\Software\Classes' "$user_dir"
  check "... the machine's too" registered_in HKCR "$machine_dir"
  check "... a script creates and uses every class" uses_every_class
  check "remove the per-user install" exits_with 0 msiexec /x "$user_msi" /qn
  check "... the per-machine install is untouched" files_installed "$(unix_path "$machine_dir")"
  check "... and still registered" registered_in HKCR "$machine_dir"
  check "... a script still creates and uses every class" uses_every_class
  check "remove the per-machine install" exits_with 0 msiexec /x "$machine_msi" /qn
  snapshot after
  check "removal leaves the registry and files as before" same_state before after
  ;;
in_use)
  # A script holds an object of the library while a newer version is
  # installed over it, and while the package is removed. A loaded DLL cannot
  # be deleted: Windows replaces or deletes it at the next restart and says
  # so (exit code 3010); Wine's installer leaves it where it is.
  cat > "$work/hold.vbs" <<'VBS'
Set reg = CreateObject("Tessary.xRegistry")
Set fso = CreateObject("Scripting.FileSystemObject")
Set sh = CreateObject("WScript.Shell")
fso.CreateTextFile(WScript.Arguments(0)).Close
n = 0
Do Until fso.FileExists(WScript.Arguments(1)) Or n > 600
  sh.Run "cmd /c exit", 0, True
  n = n + 1
Loop
reg.ClassKey = &H80000001
reg.SectionKey = "Software"
WScript.Echo "still working: " & reg.KeyExists
VBS
  hold() {  # starts the holding script; `release` lets it end
    rm -f "$work/held" "$work/go" "$work/hold.out"
    "$run" cscript //nologo "$(winpath "$work/hold.vbs")" "$(winpath "$work/held")" "$(winpath "$work/go")" \
      > "$work/hold.out" 2>/dev/null &
    holder=$!
    for _ in $(seq 300); do [ -f "$work/held" ] && break; sleep 0.1; done
    test -f "$work/held"
  }
  release() { touch "$work/go"; wait $holder; tr -d '\r' < "$work/hold.out" | grep -qx 'still working: True'; }
  succeeds_or_restarts() { "$@"; local rc=$?; [ $rc -eq 0 ] || [ $rc -eq $((3010 % 256)) ] || { echo "exit code $rc"; return 1; }; }

  check "install the lower version" exits_with 0 msiexec /i "$older_msi" /qn
  check "a script holds the library" hold
  check "installing this version over it succeeds (or asks for a restart)" succeeds_or_restarts msiexec /i "$machine_msi" /qn
  check "... the script's object kept working" release
  check "... one product, of this version" one_product "$version"
  check "... registered" registered_in HKCR "$machine_dir"
  check "... a script creates and uses every class" uses_every_class

  check "a script holds the library again" hold
  check "removal succeeds (or asks for a restart)" succeeds_or_restarts msiexec /x "$machine_msi" /qn
  check "... the registration is gone at once" no_tessary_registered
  check "... the script's object kept working" release
  snapshot after
  # What may stay: the DLL that was loaded (Wine), in its folders.
  left=$(diff "$work/before.files" "$work/after.files" | sed -n 's/^> //p' | grep -v -E "^d ./Program Files/Halvex(/Tessary)? |^f ./Program Files/Halvex/Tessary/Tessary.dll ")
  check "... nothing but the loaded DLL is left" test -z "$left"
  rm -rf "$prefix/drive_c/Program Files/Halvex"
  snapshot cleaned
  check "... the registry is as before" same_state before cleaned
  ;;
pasted_lines)
  # Each line of the pages' ```bat blocks as a user runs it: through cmd, in
  # the folder that holds the packages. The pages name the x64 packages of
  # version 1.0.0; this build's version and architecture stand in for them.
  # cmd waits for msiexec in a batch file (at a prompt it would not), so each
  # line runs as a batch file of its own.
  pasted() {  # pasted <line>
    printf '@echo off\r\ncd /d "%s"\r\n%s\r\n' "$(winpath "$packages")" "$1" > "$work/pasted.bat"
    "$run" cmd /c "$(winpath "$work/pasted.bat")" >/dev/null 2>&1
  }
  # Wine's msiexec ignores words it does not know, where Windows' refuses
  # them: what cmd would hand it is read with echo in its place.
  only_own_arguments() {  # only_own_arguments <line>
    local args word
    printf '@echo off\r\necho%s\r\n' "${1#msiexec}" > "$work/arguments.bat"
    args=$("$run" cmd /c "$(winpath "$work/arguments.bat")" 2>/dev/null | tr -d '\r')
    [ -n "$args" ] || { echo "cmd printed nothing"; return 1; }
    for word in $args; do
      case $word in /i|/x|/qn|*.msi) ;; *) echo "msiexec would be given '$word' (all: $args)"; return 1 ;; esac
    done
  }
  gone_from() { [ ! -e "$1Tessary.dll" ] || { echo "$1Tessary.dll is still there"; return 1; }; }
  for page in README.md docs/installing.md; do
    lines=$(awk '/^```bat/ { inside = 1; next } /^```/ { inside = 0 } inside' "$TESSARY_ROOT/$page" | tr -d '\r')
    check "$page shows the four msiexec lines" test "$(echo "$lines" | grep -c '^msiexec ')" = 4
    while IFS= read -r line; do
      case $line in ''|rem|'rem '*) continue ;; esac
      line=$(echo "$line" | sed -E "s/Tessary-[0-9]+[.][0-9]+[.][0-9]+-x64/Tessary-$version-$arch/g")
      check "$page: cmd hands msiexec only its own arguments: $line" only_own_arguments "$line"
      check "$page: $line" exits_with 0 pasted "$line"
      case $line in
        *' /i '*-peruser.msi*)
          check "... installed for the user" files_installed "$(unix_path "$user_dir")"
          check "... registered for the user" registered_in 'HKCU\Software\Classes' "$user_dir" ;;
        *' /i '*)
          check "... installed per machine" files_installed "$(unix_path "$machine_dir")"
          check "... registered for the machine" registered_in HKCR "$machine_dir" ;;
        *' /x '*)
          check "... removed" gone_from "$(unix_path "$machine_dir")"
          check "... and its user's copy" gone_from "$(unix_path "$user_dir")"
          check "... nothing is registered" no_tessary_registered ;;
        *)
          check "... is an install or a removal" false ;;
      esac
    done <<< "$lines"
  done
  snapshot after
  check "the lines leave the registry and files as before" same_state before after
  ;;
*)
  echo "unknown case $case"; exit 2 ;;
esac
[ -f "$work/notes" ] && cat "$work/notes"
finish
