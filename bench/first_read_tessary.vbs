' A whole one-line job for the benchmark: one registry read through Tessary.
' The exit code is the value read, so the caller knows the job was done.
Set reg = CreateObject("Tessary.xRegistry")
WScript.Quit reg.RegSysGet("HKCU", "Software\TessaryBench", "Number", "REG_DWORD")
