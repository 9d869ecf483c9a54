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

clsid='{6F66F400-F97F-4B82-B89F-F710174D4710}'
"$run" regsvr32 /s /u "$dll"
check "unregister removes the class" absent "HKCR\\CLSID\\$clsid"
check "unregister removes the program id" absent "HKCR\\Tessary.xRegistry"
check "unregister removes the type library" absent 'HKCR\TypeLib\{22973548-B4DA-4952-B973-8037043A7355}'

check "regsvr32 succeeds" "$run" regsvr32 /s "$dll"
check "in-process server path" value_is "HKCR\\CLSID\\$clsid\\InprocServer32" "" 'Tessary.dll'
check "apartment threading" value_is "HKCR\\CLSID\\$clsid\\InprocServer32" ThreadingModel Apartment
check "program id under the class" value_is "HKCR\\CLSID\\$clsid\\ProgID" "" Tessary.xRegistry
check "class under the program id" value_is 'HKCR\Tessary.xRegistry\CLSID' "" "$clsid"
check "type library version 1.0" "$run" reg query 'HKCR\TypeLib\{22973548-B4DA-4952-B973-8037043A7355}\1.0'
check "dual interface registered" "$run" reg query 'HKCR\Interface\{D2BF0D3D-99DD-4BFE-9267-8045CD72F59C}'
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
