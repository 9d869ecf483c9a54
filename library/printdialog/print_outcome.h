// What a showing of the print dialog ended with, as a value: all the printer
// object takes over from the dialog once it has closed.
#pragma once
#include "printdialog/copies_text.h"

namespace tessary {

struct PrintOutcome {
    // Closed with the print button (the dialog's bPrint).
    bool printPressed = false;
    // The dialog holds a DC for the chosen printer (HDCloc), which the
    // printer object takes over with PrintInit.
    bool dcReady = false;
    // Shown in print mode, where the three below were offered.
    bool printMode = false;
    // The number at the start of the copies text, not yet a count: one
    // beyond 16 bits fails only when the count is taken.
    double copiesRead = 0;
    bool printToFile = false;
    bool fast = false;

    // The copies count: copiesRead rounded half to even; error 6 beyond 16 bits.
    short Copies() const { return CopiesFromNumber(copiesRead); }
};

}  // namespace tessary
