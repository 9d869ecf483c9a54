// The printer object's DC and where it comes from: creation and destruction,
// PrintInit taking over the DC the shared print dialog made, the orientation
// set through the dialog, and ShowPrinter taking over what the dialog closed
// with.
#include "printer/printer.h"

#include "frame/errors.h"
#include "frame/message_sink.h"
#include "printdialog/print_dialog.h"
#include "printdialog/spooler_printers.h"
#include "printer/printer_math.h"
#include "printer/showing_result.h"

namespace tessary {

using namespace printer_math;

// ---------------------------------------------------------------------------
// Creation and destruction

Printer::Printer() : dialogUser_(true) {
    Showing(L"Printer class initialize error: ", [&] {
        // One answer of the spooler tells whether a printer exists and, when
        // the dialog loads now, gives its printer list and ports.
        SpoolerPrinters printers;
        if (printers.Needed() == 0) return;  // no printer: everything stays zero
        state_.SetCreationDefaults();
        PrintDialog::Use(printers);
        PrintInit();
    });
}

Printer::Printer(Detached, HDC dc) : dc_(dc) {}

Printer::~Printer() {
    Showing(L"Printer class terminate error: ", [&] {
        if (dialogUser_) PrintDialog::Unload();
        EndDoc();
        ReplaceDc(UniqueDc());
    });
}

// ---------------------------------------------------------------------------
// PrintInit and the DC

bool Printer::PrintInit() {
    // The first step is not covered by the member's own report: a failure
    // here reaches the caller.
    {
        // The whole step is taken under the dialog's lock: the name, the serial
        // and the DC all come from one state of it, and the DC is handed to this
        // object alone.
        PrintDialog::Lease lease = PrintDialog::Use();
        PrintDialog& dialog = *lease;
        const std::wstring& newName = dialog.PrinterName();
        const bool samePrinter = newName == state_.deviceName;
        state_.deviceName = newName;

        // The object keeps its DC as long as the dialog still stands for the DC
        // it was made from; a new HDCloc gives the object a DC of its own.
        if (!dc_ || dialog.DcSerial() != dcSerial_) {
            if (state_.jobId != 0 && dc_ && samePrinter && dialog.HDCloc()) {
                // A document is open in this DC: it stays, and the new settings
                // apply from its next page on.
                if (const DEVMODEW* record = dialog.DcRecord()) ResetDCW(dc_.get(), record);
                dcSerial_ = dialog.DcSerial();
            } else {
                // Another printer: the document open in the old DC is finished
                // there rather than lost with it.
                if (state_.jobId != 0 && dc_) {
                    ::EndDoc(dc_.get());
                    state_.jobId = 0;
                }
                uint64_t serial = 0;
                UniqueDc fresh = dialog.TakeDc(&serial);
                ReplaceDc(std::move(fresh));
                dcSerial_ = serial;
            }
        }
    }

    return ShowingResult(L"Printer PrintInit (hdc) error: ", false, [&] {
        InitializeDc();
        return true;
    });
}

void Printer::ReplaceDc(UniqueDc fresh) {
    // The DC goes first: the objects selected in it can only be deleted once
    // nothing holds them.
    dc_.reset();
    font_.reset();
    pen_.reset();
    brush_.reset();
    dc_ = std::move(fresh);
}

void Printer::InitializeDc() {
    HDC dc = dc_.get();
    SetTextAlign(dc, TA_UPDATECP);
    state_.AdoptDeviceExtents(GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES), GetDeviceCaps(dc, LOGPIXELSX),
                              GetDeviceCaps(dc, LOGPIXELSY));
    SetMapMode(dc, MM_TEXT);
    // Face name and weight come from the font the DC has selected: the
    // device's default on a new DC, ours on the same one. The 33rd unit of the
    // face store lies beyond LOGFONTW and keeps its value.
    GetObjectW(GetCurrentObject(dc, OBJ_FONT), sizeof(LOGFONTW), &state_.logFont.font);
    state_.logFont.font.lfHeight = CheckedNegate(Convert(Conversion::LogToDOTY, 5));
    state_.FixBaseScale();
    state_.logFont.font.lfWidth = 0;
    state_.logFont.font.lfCharSet = DEFAULT_CHARSET;
    Rebuild(Kind::Font);
    SetFillStyle(BS_NULL);
    // The pen the properties report is the pen the DC draws with, on a new
    // DC as on the old one.
    Rebuild(Kind::Pen);
    // Text is drawn without a background box: text printed over a shape or a
    // picture leaves it visible, as FontTransparent True does.
    SetBkMode(dc, TRANSPARENT);
}

// ---------------------------------------------------------------------------
// Orientation, through the dialog

long Printer::Orientation() {
    return ShowingResult(L"Printer class Orientation error: ", 0L, [&] { return PrintDialog::Use()->lngOrientation(); });
}

void Printer::SetOrientation(long value) {
    Showing(L"Printer class Orientation error: ", [&] {
        // Held until PrintInit has taken the DC: no other thread's choice
        // comes in between.
        PrintDialog::Lease dialog = PrintDialog::Use();
        if (value == 1) dialog->ChoosePortrait();
        else dialog->ChooseLandscape();
        dialog->ClickOK();
        PrintInit();
    });
}

// ---------------------------------------------------------------------------
// The print dialog

void Printer::ShowPrinter(std::wstring_view setup) {
    const PrintOutcome outcome = PrintDialog::Show(setup == L"Setup", state_.fast != VARIANT_FALSE);
    state_.ok = outcome.printPressed ? VARIANT_TRUE : VARIANT_FALSE;
    if (!outcome.dcReady) {
        ShowMessage(std::wstring(L"Could not create Printer DC: disabled for ") + kApplicationTitle,
                    MB_OK | MB_ICONEXCLAMATION, kApplicationTitle);
        return;
    }
    const bool initialised = PrintInit();
    if (outcome.printMode && outcome.printPressed && initialised) {
        // A copies count beyond 16 bits fails here, after OK and the DC.
        state_.copies = outcome.Copies();
        state_.printToFile = outcome.printToFile ? VARIANT_TRUE : VARIANT_FALSE;
        state_.fast = outcome.fast ? VARIANT_TRUE : VARIANT_FALSE;
    }
}

}  // namespace tessary
