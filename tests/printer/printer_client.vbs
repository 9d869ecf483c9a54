' xPrinter through the script host (late binding) on the "Proof Letter" test
' printer: state, conversions, a document printed to a file, Orientation,
' and failures shown (recorded) instead of raised.
On Error Resume Next

Dim shell : Set shell = CreateObject("WScript.Shell")
Dim fso : Set fso = CreateObject("Scripting.FileSystemObject")
Dim temp : temp = fso.GetSpecialFolder(2).Path
' The test runs with TESSARY_MESSAGE_LOG set: the library records its message
' boxes in that file instead of showing them.
Dim logFile : logFile = shell.ExpandEnvironmentStrings("%TESSARY_MESSAGE_LOG%")
If logFile = "%TESSARY_MESSAGE_LOG%" Then
    WScript.Echo "TESSARY_MESSAGE_LOG is not set"
    WScript.Quit 1
End If
If fso.FileExists(logFile) Then fso.DeleteFile logFile

Function Messages()
    Messages = ""
    If fso.FileExists(logFile) Then
        Dim f : Set f = fso.OpenTextFile(logFile, 1)
        If Not f.AtEndOfStream Then Messages = f.ReadAll
        f.Close
        fso.DeleteFile logFile
    End If
End Function

Dim p : Set p = CreateObject("Tessary.xPrinter")
Check Not p Is Nothing, "CreateObject Tessary.xPrinter"
If Not p.Connected Then
    WScript.Echo "no printer in this prefix"
    WScript.Quit 77
End If

CheckEqual p.DeviceName, "Proof Letter", "DeviceName"
CheckEqual p.WidthDot, 2400, "WidthDot"
CheckEqual p.ScaleWidth, 11520, "ScaleWidth in twips"
CheckEqual p.PageCenterX, 5760, "PageCenterX"
CheckEqual p.IsPrinter, True, "IsPrinter"
CheckEqual p.Orientation, 1, "Orientation"
CheckEqual p.FillStyle, 1, "FillStyle hollow"
Dim v : v = 1440
CheckEqual p.LogToDOTX(v), 300, "LogToDOTX of a variable"
CheckEqual p.LogToDOTX(2880), 600, "LogToDOTX of a literal"
CheckEqual p.MMToLogX(10), 567, "MMToLogX 10 mm"
CheckEqual p.LogToInX(2160), 2, "LogToInX 1.5 in rounds to even"
CheckEqual p.LogToInX(3600), 2, "LogToInX 2.5 in rounds to even"
CheckEqual v, 1440, "the by-reference value is left alone"
p.A_Description
CheckError 0, "A_Description"

' A document into a named file.
Dim out : out = temp & "\tessary-printer-client.ps"
If fso.FileExists(out) Then fso.DeleteFile out
Dim docName : docName = "Script document"
CheckEqual p.StartDoc(docName, out), True, "StartDoc"
Check p.PrintJobID > 0, "PrintJobID while the document is open"
CheckEqual p.StartPage, True, "StartPage"
p.FontName = "Courier New"
p.FontSize = 240
p.FontBold = True
CheckEqual p.FontSize, 240, "FontSize"
CheckEqual p.FontBold, True, "FontBold"
p.pPrint "First line"
p.CurrentX = 720
p.pPrint "Second line"
CheckEqual p.CurrentX, 0, "pPrint goes back to the left edge"
CheckEqual p.CurrentY, 480, "two lines down"
p.pPrintWrapped "Words that wrap within two inches of the page, line after line.", 0, 2880, 1440
Check p.CurrentY > 1440 + 240, "pPrintWrapped leaves CurrentY below the block"
Check p.TextHeight("Ag") >= 240, "TextHeight is at least the line advance"
Check p.TextWidth("WWWW") > p.TextWidth("W"), "TextWidth grows with the text"
CheckEqual p.EndPage, True, "EndPage"
CheckEqual p.EndDoc, True, "EndDoc"
CheckEqual p.EndDoc, False, "EndDoc again"
CheckEqual p.PrintJobID, 0, "PrintJobID after the document"
Check fso.FileExists(out), "the output file was written"
CheckEqual Messages(), "", "nothing shown so far"

' Orientation turns the page through the shared dialog.
p.Orientation = 2
CheckEqual p.Orientation, 2, "Orientation landscape"
CheckEqual p.WidthDot, 3000, "landscape WidthDot"
p.Orientation = 1
CheckEqual p.WidthDot, 2400, "portrait again"

' Failures are shown, never raised: the script sees no error.
p.ScaleWidth = 0
CheckEqual p.LogToDOTX(1440), 0, "LogToDOTX with a zero scale"
CheckError 0, "no error reaches the script"
CheckEqual Messages(), "48" & vbTab & "Tessary" & vbTab & "Printer class LogToDOTX error: 11. Division by zero" & vbLf, _
    "the failure is shown with the member's prefix"
p.ScaleWidth = 11520
p.FontName = String(40, "X")
CheckError 0, "a face name too long is shown, not raised"
CheckEqual Messages(), "48" & vbTab & "Tessary" & vbTab & "Printer class FontName error: 9. Subscript out of range" & vbLf, _
    "FontName too long"
CheckEqual Len(p.FontName), 33, "the store keeps 33 bytes"

' Shapes and pictures take bad arguments the same way.
CheckEqual p.pCircle(100, 100, 50, "red"), False, "pCircle with a colour that is no number"
CheckEqual Messages(), "48" & vbTab & "Tessary" & vbTab & "Printer class pCircle error: 13. Type mismatch" & vbLf, _
    "the colour's type mismatch is shown"
p.PaintPicture 0, 0, 0
p.PaintPicture p.hdc, 0, 0, "wide", "high"
CheckError 0, "a handle that is no picture"
CheckEqual Messages(), "", "draws nothing and shows nothing"
p.pLine 0, 0, 2000000000, 0
CheckError 0, "a line beyond the 32-bit range of dots"
CheckEqual Messages(), "48" & vbTab & "Tessary" & vbTab & "Printer class LogToDOTX error: 6. Overflow" & vbLf, _
    "is shown by the conversion"
' Without a display the dialog cannot be shown: nothing was chosen.
p.OK = True
p.ShowPrinter String(100000, "S")
p.ShowPrinter
CheckError 0, "ShowPrinter without a display"
CheckEqual p.OK, False, "OK after a dialog nobody saw"
CheckEqual p.DeviceName, "Proof Letter", "the printer stays"

Set p = Nothing
CheckEqual Messages(), "", "nothing shown at the end"
Summary
