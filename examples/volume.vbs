' Reports the volume and mute state of the speakers and of the lines that
' feed them, and sets the speaker volume to the percentage given.
'
'   cscript //nologo volume.vbs        report
'   cscript //nologo volume.vbs 40     set the speakers to 40 % and report
Option Explicit

Dim mix : Set mix = CreateObject("Tessary.xMixer")
If Not mix.bMix Then
    WScript.Echo "This computer has no audio mixer."
    WScript.Quit 1
End If
' Reading Mixer names the device and scans its lines.
Dim name : name = mix.Mixer
If name = "" Then
    WScript.Echo "The mixer could not be read."
    WScript.Quit 1
End If
WScript.Echo "Mixer: " & name & " (" & mix.MaxSources & " source line(s))"

' Line 0 is the speaker line ("Main"), 1 to MaxSources its sources. On
' Windows Vista and later line 0 is the speakers' master volume, for every
' program, and the sources are this script's own audio session.
Sub Report(line)
    mix.idMix = line
    mix.idS = line
    mix.Details
    Dim text : text = mix.Source & ":"
    If mix.bMixVol Then text = text & " volume " & Percent(mix.Volume) & " %"
    If mix.bMixMute Then
        If mix.Mute = 1 Then text = text & ", muted" Else text = text & ", not muted"
    End If
    WScript.Echo text
End Sub

' Mixer volumes run from 0 to 65535.
Function Percent(value)
    Percent = Round(value * 100 / 65535)
End Function

Dim line
For line = 0 To mix.MaxSources
    Report line
Next

If WScript.Arguments.Count > 0 Then
    Dim wanted : wanted = CLng(WScript.Arguments(0))
    Dim value : value = CLng(wanted * 65535 / 100)
    mix.idMix = 0
    mix.Volume = value
    WScript.Echo "Speakers set to " & wanted & " %"
    Report 0
End If
