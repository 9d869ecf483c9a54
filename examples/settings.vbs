' Keeps the settings of an application, "Example Editor", in the registry
' and switches one of them on a schedule: quiet hours from 22:00 to 7:00,
' written as a number that other programs read.
'
'   cscript //nologo settings.vbs          use the current time
'   cscript //nologo settings.vbs 23       as if it were 23:00
'   cscript //nologo settings.vbs /reset   forget the settings
'
' The settings live below HKEY_CURRENT_USER\Software\Halvex\Example Editor.
Option Explicit

Const App = "Example Editor"
Const HKEY_CURRENT_USER = &H80000001
Dim reg : Set reg = CreateObject("Tessary.xRegistry")
Dim arg : arg = ""
If WScript.Arguments.Count > 0 Then arg = WScript.Arguments(0)

If arg = "/reset" Then
    reg.ClassKey = HKEY_CURRENT_USER
    reg.SectionKey = "Software\Halvex\" & App
    If reg.KeyExists Then reg.DeleteKey
    WScript.Echo "The settings of " & App & " are gone."
    WScript.Quit 0
End If

' RegGet gives the default when a setting is missing, so a first run starts
' from the defaults; RegSet writes the settings back as text.
Dim fontName : fontName = reg.RegGet(App, "FontName", "Courier New")
Dim fontSize : fontSize = CLng(reg.RegGet(App, "FontSize", 10))
Dim runs : runs = CLng(reg.RegGet(App, "Runs", 0)) + 1
reg.RegSet App, "FontName", fontName
reg.RegSet App, "FontSize", fontSize
reg.RegSet App, "Runs", runs
WScript.Echo App & ": " & fontName & " " & fontSize & " pt, run " & runs

' The schedule. RegSysSet writes any value; REG_DWORD takes a whole number.
Dim atHour
If IsNumeric(arg) Then atHour = CInt(arg) Else atHour = Hour(Now)
Dim quiet : quiet = CLng(atHour >= 22 Or atHour < 7) * -1
reg.RegSysSet "HKCU", "Software\Halvex\" & App, "QuietHours", quiet, "REG_DWORD"

' Read back the way another program would.
Dim stored : stored = reg.RegSysGet("HKCU", "Software\Halvex\" & App, "QuietHours", "REG_DWORD")
If stored = 1 Then
    WScript.Echo "Quiet hours: on (" & atHour & ":00)"
Else
    WScript.Echo "Quiet hours: off (" & atHour & ":00)"
End If
