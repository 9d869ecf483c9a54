// File copy, move, rename and delete handed to the shell, and start-up
// shortcuts made through the shell's recent-documents list.
//
// Each operation is one SHFileOperationW request. The request is built here
// as plain data (so what goes to the shell can be checked on its own) and
// then run; the shell shows whatever dialogs the flags allow, and its result
// decides the outcome.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <functional>
#include <string>

namespace tessary {

// Shell flag values (FOF_*) in the combinations the members use.
enum ShellFlags : WORD {
    kShellPlain = 0x0000,
    kShellSilentNoConfirmation = 0x0014,      // silent, no confirmation
    kShellUndoConfirm = 0x0040,               // undo (Recycle Bin for deletes), confirmation asked
    kShellUndoRenameOnCollision = 0x0048,     // undo, rename on collision
    kShellUndoNoConfirmation = 0x0050,        // undo, no confirmation
};

struct ShellRequest {
    UINT function = 0;         // FO_MOVE, FO_COPY, FO_DELETE or FO_RENAME
    std::wstring from;         // name list: names separated by NULs, ended by an empty name
    bool hasTo = false;        // a delete has no destination
    std::wstring to;
    WORD flags = 0;
    bool nulProgressTitle = false;  // a progress title holding one NUL character
};

ShellRequest RenameRequest(const std::wstring& from, const std::wstring& to);
ShellRequest MoveRequest(const std::wstring& source, const std::wstring& destination);
ShellRequest CopyRequest(const std::wstring& source, const std::wstring& destination);
ShellRequest DeleteRequest(const std::wstring& nameList, bool confirm);

// The flags of a move or copy: plain when the source already carries its
// own end mark (two NULs), else undo with rename on collision.
WORD MoveCopyFlags(const std::wstring& source);

// The delete list from a one-dimensional array of names. Upper bound 0 or
// less: element 0 alone, nothing appended. Otherwise every element from the
// lower to the upper bound followed by a NUL, then one more NUL; empty names
// are left out, as an empty name would end the list early. Throws the
// run-time's error for an unallocated or multi-dimensional array, a missing
// element 0, bounds outside the 16-bit range or an element that is no text.
std::wstring DeleteNameList(SAFEARRAY* names);

// Deletes the names of the array (see DeleteNameList) to the Recycle Bin,
// asking for confirmation when `confirm`. False without asking the shell
// when the list names nothing.
bool ShellDelete(HWND owner, SAFEARRAY* names, bool confirm);

// Runs a request with `owner` owning the shell's dialogs. True when the
// shell reports success and no operation was aborted (a declined
// confirmation, or one the shell could not ask, leaves the files alone).
// A list holding a name of MAX_PATH characters or more is not handed over.
bool RunShellRequest(HWND owner, const ShellRequest& request);

// Puts a shortcut to `file` (the bare name of a file in the current
// directory) into the Startup folder as "<name without its last four
// characters>.lnk": the shell records the file as a recent document, and the
// shortcut that makes in the Recent folder is moved to Startup and renamed,
// replacing a shortcut of that name. `folderSpecial` looks up a special
// folder (ending in "\", or empty). Nothing is touched when the name is
// refused or either folder is unknown.
bool ShellAdd(HWND owner, const std::wstring& file, const std::function<std::wstring(long)>& folderSpecial);

// The shortcut ShellAdd leaves: "<startup><file without its last four characters>.lnk".
std::wstring ShellAddStartupLink(const std::wstring& startup, const std::wstring& file);

// The two requests of ShellAdd once the folders are known.
ShellRequest ShellAddMoveRequest(const std::wstring& recent, const std::wstring& startup, const std::wstring& file);
ShellRequest ShellAddRenameRequest(const std::wstring& startup, const std::wstring& file);

}  // namespace tessary
