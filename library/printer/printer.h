// The behaviour of one xPrinter object over the printer DC it owns: creation
// and destruction, PrintInit, the document and page bracket, identity
// queries, scale and sheet geometry, the twelve conversions, the drawing
// attributes, the current position, text output, shapes and pictures, and
// the showing of the shared print dialog. One file per group of members:
// printer_device.cpp (creation, the DC, the dialog), printer_document.cpp,
// printer_geometry.cpp, printer_attributes.cpp, printer_text.cpp,
// printer_shapes.cpp, printer_pictures.cpp.
//
// Every member applies the class's failure style itself: a run-time failure
// is shown with the member's own prefix and the member returns what it had
// assigned so far. A member that uses another member of the object (a
// conversion, CurrentX...) goes through it, so that member reports its own
// failure and hands back 0. Only PrintInit's first step and ShowPrinter let a
// failure reach the caller.
//
// The object owns its DC and the font, pen and brush it selects into it; a DC
// it gives up (to a later PrintInit, or at destruction) is deleted, and so are
// the objects that were selected in it.
//
// Texts come in as views of the caller's own text: members copy or convert
// them inside their failure style, so that not even an allocation failure
// escapes a member.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "frame/handles.h"
#include "printer/printer_state.h"

namespace tessary {

class Printer {
public:
    // Creation: with a printer installed, the creation defaults, the dialog
    // loaded and PrintInit run; without one, everything stays zero.
    Printer();
    // Destruction: unloads the dialog, ends an open document, deletes the DC.
    ~Printer();
    Printer(const Printer&) = delete;
    Printer& operator=(const Printer&) = delete;

    // An object for tests: no spooler, no dialog; the state is set by hand and
    // `dc` (if any) becomes the object's own.
    struct Detached {};
    Printer(Detached, HDC dc);
    // Gives the DC back to the test that lent it (a recording DC is closed by
    // its owner to read what was drawn).
    HDC ReleaseDc() { return dc_.release(); }

    PrinterState& State() { return state_; }
    const PrinterState& State() const { return state_; }
    HDC Dc() const { return dc_.get(); }

    // Document and page bracket, identity.
    bool PrintInit();  // a failure in its first step is thrown to the caller
    // An empty output name prints to the printer's own port.
    bool StartDoc(std::wstring_view docName, std::wstring_view outFile = {});
    bool StartDoc(std::wstring_view docName, std::nullptr_t) = delete;
    bool StartPage();
    bool EndPage();
    bool EndDoc();
    long Hdc();
    std::wstring DeviceName();
    bool IsPrinter();
    long PrintJobID();
    long Orientation();
    void SetOrientation(long value);

    // Scale and sheet geometry.
    long WidthDot();
    long HeightDot();
    long ScaleWidth();
    void SetScaleWidth(long value);
    long ScaleHeight();
    void SetScaleHeight(long value);
    long OffsetX();
    long OffsetY();
    long PageWidth();
    long PageHeight();
    long PageCenterX();
    long PageCenterY();

    // A conversion member: reports its own failure and then returns 0.
    long Convert(Conversion which, long value);

    // Attributes.
    long DrawWidth();
    void SetDrawWidth(long value);
    long DrawStyle();
    void SetDrawStyle(long value);
    long DrawColor();
    void SetDrawColor(long value);
    long FillColor();
    void SetFillColor(long value);
    long FillStyle();
    void SetFillStyle(long value);
    long FillHatch();
    void SetFillHatch(long value);
    std::wstring FontName();
    void SetFontName(std::wstring_view name);
    long FontSize();
    void SetFontSize(long value);
    bool FontBold();
    void SetFontBold(bool bold);
    long ForeColor();
    void SetForeColor(long value);
    long DrawMode();
    void SetDrawMode(long value);
    long FontTransparent();
    void SetFontTransparent(long value);
    long CurrentX();
    void SetCurrentX(long value);
    long CurrentY();
    void SetCurrentY(long value);

    // Text.
    void Print(std::wstring_view text);
    void PrintWrapped(std::wstring_view text, long left, long right, long top, long flags);
    long TextWidth(std::wstring_view text);
    long TextHeight(std::wstring_view text);

    // Shapes, in logical units, with the current pen and brush. Line and
    // Frame leave the current position where it was, Circle leaves it at the
    // centre; Rectangle and Circle give whether the platform drew.
    void Line(long xStart, long yStart, long xEnd, long yEnd);
    void Frame(long left, long top, long right, long bottom);
    bool Rectangle(long left, long top, long right, long bottom);
    // `color` is null or missing when omitted; a color or a width above 0
    // draws with a pen of its own for this one call.
    bool Circle(float xCenter, float yCenter, float radius, const VARIANT* color, long width);
    // A bitmap, Windows metafile or enhanced metafile by its handle, scaled
    // to `width` × `height` logical units with its top-left corner at
    // (x, y). An omitted (null or missing) size receives the picture's own
    // size in logical units. Any other handle draws nothing.
    void PaintPicture(long handle, long x, long y, VARIANT* width, VARIANT* height);

    // Shows the print dialog modally, in setup mode for "Setup" and in print
    // mode otherwise, and takes over what the user chose: OK, the DC and the
    // printer name, and in print mode after the print button Copies,
    // PrintToFile and Fast. A run-time error reaches the caller.
    void ShowPrinter(std::wstring_view setup);

private:
    enum class Kind { Font, Pen, Brush };
    // Creates the GDI object from its description, selects it and deletes
    // the object of ours it replaces.
    void Rebuild(Kind kind);
    // Takes over another DC: the old one, and what was selected in it, goes.
    void ReplaceDc(UniqueDc fresh);
    void InitializeDc();  // PrintInit's steps after the first
    // PaintPicture's ways of sending a picture, in dots. A metafile's size
    // arguments are read (or filled in) as PaintPicture's.
    void SendBitmap(HBITMAP bitmap, const BITMAP& info, long x, long y, long width, long height);
    void PlayMetafile(HENHMETAFILE metafile, long x, long y, VARIANT* width, VARIANT* height);
    // A size given as a variant; when omitted, the picture's own size
    // (`ownUnits`, of which `unitsPerInch` make an inch) in logical units,
    // stored into the argument.
    long PictureSize(VARIANT* given, Axis axis, double ownUnits, double unitsPerInch);

    PrinterState state_;
    UniqueDc dc_;
    uint64_t dcSerial_ = 0;  // the dialog's HDCloc our DC stands for
    bool dialogUser_ = false;
    UniqueGdiObject font_;
    UniqueGdiObject pen_;
    UniqueGdiObject brush_;
};

}  // namespace tessary
