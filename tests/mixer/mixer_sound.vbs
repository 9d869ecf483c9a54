' xMixer from VBScript on a real mixer (Wine's ALSA driver on ALSA's null device).
Dim sh, fso, logPath, m, m2, v, name
Set sh = CreateObject("WScript.Shell")
Set fso = CreateObject("Scripting.FileSystemObject")
logPath = sh.ExpandEnvironmentStrings("%TESSARY_MESSAGE_LOG%")
If fso.FileExists(logPath) Then fso.DeleteFile logPath

Set m = CreateObject("Tessary.xMixer")
If Not m.bMix Then
    WScript.Echo "skipped: no mixer device (the sound prefix's ALSA null device is missing)"
    WScript.Quit 77
End If
CheckEqual m.bMixOpen, True, "bMixOpen"
name = m.Mixer
CheckEqual name, "Out: default", "device name"
CheckEqual fso.FileExists(logPath), False, "no message shown"
CheckEqual m.MaxSources, 1, "sources of the speakers"
CheckEqual m.Source, "Main", "line 0"
m.Mixer = "another mixer"
CheckEqual m.Mixer, name, "setting Mixer changes nothing"
m.idS = 1
CheckEqual m.Source, "Master Volume", "line 1"
CheckEqual m.bMixVol, True, "main volume found"
CheckEqual m.bMixMute, True, "main mute found"

v = 23456
m.Volume = v
CheckEqual m.Volume, 23456, "volume cached as written"
CheckEqual v, 23456, "the variable given to Volume"
CheckEqual m.Details, True, "rescan"
Check Abs(m.Volume - 23456) <= 1, "volume read back from the device: " & m.Volume
m.Mute = 1
m.Details
CheckEqual m.Mute, 1, "mute on, read back"
m.Mute = 0
m.Details
CheckEqual m.Mute, 0, "mute off, read back"

' A second object reads the device, not the first one's cache.
Set m2 = CreateObject("Tessary.xMixer")
CheckEqual m2.Mixer, name, "second object's device"
Check Abs(m2.Volume - 23456) <= 1, "second object sees the volume: " & m2.Volume
Set m2 = Nothing

On Error Resume Next
m.idMix = 2
v = m.Volume
CheckError 9, "Volume of a line that does not exist"
m.idS = -1
v = m.Source
CheckError 9, "Source of a line that does not exist"
m.idMix = -3
CheckEqual m.Details, True, "rescan with idMix below 0"
CheckEqual m.idMix, 0, "the scan sets idMix below 0 to 0"
CheckError 0, "no error pending"
Set m = Nothing
CheckError 0, "releasing the object"
Summary
