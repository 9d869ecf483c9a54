' A one-page sample document printed by a script client through
' Tessary.xPrinter: text, wrapped text, lines, a frame, rectangles, circles,
' a bitmap (in bands and in one piece), a Windows metafile and an enhanced
' metafile. The pictures come from TessaryTest.Pictures, the test prefix's
' stand-in for LoadPicture, which Wine's VBScript lacks.
'   cscript printed_sample.vbs [output.ps]
' The pictures are read from the folder named by TESSARY_SAMPLE_DIR.
' scripts/printed-sample.sh renders the output into docs/printed-sample.png.
On Error Resume Next

Dim shell : Set shell = CreateObject("WScript.Shell")
Dim fso : Set fso = CreateObject("Scripting.FileSystemObject")
' Wine's ExpandEnvironmentStrings leaves the terminating NUL in the text.
Dim sampleDir : sampleDir = Replace(shell.ExpandEnvironmentStrings("%TESSARY_SAMPLE_DIR%"), Chr(0), "")
Dim out
If WScript.Arguments.Count > 0 Then
    out = WScript.Arguments(0)
Else
    out = fso.GetSpecialFolder(2).Path & "\tessary-printed-sample.ps"
End If
If fso.FileExists(out) Then fso.DeleteFile out
Dim logFile : logFile = Replace(shell.ExpandEnvironmentStrings("%TESSARY_MESSAGE_LOG%"), Chr(0), "")
If fso.FileExists(logFile) Then fso.DeleteFile logFile

Dim p : Set p = CreateObject("Tessary.xPrinter")
Check Not p Is Nothing, "CreateObject Tessary.xPrinter"
If Not p.Connected Then
    WScript.Echo "no printer in this prefix"
    WScript.Quit 77
End If
Dim pictures : Set pictures = CreateObject("TessaryTest.Pictures")
CheckError 0, "TessaryTest.Pictures is registered"
Dim logo : logo = pictures.Load(sampleDir & "\logo.bmp")
Dim chart : chart = pictures.Load(sampleDir & "\chart.wmf")
Dim badge : badge = pictures.Load(sampleDir & "\badge.emf")
CheckError 0, "the sample pictures load from " & sampleDir

Const Blue = &H8C3C14   ' RGB(20, 60, 140)
Dim docName : docName = "Tessary printing sample"
CheckEqual p.StartDoc(docName, out), True, "StartDoc"
CheckEqual p.StartPage, True, "StartPage"

' A section heading in blue.
Sub Heading(text, y)
    p.FontName = "DejaVu Sans"
    p.FontBold = True
    p.FontSize = 280
    p.ForeColor = Blue
    p.CurrentX = 0
    p.CurrentY = y
    p.pPrint text
    p.ForeColor = 0
    p.FontBold = False
End Sub

' A caption centred under a picture or shape.
Sub Caption(text, centreX, y)
    p.FontName = "DejaVu Sans"
    p.FontSize = 180
    p.CurrentX = centreX - p.TextWidth(text) \ 2
    p.CurrentY = y
    p.pPrint text
End Sub

p.FontName = "DejaVu Sans"
p.FontBold = True
p.FontSize = 480
p.ForeColor = Blue
p.pPrint "Tessary printing sample"
p.FontBold = False
p.FontSize = 220
p.ForeColor = &H404040
p.pPrint "Printed by a VBScript client through Tessary.xPrinter on """ & p.DeviceName & """"
p.DrawWidth = 8
p.DrawColor = Blue
p.pLine 0, 840, 11520, 840
p.DrawWidth = 1
p.DrawColor = 0

Heading "Text", 1080
p.FontName = "DejaVu Serif"
p.FontSize = 240
p.pPrintWrapped "This page was drawn by a script. It chose its fonts by name, " & _
    "wrote a heading line by line with pPrint, and set this paragraph with pPrintWrapped, " & _
    "which breaks the words between a left and a right edge and leaves CurrentY below the " & _
    "block. Every position on the page is given in twips, the scale an xPrinter starts with: " & _
    "1440 to the inch, measured from the corner of the printable area.", 0, 7400, 1480
Dim textBottom : textBottom = p.CurrentY
p.PaintPicture badge, 8500, 1200, 2400, 2400
Caption "Enhanced metafile", 9700, 3650

Heading "Shapes", 4100
Const ShapesTop = 4550, ShapesBottom = 6150
p.pFrame 0, ShapesTop, 1600, ShapesBottom
Caption "pFrame", 800, 6250
p.FillStyle = 0
p.FillColor = RGB(120, 200, 120)
CheckEqual p.pRectangle(1900, ShapesTop, 3500, ShapesBottom), True, "pRectangle solid"
Caption "Solid fill", 2700, 6250
p.FillStyle = 2
p.FillHatch = 5
p.FillColor = RGB(200, 40, 40)
CheckEqual p.pRectangle(3800, ShapesTop, 5400, ShapesBottom), True, "pRectangle hatched"
Caption "Hatched fill", 4600, 6250
p.FillStyle = 1
CheckEqual p.pCircle(6480, 5350, 800), True, "pCircle"
Caption "pCircle", 6480, 6250
CheckEqual p.pCircle(8400, 5350, 800, RGB(200, 40, 40)), True, "pCircle in red"
Caption "Its own colour", 8400, 6250
CheckEqual p.pCircle(10320, 5350, 800, , 3), True, "pCircle with a wide pen"
CheckEqual p.CurrentX, 10320, "the circle leaves CurrentX at its centre"
CheckEqual p.DrawColor, 0, "the circles leave DrawColor alone"
Caption "Its own width", 10320, 6250

Heading "Pictures", 6750
Const PicturesTop = 7250
p.PaintPicture logo, 0, PicturesTop, 3600, 2400
Caption "Bitmap, scaled, in bands", 1800, 9750
' Without a size a picture has its own: 120 x 80 pixels at the screen's 96 dpi.
p.Fast = True
p.PaintPicture logo, 3900, PicturesTop
p.Fast = False
p.PaintPicture logo, 3900, PicturesTop + 1250
Caption "Own size", 4800, 9750
p.PaintPicture chart, 6300, PicturesTop, 3600, 2400
Caption "Windows metafile", 8100, 9750

Heading "Lines", 10200
Dim i
For i = 0 To 4
    p.DrawStyle = i
    p.DrawColor = RGB(40 * i, 60, 140 - 20 * i)
    p.pLine 0, 10800 + 240 * i, 5200, 10800 + 240 * i
Next
p.DrawStyle = 0
For i = 1 To 6
    p.DrawWidth = 3 * i
    p.DrawColor = RGB(20, 40 * i, 100)
    p.pLine 6300 + 700 * (i - 1), 12000, 6300 + 700 * i, 10700
Next
p.DrawWidth = 1
p.DrawColor = 0

p.FontName = "DejaVu Sans"
p.FontSize = 180
Dim footer : footer = "Tessary - page 1"
p.CurrentX = (p.ScaleWidth - p.TextWidth(footer)) \ 2
p.CurrentY = 13900
p.pPrint footer
CheckEqual p.EndPage, True, "EndPage"
CheckEqual p.EndDoc, True, "EndDoc"
CheckError 0, "no error reached the script"
Check fso.FileExists(out), "the document was written to " & out

Dim shown : shown = ""
If fso.FileExists(logFile) Then
    Dim f : Set f = fso.OpenTextFile(logFile, 1)
    If Not f.AtEndOfStream Then shown = f.ReadAll
    f.Close
End If
CheckEqual shown, "", "nothing was shown"
Summary
