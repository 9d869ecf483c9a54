#!/usr/bin/env bash
# Unregisters Tessary.dll, checks that its keys are gone, registers it again
# and checks what registration wrote: class, program id, in-process server
# with the apartment model, type library.
set -u
run=$1
dll_unix=$2
export TESSARY_WINE_MODE=$3
dll="Z:$(echo "$dll_unix" | tr / '\\')"
failed=0 passed=0
check() {  # check <label> <command...>
  local label=$1; shift
  if "$@" >/dev/null 2>&1; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $label"; fi
}
absent() { ! "$run" reg query "$1" >/dev/null 2>&1; }
value_is() {  # value_is <key> <value name or empty for default> <expected>
  local out
  if [ -z "$2" ]; then out=$("$run" reg query "$1" /ve 2>/dev/null); else out=$("$run" reg query "$1" /v "$2" 2>/dev/null); fi
  printf '%s' "$out" | tr -d '\r' | grep -qiF -- "$3"
}

classes="xRegistry:{6F66F400-F97F-4B82-B89F-F710174D4710}:{D2BF0D3D-99DD-4BFE-9267-8045CD72F59C}
xPrinter:{6C1C3478-DF1B-44F8-8B78-65B64160AC94}:{8F11B00E-2A97-4206-9EBD-D97C29193384}
xApplication:{6C4BFA14-BF7D-452C-9E3D-BCF510127DE9}:{D18B96F9-774D-4E0D-B4B3-0CD2AFBF071E}
xMixer:{B4593437-8429-470F-844E-A887657B198E}:{73881A32-4FDF-4941-857B-3BCD96745320}"

"$run" regsvr32 /s /u "$dll"
[ $? -eq 77 ] && exit 77  # this machine does not run the architecture's programs
for entry in $classes; do
  IFS=: read -r name clsid iid <<<"$entry"
  check "unregister removes $name's class" absent "HKCR\\CLSID\\$clsid"
  check "unregister removes Tessary.$name" absent "HKCR\\Tessary.$name"
done
check "unregister removes the type library" absent 'HKCR\TypeLib\{22973548-B4DA-4952-B973-8037043A7355}'

check "regsvr32 succeeds" "$run" regsvr32 /s "$dll"
for entry in $classes; do
  IFS=: read -r name clsid iid <<<"$entry"
  check "$name: in-process server path" value_is "HKCR\\CLSID\\$clsid\\InprocServer32" "" 'Tessary.dll'
  check "$name: apartment threading" value_is "HKCR\\CLSID\\$clsid\\InprocServer32" ThreadingModel Apartment
  check "$name: program id under the class" value_is "HKCR\\CLSID\\$clsid\\ProgID" "" "Tessary.$name"
  check "$name: class under the program id" value_is "HKCR\\Tessary.$name\\CLSID" "" "$clsid"
  check "$name: type library of the class" value_is "HKCR\\CLSID\\$clsid\\TypeLib" "" '{22973548-B4DA-4952-B973-8037043A7355}'
  check "$name: dual interface registered" "$run" reg query "HKCR\\Interface\\$iid"
done
check "type library version 1.0" "$run" reg query 'HKCR\TypeLib\{22973548-B4DA-4952-B973-8037043A7355}\1.0'
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
