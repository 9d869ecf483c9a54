' xMixer from VBScript on a machine without any mixer device.
Dim sh, fso, logPath, m, v, caption
Set sh = CreateObject("WScript.Shell")
Set fso = CreateObject("Scripting.FileSystemObject")
logPath = sh.ExpandEnvironmentStrings("%TESSARY_MESSAGE_LOG%")
If fso.FileExists(logPath) Then fso.DeleteFile logPath
caption = "16" & vbTab & " Volume Control - Error" & vbTab

' The messages the library recorded, each followed by "|".
Function MessageLines()
    Dim f, text
    text = ""
    If fso.FileExists(logPath) Then
        Set f = fso.OpenTextFile(logPath, 1)
        Do Until f.AtEndOfStream
            text = text & f.ReadLine & "|"
        Loop
        f.Close
    End If
    MessageLines = text
End Function

Set m = CreateObject("Tessary.xMixer")
CheckEqual m.bMix, False, "bMix without a mixer"
CheckEqual m.bMixOpen, True, "bMixOpen when no open was attempted"
CheckEqual MessageLines(), caption & "Unable to detect a mixer.|", "message at creation"
CheckEqual m.Mixer, "", "Mixer without a mixer"
CheckEqual MessageLines(), caption & "Unable to detect a mixer.|" & caption & _
    "Unable to aquire mixer Capabilities/Details.|", "message of Mixer"

On Error Resume Next
v = m.Volume
CheckError 9, "Volume before any scan"
v = m.Mute
CheckError 9, "Mute before any scan"
v = m.Source
CheckError 9, "Source before any scan"
m.Volume = 5
CheckError 0, "a Volume write before any scan is silent"
v = 1
m.Mute = v
CheckError 0, "a Mute write before any scan is silent"
CheckEqual v, 1, "the variable given to Mute"
CheckEqual m.Details, True, "Details finds no speakers and succeeds"
m.idMix = -3
m.Details
CheckEqual m.idMix, -3, "without speaker lines idMix stays"
m.Mixer = "anything"
CheckError 0, "setting Mixer"
m.A_Description
CheckError 0, "A_Description"
m.MaxSources = 12
m.bMixVol = True
CheckEqual m.MaxSources, 12, "MaxSources is a plain field"
CheckEqual m.bMixVol, True, "bMixVol is a plain field"
Set m = Nothing
CheckError 0, "releasing the object"
Summary
