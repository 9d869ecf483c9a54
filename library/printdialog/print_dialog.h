// xShowPrinter: the library's print dialog, one instance per process, shared
// by every xPrinter object.
//
// The dialog keeps the state of its controls itself (texts, lists, selections,
// option and check values, the spin value) and mirrors it into a real Win32
// dialog when a window can be made (a process without a display can make
// none; the dialog then works the same, unseen). Choosing something from code
// goes through the same handler as the user's click in the window.
//
// Show shows the window and keeps the calling thread in the dialog's own
// message loop until a closing button hides it; the thread's other windows
// take no input meanwhile. It returns what the dialog closed with as a value
// (print_outcome.h), so that its caller reads none of its controls. The
// Properties button opens the printer driver's own dialog over it and adopts
// the settings record the driver returns.
//
// It holds the chosen printer's settings record and makes every printer DC
// from it. The DC it holds in HDCloc belongs to it until a printer object
// takes it (TakeDc); a second object asking for the same DC gets a DC of its
// own made from the same name and record, so no two objects share one. A DC
// that nobody took is deleted when the dialog replaces it or unloads.
//
// The class is spread over one file per job: print_dialog.cpp (loading, Init
// and the handlers), printer_settings.cpp (the driver's settings record, its
// paper and bin lists, the DCs made from the record), dialog_window.cpp (the
// window, mirrored from the state, and its messages) and modal_showing.cpp
// (the modal loop and its outcome).
//
// Threads. The one instance serves the printer objects of every apartment of
// the process, so every step on it is taken under one process-wide lock, and
// the instance is held by reference count:
//  - Use() hands out a Lease: the lock, held until the lease ends, and a
//    reference that keeps the instance alive meanwhile. Unload only drops the
//    process's own reference; an instance that a lease (or the window handling
//    a message) still holds goes when that ends. Every reference is given up
//    under the lock, so the instance is never destroyed while another thread
//    is inside it.
//  - TakeDc runs under the lock: HDCloc is handed over once, to one printer.
//  - A window belongs to the thread that made it, so each thread that needs
//    one has its own view of the one shared state, made when that thread
//    first needs it (showing the dialog); loading makes none, as most printer
//    objects never show it.
//    Mirroring touches only the calling thread's window (no call ever waits
//    for another thread's message loop); a view that other threads changed
//    the state under is brought up to date before it is shown. The modal loop
//    runs without the lock; the window takes it for each message it handles.
//    Windows of other threads are asked to close themselves when the instance
//    goes, as a window can only be destroyed by its own thread.
// Get() is the single-threaded shortcut (tests, and code already inside a
// lease): the loaded instance, valid until the next Unload.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "frame/handles.h"
#include "printdialog/dialog_layout.h"
#include "printdialog/handover_dc.h"
#include "printdialog/print_outcome.h"
#include "printdialog/printer_collection.h"
#include "printdialog/settings_record.h"
#include "printdialog/spooler_printers.h"

namespace tessary {

// The state of one control of the dialog.
struct ControlState {
    std::wstring text;  // caption, label text, combo or text box text
    bool visible = true;
    bool enabled = true;
    bool value = false;  // option buttons and check boxes
    std::vector<std::wstring> items;  // combo box list
    int listIndex = -1;
    POINT corner = {};  // top-left in twips, relative to the container
};

class PrintDialog : public std::enable_shared_from_this<PrintDialog> {
public:
    // The dialog for one step of any thread: the process-wide lock and a
    // reference to the instance, both held until the lease ends.
    class Lease {
    public:
        PrintDialog* operator->() const { return dialog_.get(); }
        PrintDialog& operator*() const { return *dialog_; }

    private:
        friend class PrintDialog;
        Lease(std::unique_lock<std::recursive_mutex> lock, std::shared_ptr<PrintDialog> dialog)
            : lock_(std::move(lock)), dialog_(std::move(dialog)) {}
        // Declared in this order so that the reference goes before the lock.
        std::unique_lock<std::recursive_mutex> lock_;
        std::shared_ptr<PrintDialog> dialog_;
    };
    // The loaded dialog under the lock, loading it first when needed (the
    // load step runs Init; an error in it reaches the caller and leaves
    // nothing loaded).
    static Lease Use();
    // The same; a load lists the printers of `printers`, the spooler's
    // answer its caller has already, instead of asking the spooler again.
    static Lease Use(SpoolerPrinters& printers);
    // The loaded dialog, loading it first when needed, for single-threaded
    // callers; the reference is valid until the next Unload.
    static PrintDialog& Get();
    // The loaded dialog, or null; never loads.
    static PrintDialog* Loaded();
    // Drops the dialog and all its state; the next Get loads it afresh.
    static void Unload();

    // Loads the dialog when needed, shows it in setup mode or in print mode
    // (Fast preset to `fast`) and returns what it closed with. A process
    // without a display cannot show it: the outcome is then that of no
    // button pressed at all.
    static PrintOutcome Show(bool setup, bool fast);

    PrintDialog(const PrintDialog&) = delete;
    PrintDialog& operator=(const PrintDialog&) = delete;
    ~PrintDialog();

    // Public fields.
    bool bPrint() const { return bPrint_; }
    const std::wstring& PrinterName() const { return printerName_; }  // ends in one NUL once chosen
    HDC HDCloc() const { return hdcLoc_.get(); }
    long lngOrientation() const { return orientation_; }

    // A DC for a printer object to own: HDCloc itself the first time, a new
    // DC made like it afterwards; 0 when HDCloc is 0. `serial` receives the
    // number of the HDCloc it stands for (see DcSerial).
    UniqueDc TakeDc(uint64_t* serial);
    // A number that changes, process-wide, whenever HDCloc is replaced.
    uint64_t DcSerial() const { return dcSerial_; }
    // The settings record HDCloc was made from (null when made without).
    const DEVMODEW* DcRecord() const;

    // Fills the printer list and selects the default printer (the load step
    // runs it; public as on the form). The list is the spooler's answer in
    // `printers`, fetched if it was not yet.
    void Init(SpoolerPrinters& printers);
    void Init();  // asks the spooler itself

    // What a user does in the dialog; each runs the control's handler.
    void ChoosePrinter(int index);  // an entry of ComboPrinter
    void ChoosePaper(int index);
    void ChooseBin(int index);
    void ChoosePortrait();
    void ChooseLandscape();
    void SpinCopies(int value);  // UpDown1
    void TypeCopies(const std::wstring& text);  // txtCopies, no handler
    void TypePrinterName(const std::wstring& text);  // ComboPrinter's text, no handler
    void TickPrintToFile(bool ticked);
    void TickFast(bool ticked);
    void ClickOK();
    void ClickCancel();
    void ClickProperties();

    // Shows the dialog and returns when a closing button has hidden it. A
    // process without a display cannot show it: the call then returns at once
    // as if the user had pressed no button at all (bPrint False, no new DC).
    // Not to be called inside a lease: the loop would hold the lock.
    void ShowModal();

    // Setup mode ("Print Setup": paper, bin, orientation) or print mode
    // ("Print": range, copies, print to file, fast bitmaps).
    void ApplyMode(bool setup, bool fast);

    // What Show returns, from the dialog's state as it is now.
    PrintOutcome Outcome() const;

    // Reads for tests.
    const ControlState& Control(int control) const { return controls_[control]; }
    std::wstring Caption() const { return caption_; }
    int CopiesSpinValue() const { return spinValue_; }
    const SettingsRecord& Record() const { return record_; }
    const std::vector<int16_t>& PaperIds() const { return paperIds_; }
    const std::vector<int16_t>& BinIds() const { return binIds_; }
    const PrinterCollection& Printers() const { return printers_; }
    bool Loading() const { return loading_; }
    // The calling thread's window, made now if the thread has none yet (a
    // window is made when first needed, not at load); null when none can be
    // made (no display).
    HWND Window();
    int OuterHeightTwips() const { return outerHeightTwips_; }

private:
    // A window of the dialog and the thread it belongs to.
    struct View {
        DWORD thread;
        HWND window;
        HWND toolTip;
        bool stale;  // the state changed since it was last mirrored into it
    };
    // What the modal loop needs, none of it the instance's.
    struct Showing {
        HWND window;
        HWND toolTip;
    };

    // Posted to a window of another thread when the instance goes: the
    // window's own thread destroys it.
    static constexpr UINT kCloseViewMessage = WM_APP + 0x54;

    static std::recursive_mutex& Lock();
    // `printers`: the spooler's answer to list, or null to ask the spooler.
    static std::shared_ptr<PrintDialog> Load(SpoolerPrinters* printers);
    PrintDialog();
    void CreateWindowIfPossible();
    void LoadStep(SpoolerPrinters& printers);
    // The calling thread's live window, or null.
    const View* CurrentView() const;
    HWND ExistingWindow() const;  // the calling thread's window, or null; never makes one
    View* CurrentView() { return const_cast<View*>(std::as_const(*this).CurrentView()); }
    void FitToLoadedLayout();  // the load step's outer height and places, in the calling thread's window
    void MarkOtherViewsStale();
    // Under the lock: the calling thread's window ready for showing (made
    // and brought up to date when needed); false when it cannot be shown.
    bool PrepareShowing(Showing* showing);
    // The modal loop, without the lock.
    static void RunModal(const Showing& showing);
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id, int code, HWND from);

    // Event handlers.
    void ComboPrinterClick();
    void ComboPaperClick();
    void ComboBinClick();
    void OptPortClick();
    void OptLandClick();
    void UpDownChange();
    void CmdOkClick();
    void CmdCancelClick();
    void CmdPropertiesClick();

    void SelectOption(int control);  // sets optPort or optLand and runs its handler
    // Shows a record's orientation (portrait, else landscape) in the options.
    void ShowOrientation(int16_t orientation);
    void SetListIndex(int control, int index);  // and runs the list's handler; none out of range

    // PrinterName up to its first NUL: the name printer handles and the
    // driver calls get.
    std::wstring ChosenPrinter() const { return std::wstring(printerName_.c_str()); }

    // The printer's driver (printer_settings.cpp).
    // The fields of a record that the printer-list handler shows.
    struct RecordFields {
        int16_t orientation, copies, paper, source;
    };
    // Makes the record the named printer's defaults, validated by its driver,
    // and gives the fields as the defaults had them; without a record of its
    // own (the driver reports none) the printer gets none: portrait, one copy.
    RecordFields ReadDriverDefaults(const std::wstring& name);
    // The four setting handlers share this: the record made ready for the
    // chosen printer, then one field written; false without a record.
    bool WriteSetting(size_t offset, int16_t value);
    // The record holds the named printer's settings at the size its driver
    // now gives (asked, unless the record is fresh); a record of another
    // printer, or of another size, starts again from the driver's defaults.
    bool RecordReadyFor(const std::wstring& name);
    // The driver's own dialog over `owner`, started from our record when it is
    // that printer's; its answer (IDOK, IDCANCEL, 0 or a failure), and in
    // `returned` the record it confirmed.
    LONG ShowDriverDialog(const std::wstring& name, HWND owner, SettingsRecord& returned) const;
    // `slot`: the characters of one name's slot.
    void FillCapabilityList(int combo, std::vector<int16_t>& ids, WORD namesCapability, WORD idsCapability,
                            size_t slot, const std::wstring& device, const std::wstring& port);
    void MakeDc();
    void ReplaceDc(UniqueDc fresh, std::wstring name, const SettingsRecord* record);

    // Mirroring the state into the window, when there is one.
    HWND Item(int control) const;
    void PushText(int control);
    void PushValue(int control);
    void PushList(int control);
    void PushVisible(int control);
    void PushPosition(int control);
    void PushAll();
    bool EffectivelyVisible(int control) const;

    ControlState controls_[print_dialog::kControlCount];
    std::wstring caption_;
    int spinValue_ = print_dialog::kCopiesMin;
    int outerHeightTwips_ = 0;

    bool bPrint_ = false;
    std::wstring printerName_;
    long orientation_ = 0;
    bool loading_ = false;

    SettingsRecord record_;
    std::wstring recordPrinter_;  // whose record record_ holds
    // True while handlers run for the values of a record just read from the
    // driver (the printer-list handler, an adopted Properties record).
    bool recordFresh_ = false;
    std::vector<int16_t> paperIds_;
    std::vector<int16_t> binIds_;
    PrinterCollection printers_;

    HandOverDc hdcLoc_;
    uint64_t dcSerial_ = 0;
    std::wstring dcPrinter_;
    SettingsRecord dcRecord_;
    bool dcHasRecord_ = false;

    std::vector<View> views_;
    print_dialog::DialogUnits units_;
    bool measured_ = false;
    bool noWindow_ = false;  // a window was asked for and none could be made (no display)
    bool pushing_ = false;  // true while the window is being updated from the state
};

}  // namespace tessary
