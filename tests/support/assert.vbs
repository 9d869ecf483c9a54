' Shared assertions of the VBScript tests (put in front of each test file).
' A test ends with Summary, which prints "N passed, M failed".
Option Explicit
Dim g_passed, g_failed
g_passed = 0
g_failed = 0

Sub Check(condition, label)
    If condition Then
        g_passed = g_passed + 1
    Else
        g_failed = g_failed + 1
        WScript.Echo "FAIL: " & label
    End If
End Sub

Function Show(v)
    If IsArray(v) Then
        Show = "(array)"
    ElseIf IsNull(v) Then
        Show = "Null"
    ElseIf IsEmpty(v) Then
        Show = "Empty"
    ElseIf IsObject(v) Then
        Show = "(object)"
    Else
        Show = TypeName(v) & " " & CStr(v)
    End If
End Function

Sub CheckEqual(actual, expected, label)
    Dim same
    same = False
    If Not IsArray(actual) And Not IsObject(actual) Then
        If IsEmpty(actual) And IsEmpty(expected) Then
            same = True
        ElseIf Not IsNull(actual) And Not IsEmpty(actual) Then
            same = (actual = expected)
        End If
    End If
    If same Then
        g_passed = g_passed + 1
    Else
        g_failed = g_failed + 1
        WScript.Echo "FAIL: " & label & ": got " & Show(actual) & ", expected " & Show(expected)
    End If
End Sub

' Checks the error left by the statement before it, then clears it.
Sub CheckError(number, label)
    If Err.Number = number Then
        g_passed = g_passed + 1
    Else
        g_failed = g_failed + 1
        WScript.Echo "FAIL: " & label & ": error " & Err.Number & " (" & Err.Description & "), expected " & number
    End If
    Err.Clear
End Sub

Sub Summary()
    WScript.Echo g_passed & " passed, " & g_failed & " failed"
End Sub

' Deletes a registry key with everything below it, or one value when a value
' name is given (WScript.Shell's RegDelete is not available on every host).
Sub RegDelete(key, valueName)
    Dim sh, cmd
    Set sh = CreateObject("WScript.Shell")
    cmd = "reg delete """ & key & """ /f"
    If valueName <> "" Then cmd = "reg delete """ & key & """ /v """ & valueName & """ /f"
    sh.Run cmd, 0, True
End Sub
