' xRegistry's key and value object through the script host (late binding).
Const HKCU = &H80000001
Const REG_NONE = 0, REG_SZ = 1, REG_EXPAND_SZ = 2, REG_BINARY = 3, REG_DWORD = 4, REG_DWORD_BIG_ENDIAN = 5
Const BASE = "Software\TessaryTests\ScriptKey"

RegDelete "HKCU\" & BASE, ""
On Error Resume Next

Dim r : Set r = CreateObject("Tessary.xRegistry")
Check Not r Is Nothing, "CreateObject Tessary.xRegistry"

' A fresh object addresses nothing: every registry call fails its own way.
CheckEqual r.ClassKey, 0, "ClassKey starts 0"
CheckEqual r.SectionKey, "", "SectionKey starts empty"
CheckEqual r.ValueType, 0, "ValueType starts REG_NONE"
Check IsEmpty(r.Default), "Default starts Empty"
CheckEqual r.KeyExists, False, "KeyExists without a root"
Check IsEmpty(r.Value), "Value without a root returns Default"
r.CreateKey
CheckEqual Err.Number, 26001, "CreateKey without a root raises 26001"
CheckEqual Err.Source, "Tessary.cRegistry", "error source"
CheckEqual Err.Description, "Failed to create registry Key: '", "CreateKey message"
Err.Clear

r.ClassKey = HKCU
r.SectionKey = BASE
CheckEqual r.KeyExists, False, "missing key"
CheckEqual r.CreateKey, True, "CreateKey"
CheckEqual r.KeyExists, True, "created key exists"

' Missing values return Default and leave ValueType alone.
r.ValueType = REG_DWORD
r.ValueKey = "missing"
Check IsEmpty(r.Value), "missing value is Empty"
r.Default = "fallback"
CheckEqual r.Value, "fallback", "missing value returns Default"
CheckEqual r.ValueType, REG_DWORD, "ValueType unchanged by a missing value"
r.Default = Empty

' Text writes choose REG_EXPAND_SZ only for a %...% pair.
r.ValueType = REG_SZ
r.ValueKey = "expand"
r.Value = "%WINDIR%\y"
r.ValueType = REG_NONE
Dim expanded : expanded = r.Value
CheckEqual r.ValueType, REG_EXPAND_SZ, "%WINDIR%\y is stored as REG_EXPAND_SZ"
Check InStr(expanded, "%") = 0 And Right(expanded, 2) = "\y", "REG_EXPAND_SZ reads expanded: " & expanded
r.ValueType = REG_SZ
r.ValueKey = "percent"
r.Value = "50%%"
CheckEqual r.Value, "50%%", "50%% reads back"
CheckEqual r.ValueType, REG_SZ, "50%% is stored as REG_SZ"
r.ValueKey = "single"
r.Value = "a%b"
CheckEqual r.Value, "a%b", "single percent"
CheckEqual r.ValueType, REG_SZ, "a single percent sign is REG_SZ"
r.ValueKey = "number"
r.Value = 12
CheckEqual r.Value, "12", "a number written as text"

' DWORD writes take whole numbers of 16 or 32 bits only.
r.ValueType = REG_DWORD
r.ValueKey = "dword"
r.Value = 7
CheckEqual r.Value, 7, "REG_DWORD 7"
CheckEqual TypeName(r.Value), "Long", "REG_DWORD reads as Long"
r.Value = 100000
CheckEqual r.Value, 100000, "REG_DWORD 100000"
r.ValueKey = "double"
r.Value = 7.5
CheckEqual Err.Number, 0, "a floating-point DWORD write is no error"
Check IsEmpty(r.Value), "a floating-point DWORD write stores nothing"
r.ValueType = REG_DWORD_BIG_ENDIAN
r.ValueKey = "big"
r.Value = 256
r.ValueType = REG_NONE
CheckEqual r.Value, 256, "writing under REG_DWORD_BIG_ENDIAN stores a plain REG_DWORD"
CheckEqual r.ValueType, REG_DWORD, "stored type REG_DWORD"

' Binary writes need a byte array.
r.ValueType = REG_BINARY
r.ValueKey = "binary"
r.Value = "not bytes"
CheckEqual Err.Number, 26001, "REG_BINARY with text raises 26001"
CheckEqual Err.Source, "Tessary", "with the run-time's default source"
CheckEqual Err.Description, "Application-defined or object-defined error", "and default description"
Err.Clear
r.ValueType = REG_SZ
Check IsEmpty(r.Value), "nothing was written by the failed binary write"

' Unsupported value types fail the write.
r.ValueType = 99
r.ValueKey = "unsupported"
r.Value = "x"
CheckEqual Err.Number, -2147194455, "unsupported ValueType raises -2147194455"
CheckEqual Err.Description, "Failed to set registry value Key: '-2147483647',Section: '" & BASE & "',Key: 'unsupported' to value: 'x'", "write-failure text"
Err.Clear

' Enumeration: 1-based arrays; a missing key gives 0 and an erased array.
Dim fresh : Set fresh = CreateObject("Tessary.xRegistry")
fresh.ClassKey = HKCU
fresh.SectionKey = BASE & "\Enum"
fresh.ValueType = REG_SZ
fresh.ValueKey = "a" : fresh.Value = "1"
fresh.ValueKey = "b" : fresh.Value = "2"
Dim names, count
CheckEqual fresh.EnumerateValues(names, count), True, "EnumerateValues result"
CheckEqual count, 2, "two values"
CheckEqual LBound(names), 1, "names start at 1"
CheckEqual UBound(names), 2, "names end at the count"
CheckEqual names(1) & "," & names(2), "a,b", "value names"
fresh.SectionKey = BASE & "\Nowhere"
CheckEqual fresh.EnumerateValues(names, count), True, "EnumerateValues on a missing key"
CheckEqual count, 0, "no values on a missing key"
Dim dimmed()
fresh.SectionKey = BASE
CheckEqual fresh.EnumerateSections(dimmed, count), True, "EnumerateSections into Dim a()"
CheckEqual count, 1, "one subkey"
CheckEqual dimmed(1), "Enum", "subkey name"
fresh.SectionKey = BASE & "\Nowhere"
CheckEqual fresh.EnumerateSections(names, count), True, "EnumerateSections on a missing key"
CheckEqual count, 0, "no subkeys on a missing key"

' Deleting: values, then keys, with the documented messages.
r.SectionKey = BASE
r.ValueKey = "gone"
r.DeleteValue
CheckEqual Err.Number, 26001, "DeleteValue of a missing value"
CheckEqual Err.Description, "Failed to delete registry Key: '-2147483647',Section: '" & BASE & "',Key: 'gone", "DeleteValue message"
Err.Clear
r.SectionKey = BASE & "\Nowhere"
r.DeleteValue
CheckEqual Err.Description, "Failed to open key '-2147483647',Section: '" & BASE & "\Nowhere' for delete access", "DeleteValue on a missing key"
Err.Clear
r.SectionKey = BASE
r.ValueKey = "dword"
CheckEqual r.DeleteValue, True, "DeleteValue"
Check IsEmpty(r.Value), "deleted value is gone"
r.SectionKey = BASE & "\Enum"
CheckEqual r.DeleteKey, True, "DeleteKey of a key without subkeys"
CheckEqual r.KeyExists, False, "deleted key is gone"
r.DeleteKey
CheckEqual Err.Number, 26001, "DeleteKey of a missing key"
CheckEqual Err.Description, "Failed to delete registry Key: '-2147483647',Section: '" & BASE & "\Enum", "DeleteKey message"
Err.Clear

' Two objects keep their own state.
Dim other : Set other = CreateObject("Tessary.xRegistry")
CheckEqual other.SectionKey, "", "a second object is independent"
Summary
