' A report on this computer: Windows version, drives, special folders and
' short names, and a list cleaned up item by item.
'
'   cscript //nologo system_info.vbs
Option Explicit

Dim app : Set app = CreateObject("Tessary.xApplication")
WScript.Echo "Windows: " & app.winOS

' DrivesAvailable gives every root followed by a NUL; StripNulls takes one
' off the front per call.
Dim drives : drives = app.DrivesAvailable
Dim root
Do
    root = app.StripNulls(drives)
    If root = "" Then Exit Do
    WScript.Echo "Drive: " & root
Loop

WScript.Echo "Windows folder: " & app.FolderWindows
WScript.Echo "System folder: " & app.FolderSystem
WScript.Echo "Temporary folder: " & app.FolderTemp
Dim folder, id
For Each folder In Array(Array(0, "Desktop"), Array(7, "Startup"), Array(8, "Recent"), Array(38, "Program Files"))
    id = folder(0)
    WScript.Echo folder(1) & " folder: " & app.FolderSpecial(id)
Next

' The short (8.3) form of a long path, and its parts.
Dim longPath : longPath = app.FolderSpecial(38)
longPath = Left(longPath, Len(longPath) - 1)
WScript.Echo "Short name of " & longPath & ": " & app.ShortName(longPath)
WScript.Echo "Its folder: " & app.PathName(longPath, True) & ", its name: " & app.PathName(longPath)
If app.FileOrDirExists("", longPath) Then WScript.Echo longPath & " exists"

' A list typed by a person: blanks around the items, one item empty.
Dim line : line = "  red, green ,, blue  "
line = app.StripBlanks(line)
Dim item, items : items = ""
Do While line <> ""
    item = app.StripItem(line, ",")
    item = app.StripBlanks(item)
    If item <> "" Then
        If items <> "" Then items = items & "|"
        items = items & item
    End If
Loop
WScript.Echo "Colours: " & items
