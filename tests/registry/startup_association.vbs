' Start-up entries and file associations through the script host.
Const RUNKEY = "HKCU\Software\Microsoft\Windows\CurrentVersion\Run\"
Dim shell : Set shell = CreateObject("WScript.Shell")
Dim n
For Each n In Array("Tool", "Tool2", "VrelPask", "VrelDorn", "VrelSimbo", "VrelGask", "VrelMurt", "VrelOther", "vrelpask")
    RegDelete "HKCU\Software\Microsoft\Windows\CurrentVersion\Run", n
Next
On Error Resume Next

Function RunValue(name)
    RunValue = "(none)"
    RunValue = shell.RegRead(RUNKEY & name)
    Err.Clear
End Function

Dim r : Set r = CreateObject("Tessary.xRegistry")
Dim folder, exe, setIt
folder = "C:\Apps" : exe = "Tool"
CheckEqual r.StartWithWindows(folder, exe), False, "query without an entry"
CheckEqual RunValue("Tool"), "(none)", "a query writes nothing"
setIt = True
CheckEqual r.StartWithWindows(folder, exe, setIt), True, "switching on writes the entry"
CheckEqual RunValue("Tool"), "C:\Apps\Tool.exe", "Run value holds folder\name.exe"
CheckEqual r.StartWithWindows(folder, exe), True, "query finds the entry"
CheckEqual r.StartWithWindows(folder, exe, setIt), False, "switching again removes it"
CheckEqual RunValue("Tool"), "(none)", "entry removed"
CheckEqual r.StartWithWindows("C:\Apps\", "Tool2", True), True, "folder with a trailing backslash"
CheckEqual RunValue("Tool2"), "C:\Apps\\Tool2.exe", "doubled backslash"
CheckEqual folder & exe, "C:\AppsTool", "arguments unchanged"
CheckEqual Err.Number, 0, "nothing pending"

' The family rule: VrelPask excludes the other four; any other Vrel... excludes VrelPask.
For Each n In Array("VrelDorn", "VrelSimbo", "VrelGask", "VrelMurt", "VrelOther")
    shell.RegWrite RUNKEY & n, "C:\V\" & n & ".exe", "REG_SZ"
Next
CheckEqual r.StartWithWindows("C:\V", "VrelPask", True), True, "adding VrelPask"
For Each n In Array("VrelDorn", "VrelSimbo", "VrelGask", "VrelMurt")
    CheckEqual RunValue(n), "(none)", "VrelPask removed " & n
Next
CheckEqual RunValue("VrelOther"), "C:\V\VrelOther.exe", "VrelPask leaves other names"
CheckEqual r.StartWithWindows("C:\V", "VrelDorn", True), True, "adding VrelDorn"
CheckEqual RunValue("VrelPask"), "(none)", "VrelDorn removed VrelPask"
CheckEqual RunValue("VrelOther"), "C:\V\VrelOther.exe", "VrelDorn leaves other names"
shell.RegWrite RUNKEY & "VrelMurt", "C:\V\VrelMurt.exe", "REG_SZ"
CheckEqual r.StartWithWindows("C:\V", "vrelpask", True), True, "adding vrelpask (other case)"
CheckEqual RunValue("VrelMurt"), "C:\V\VrelMurt.exe", "other letter case removes nothing"
CheckEqual RunValue("VrelDorn"), "C:\V\VrelDorn.exe", "... nor VrelDorn"

' File associations below HKEY_CLASSES_ROOT.
RegDelete "HKCR\.tssa", ""
RegDelete "HKCR\Tss.File", ""
r.CreateEXEAssociation "C:\A\a.exe", "Tss.File", "Tessary test file", "tssa"
CheckEqual Err.Number, 0, "CreateEXEAssociation succeeds"
CheckEqual shell.RegRead("HKCR\.tssa\"), "Tss.File", "extension names the class"
CheckEqual shell.RegRead("HKCR\.tssa\shell\open\command\"), "C:\A\a.exe ""%1""", "extension open command"
CheckEqual shell.RegRead("HKCR\Tss.File\"), "Tessary test file", "class description"
CheckEqual shell.RegRead("HKCR\Tss.File\shell\open\command\"), "C:\A\a.exe ""%1""", "class open command"
Dim icon : icon = "(none)"
icon = shell.RegRead("HKCR\Tss.File\DefaultIcon\")
Err.Clear
CheckEqual icon, "(none)", "no icon key when the index is omitted"
r.CreateEXEAssociation "C:\A\a.exe", "Tss.File", "Tessary test file", "tssa", 0
CheckEqual shell.RegRead("HKCR\Tss.File\DefaultIcon\"), "C:\A\a.exe,0", "icon key with index 0"
CheckEqual r.ClassKey, &H80000000, "association leaves ClassKey at HKCR"
CheckEqual r.SectionKey, "Tss.File\DefaultIcon", "and SectionKey at the last key"
Summary
