' xApplication through the script host as VBScript uses it: by-reference
' variables, script arrays, and no member ever raising an error.
On Error Resume Next
Dim app, fso, shell, nul, folder, s, parser, p, b, roots, n, big, startup
' An unallocated dynamic array. (Wine's VBScript crashes on ReDim of such a
' variable, so the large array below starts as a plain variable.)
Dim names()
Set app = CreateObject("Tessary.xApplication")
Check IsObject(app), "CreateObject Tessary.xApplication"
Set fso = CreateObject("Scripting.FileSystemObject")
Set shell = CreateObject("WScript.Shell")
nul = Chr(0)

Sub MakeFile(path)
    Dim f
    Set f = fso.CreateTextFile(path, True)
    f.Write "x"
    f.Close
End Sub

' String clean-up: the list variables lose the item taken.
s = "ab" & nul & "cd" & nul
CheckEqual app.StripNulls(s), "ab", "StripNulls item"
CheckEqual s, "cd" & nul, "StripNulls leaves the rest in the variable"
CheckEqual app.StripNulls(s), "cd", "StripNulls second item"
CheckEqual Len(s), 0, "StripNulls empties the list"
s = "a,b"
parser = ","
CheckEqual app.StripItem(s, parser), "a", "StripItem item"
CheckEqual s, "b", "StripItem rest"
CheckEqual parser, ",", "StripItem parser unchanged"
s = "   inner  space   "
CheckEqual app.StripBlanks(s), "inner  space", "StripBlanks"
CheckEqual s, "inner  space", "StripBlanks trims the variable"
CheckEqual app.StripTerminator("abc" & nul & "   "), "abc", "StripTerminator"
CheckEqual app.StripBlanks(Null), "", "StripBlanks(Null) gives the empty text"
CheckError 0, "string members raise nothing"

' Folders and drives.
CheckEqual LCase(app.FolderSystem), LCase(fso.GetSpecialFolder(1).Path & "\"), "FolderSystem"
CheckEqual LCase(app.FolderWindows), LCase(fso.GetSpecialFolder(0).Path & "\"), "FolderWindows"
CheckEqual Right(app.FolderTemp, 1), "\", "FolderTemp ends in a backslash"
CheckEqual Right(app.FolderTemp, 2) <> "\\", True, "FolderTemp does not double it"
startup = app.FolderSpecial(7)
CheckEqual LCase(Right(startup, 9)), "\startup\", "FolderSpecial(7) is the Startup folder"
CheckEqual app.FolderSpecial(12345), "", "FolderSpecial of no folder"
s = app.DrivesAvailable
CheckEqual Right(s, 2), nul & nul, "DrivesAvailable keeps its NULs"
roots = ""
n = 0
Do While Len(s) > 1 And n < 30
    roots = roots & app.StripNulls(s) & ";"
    n = n + 1
Loop
Check InStr(roots, "C:\;") > 0, "drive list taken apart: " & roots
p = "D:\dir\file.txt"
b = True
CheckEqual app.PathName(p), "file.txt", "PathName file part"
CheckEqual app.PathName(p, b), "D:\dir\", "PathName folder part"
CheckEqual p, "D:\dir\file.txt", "PathName leaves sPath"
CheckError 0, "folder members raise nothing"

' Files of our own.
folder = fso.GetSpecialFolder(2).Path & "\tessary-vbs\"
If fso.FolderExists(folder) Then fso.DeleteFolder Left(folder, Len(folder) - 1), True
fso.CreateFolder folder
fso.CreateFolder folder & "dst"
MakeFile folder & "A Long Name.text"
s = app.ShortName(folder & "A Long Name.text")
Check Len(s) > 0 And InStr(s, " ") = 0 And fso.FileExists(s), "ShortName names the file without spaces: " & s
CheckEqual app.ShortName(folder & "missing"), "", "ShortName of nothing"
CheckEqual app.FileOrDirExists(folder & "a long NAME.TEXT"), True, "FileOrDirExists ignores case"
CheckEqual app.FileOrDirExists(folder & "DST"), True, "a folder counts in file mode"
CheckEqual app.FileOrDirExists("", folder & "dst"), True, "folder mode"
CheckEqual app.FileOrDirExists("", folder & "A Long Name.text"), False, "a file is no folder"
CheckEqual app.FileOrDirExists(folder & "missing"), False, "missing file"

' Shell operations.
MakeFile folder & "one.txt"
MakeFile folder & "two.txt"
CheckEqual app.ShellCopy(0, folder & "one.txt", folder & "dst"), True, "ShellCopy"
Check fso.FileExists(folder & "dst\one.txt") And fso.FileExists(folder & "one.txt"), "copied"
CheckEqual app.ShellCopy(0, folder & "one.txt" & nul & folder & "two.txt" & nul & nul, folder & "both"), True, "ShellCopy list"
Check fso.FileExists(folder & "both\one.txt") And fso.FileExists(folder & "both\two.txt"), "both copied"
CheckEqual app.ShellMove(0, folder & "two.txt", folder & "dst"), True, "ShellMove"
Check fso.FileExists(folder & "dst\two.txt") And Not fso.FileExists(folder & "two.txt"), "moved"
CheckEqual app.ShellRename(0, folder & "one.txt", folder & "renamed.txt"), True, "ShellRename"
Check fso.FileExists(folder & "renamed.txt") And Not fso.FileExists(folder & "one.txt"), "renamed"
CheckEqual app.ShellDelete(0, False, Array(folder & "renamed.txt")), True, "ShellDelete bounds 0..0"
CheckEqual app.ShellDelete(0, False, Array(folder & "dst\one.txt", folder & "dst\two.txt", folder & "both")), True, "ShellDelete 0..2"
Check Not fso.FileExists(folder & "renamed.txt"), "deleted 0..0"
Check Not fso.FileExists(folder & "dst\one.txt") And Not fso.FileExists(folder & "dst\two.txt") And Not fso.FolderExists(folder & "both"), "deleted 0..2"
MakeFile folder & "kept.txt"
MakeFile folder & "fixed.txt"
Dim fixed(0)
fixed(0) = folder & "fixed.txt"
CheckEqual app.ShellDelete(0, False, fixed), True, "a fixed-size array"
Check Not fso.FileExists(folder & "fixed.txt"), "deleted from a fixed-size array"
CheckEqual app.ShellDelete(0, False, names), False, "unallocated array"
CheckEqual app.ShellDelete(0, False, Array()), False, "empty array"
ReDim big(40000)
big(0) = folder & "kept.txt"
CheckEqual app.ShellDelete(0, False, big), False, "bounds beyond 16 bits"
CheckEqual app.ShellDelete(0, False, Array(folder & "kept.txt", Null)), False, "a Null name"
CheckEqual app.ShellDelete(0, True, Array(folder & "kept.txt")), False, "no display: nobody confirms"
Check fso.FileExists(folder & "kept.txt"), "bad deletes touch nothing"
CheckError 0, "shell members raise nothing"

' A start-up shortcut for a file in the current directory.
shell.CurrentDirectory = folder
MakeFile folder & "vbsapp.exe"
If fso.FileExists(startup & "vbsapp.lnk") Then fso.DeleteFile startup & "vbsapp.lnk"
CheckEqual app.ShellAdd(0, "vbsapp.exe", ""), True, "ShellAdd"
Check fso.FileExists(startup & "vbsapp.lnk"), "vbsapp.lnk in Startup"
If fso.FileExists(startup & "vbsapp.lnk") Then fso.DeleteFile startup & "vbsapp.lnk"
CheckEqual app.ShellAdd(0, "missing.exe", ""), False, "ShellAdd of nothing"
CheckError 0, "ShellAdd raises nothing"

' Keyboard, cursor and windows; the version.
app.SendKey ""
app.SendString ""
app.ShowMouse True
app.MoveMe 0
b = True
CheckEqual IsEmpty(app.AlwaysOnTop(0, b)), True, "AlwaysOnTop returns Empty"
CheckEqual b, False, "AlwaysOnTop writes the outcome into bOnTop"
CheckEqual app.winOS, "WinXP", "winOS for Wine's default 6.1"
CheckError 0, "window members raise nothing"

' Wine's recent-documents call starts a helper that briefly keeps the
' current directory of the moment open: retry the clean-up for a while.
shell.CurrentDirectory = fso.GetSpecialFolder(2).Path
For n = 1 To 30
    Err.Clear
    fso.DeleteFolder Left(folder, Len(folder) - 1), True
    If Err.Number = 0 Then Exit For
    WScript.Sleep 100
Next
Err.Clear
Summary
