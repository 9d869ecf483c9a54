' Late-bound call costs from VBScript: each of the library's calls against the
' platform's own object doing the same kind of call, interleaved round by round.
' Prints one line per round and pair: "sample<TAB>pair<TAB>ours|peer<TAB>microseconds per call".
' Arguments: rounds, calls per round for dispatch pairs, calls per round for registry pairs.
Option Explicit
Dim rounds, n, nreg
rounds = CLng(WScript.Arguments(0))
n = CLng(WScript.Arguments(1))
nreg = CLng(WScript.Arguments(2))

Dim reg, app, dict, sh
Set reg = CreateObject("Tessary.xRegistry")
Set app = CreateObject("Tessary.xApplication")
Set dict = CreateObject("Scripting.Dictionary")
Set sh = CreateObject("WScript.Shell")
dict.Add "key", 1

Const kKey = "Software\TessaryBench"
Const kShellKey = "HKCU\Software\TessaryBench\"
Dim i, t, x, text
text = "abc"

Sub Report(pair, side, started, count)
    Dim seconds
    seconds = Timer - started
    WScript.Echo "sample" & vbTab & pair & vbTab & side & vbTab & CStr(seconds * 1000000 / count)
End Sub

Sub PropertyGet(side)
    Dim i, t, x
    t = Timer
    If side = "ours" Then
        For i = 1 To n : x = reg.ClassKey : Next
    Else
        For i = 1 To n : x = dict.Count : Next
    End If
    Report "vbs property get", side, t, n
End Sub

Sub TextMethod(side)
    Dim i, t, x
    t = Timer
    If side = "ours" Then
        For i = 1 To n : x = app.StripTerminator(text) : Next
    Else
        For i = 1 To n : x = dict.Exists(text) : Next
    End If
    Report "vbs method, text argument", side, t, n
End Sub

Sub RegistryWrite(side)
    Dim i, t, x
    t = Timer
    If side = "ours" Then
        For i = 1 To nreg : x = reg.RegSysSet("HKCU", kKey, "Number", i, "REG_DWORD") : Next
    Else
        For i = 1 To nreg : sh.RegWrite kShellKey & "Number", i, "REG_DWORD" : Next
    End If
    Report "vbs registry write (REG_DWORD)", side, t, nreg
End Sub

Sub RegistryRead(side)
    Dim i, t, x
    t = Timer
    If side = "ours" Then
        For i = 1 To nreg : x = reg.RegSysGet("HKCU", kKey, "Number", "REG_DWORD") : Next
    Else
        For i = 1 To nreg : x = sh.RegRead(kShellKey & "Number") : Next
    End If
    Report "vbs registry read (REG_DWORD)", side, t, nreg
End Sub

Dim round, first, second
sh.RegWrite kShellKey & "Number", 0, "REG_DWORD"
For round = 1 To rounds
    ' Alternate which side goes first, so that neither always runs warm.
    If round Mod 2 = 1 Then first = "ours" : second = "peer" Else first = "peer" : second = "ours"
    PropertyGet first : PropertyGet second
    TextMethod first : TextMethod second
    RegistryWrite first : RegistryWrite second
    RegistryRead first : RegistryRead second
Next
sh.RegDelete kShellKey
