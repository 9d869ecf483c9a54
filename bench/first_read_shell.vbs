' The same job through the script host's own object.
Set sh = CreateObject("WScript.Shell")
WScript.Quit sh.RegRead("HKCU\Software\TessaryBench\Number")
