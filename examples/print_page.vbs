' Prints one page into a file: a heading, a paragraph wrapped between the
' margins, a frame 20 mm inside the printable area, a filled box, circles
' and a 10 cm ruler, all placed in millimetres through the unit conversions.
'
'   cscript //nologo print_page.vbs C:\Temp\page.ps
'
' The page goes to the default printer's driver and from there into the file
' (PostScript for a PostScript printer).
Option Explicit

If WScript.Arguments.Count < 1 Then
    WScript.Echo "usage: cscript print_page.vbs <output file>"
    WScript.Quit 2
End If
Dim out : out = WScript.Arguments(0)

Dim prn : Set prn = CreateObject("Tessary.xPrinter")
If Not prn.Connected Then
    WScript.Echo "No printer is installed."
    WScript.Quit 1
End If
If Not prn.StartDoc("Tessary example page", out) Then
    WScript.Echo "The document could not be started."
    WScript.Quit 1
End If
prn.StartPage

' Positions in millimetres from the corner of the printable area. The scale
' stays twips (the default); MMToLogX and MMToLogY convert.
Function X(mm)
    X = prn.MMToLogX(mm)
End Function
Function Y(mm)
    Y = prn.MMToLogY(mm)
End Function
Dim widthMM : widthMM = prn.LogToMMX(prn.ScaleWidth)
Dim heightMM : heightMM = prn.LogToMMY(prn.ScaleHeight)

' A frame 20 mm inside the printable area, 3 dots wide.
prn.DrawWidth = 3
prn.pFrame X(20), Y(20), X(widthMM - 20), Y(heightMM - 20)
prn.DrawWidth = 1

' The heading, 8 mm high, in dark blue.
prn.FontName = "DejaVu Sans"
prn.FontBold = True
prn.FontSize = Y(8)
prn.ForeColor = RGB(20, 40, 120)
prn.CurrentX = X(30)
prn.CurrentY = Y(28)
prn.pPrint "Tessary example page"
prn.ForeColor = 0

' A paragraph wrapped between 30 mm and 30 mm from the right.
prn.FontBold = False
prn.FontSize = Y(4)
prn.pPrintWrapped "This page was printed by a script through Tessary.xPrinter. Its frame lies " & _
    "20 mm inside the printable area of " & widthMM & " by " & heightMM & " mm, and every other " & _
    "position on it was given in millimetres and converted to the printer's own units.", _
    X(30), X(widthMM - 30), Y(45)
Dim below : below = prn.CurrentY

' A box filled in light green, and two circles: one with the current pen,
' one with a red pen of its own.
prn.FillStyle = 0
prn.FillColor = RGB(150, 220, 150)
prn.pRectangle X(30), below + Y(10), X(80), below + Y(40)
prn.FillStyle = 1
prn.pCircle X(110), below + Y(25), X(15)
prn.pCircle X(150), below + Y(25), X(15), RGB(220, 0, 0), 2

' A ruler of 10 cm with a tick every centimetre.
Dim rulerY : rulerY = below + Y(60)
prn.pLine X(30), rulerY, X(130), rulerY
Dim cm
For cm = 0 To 10
    prn.pLine X(30 + 10 * cm), rulerY, X(30 + 10 * cm), rulerY - Y(4)
Next

prn.EndPage
prn.EndDoc
WScript.Echo "Printable area: " & widthMM & " x " & heightMM & " mm (" & _
    prn.LogToInX(prn.ScaleWidth) & " x " & prn.LogToInY(prn.ScaleHeight) & " in) on " & prn.DeviceName
WScript.Echo "Printed to " & out
