' The one-call members of xRegistry through the script host: each never
' raises, leaves nothing pending, and changes the caller's variables only
' where documented.
Const HKCU = &H80000001
Const AREA = "Software\Halvex\"
Dim shell : Set shell = CreateObject("WScript.Shell")
RegDelete "HKCU\" & AREA & "ScriptTests", ""
On Error Resume Next

Dim r : Set r = CreateObject("Tessary.xRegistry")
Dim sect, name, v
sect = "ScriptTests"

' RegGet falls back to the caller's default.
name = "missing"
v = 5
CheckEqual r.RegGet(sect, name, v), "5", "RegGet missing with 5"
CheckEqual TypeName(v), "Integer", "RegGet leaves vVal alone"
v = Empty
CheckEqual r.RegGet(sect, name, v), "", "RegGet missing with Empty"
CheckEqual r.ClassKey, HKCU, "RegGet leaves ClassKey at HKCU"
CheckEqual r.SectionKey, AREA & "ScriptTests", "RegGet leaves SectionKey"
CheckEqual r.ValueKey, "missing", "RegGet leaves ValueKey"
CheckEqual r.ValueType, 1, "RegGet leaves ValueType REG_SZ"
CheckEqual Err.Number, 0, "nothing pending after RegGet"

' A Default set on the object wins over vVal for a missing value.
r.Default = "x"
CheckEqual r.RegGet(sect, name, "y"), "x", "Default before vVal"
r.Default = Empty

' RegSet stores text; an Empty value becomes the empty text in the caller's variable.
v = "hello"
Check IsEmpty(r.RegSet(sect, "greeting", v)), "RegSet returns Empty"
CheckEqual r.RegGet(sect, "greeting", "no"), "hello", "RegSet then RegGet"
v = Empty
r.RegSet sect, "blank", v
CheckEqual TypeName(v), "String", "RegSet turned Empty into text"
CheckEqual v, "", "... the empty text"
r.ValueType = 0
CheckEqual r.Value, "", "the empty text was stored"
CheckEqual r.ValueType, 1, "... as REG_SZ"
CheckEqual r.RegGet(sect, "blank", "dflt"), "dflt", "a stored empty text falls back to vVal"
' Another reader sees the empty text too: the value holds its terminating NUL.
CheckEqual Len(shell.RegRead("HKCU\" & AREA & sect & "\blank")), 0, "WScript.Shell reads the stored empty text as empty"
CheckEqual Err.Number, 0, "... without an error"

' The %...% rule of text writes.
r.RegSet sect, "exp", "a%b%c"
r.ValueType = 0
Dim dummy : dummy = r.Value
CheckEqual r.ValueType, 2, "a%b%c is REG_EXPAND_SZ"
r.RegSet sect, "pct", "100%%"
dummy = r.Value
CheckEqual r.ValueType, 1, "100%% is REG_SZ"
r.RegSet sect, "pct1", "5%"
dummy = r.Value
CheckEqual r.ValueType, 1, "a single % is REG_SZ"

' RegSysSet / RegSysGet by root and type names.
Dim cls, path, val, typ
cls = "HKCU" : path = AREA & "ScriptTests\Sys" : val = "flag" : typ = "REG_DWORD"
v = 1
Check IsEmpty(r.RegSysSet(cls, path, val, v, typ)), "RegSysSet returns Empty"
CheckEqual r.RegGet("ScriptTests\Sys", "flag", ""), "1", "RegGet on a REG_DWORD gives its digits"
Dim got : got = r.RegSysGet(cls, path, val, "REG_BINARY")
CheckEqual TypeName(got), "Long", "RegSysGet returns the stored type, whatever sType says"
CheckEqual got, 1, "RegSysGet value"
v = 1.0
r.RegSysSet cls, path, "float", v, typ
CheckEqual Err.Number, 0, "RegSysSet with a float reports nothing"
Check IsEmpty(r.RegSysGet(cls, path, "float", typ)), "a float DWORD write stores nothing (a missing value reads as Default)"
' Root names are compared exactly: lower-case hkcu means HKEY_USERS.
Check IsEmpty(r.RegSysGet("hkcu", path, val, typ)), "hkcu reads below HKEY_USERS, where the value is missing"
CheckEqual r.ClassKey, &H80000003, "hkcu set ClassKey to HKEY_USERS"
r.RegSysSet "HKCU", path, "text", "abc", "REG_SZ"
CheckEqual r.RegSysGet("HKCU", path, "text", "REG_SZ"), "abc", "REG_SZ through RegSysSet"
r.RegSysSet "HKCU", path, "emptytext", "", "REG_SZ"
CheckEqual Len(shell.RegRead("HKCU\" & path & "\emptytext")), 0, "an empty REG_SZ through RegSysSet reads as empty elsewhere"
' A binary write of text fails silently.
r.RegSysSet "HKCU", path, "bin", "abc", "REG_BINARY"
CheckEqual Err.Number, 0, "failed REG_BINARY write reports nothing"
Check IsEmpty(r.RegSysGet("HKCU", path, "bin", "REG_BINARY")), "and writes nothing"

' RegWinIni reads and writes System.ini.
Dim section, key, value, action
section = "TessaryTests" : key = "entry" : value = "on" : action = "Put"
Check IsEmpty(r.RegWinIni(section, key, value, action)), "RegWinIni write returns Empty"
action = "Get"
CheckEqual r.RegWinIni(section, key, "", action), "on", "RegWinIni Get"
CheckEqual r.RegWinIni(section, "nokey", "", "Get"), "NotFound", "missing key gives NotFound"
CheckEqual r.RegWinIni("NoSuchSection", key, "", "Get"), "NotFound", "missing section gives NotFound"
Dim long100 : long100 = String(100, "z")
r.RegWinIni section, "long", long100, "Put"
CheckEqual r.RegWinIni(section, "long", "", "Get"), String(79, "z"), "Get returns at most 79 characters"
' Only the exact word Get reads; "get" writes.
r.RegWinIni section, key, "changed", "get"
CheckEqual r.RegWinIni(section, key, "", "Get"), "changed", "lower-case get wrote"
r.RegWinIni section, key, "", "Put"
CheckEqual Err.Number, 0, "nothing pending after RegWinIni"
Summary
