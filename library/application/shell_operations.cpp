#include "application/shell_operations.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cwchar>

#include "frame/automation.h"
#include "frame/com_ptr.h"
#include "frame/dispatch.h"
#include "frame/errors.h"
#include "frame/handles.h"
#include "frame/system_dlls.h"
#include "frame/text.h"
#include "frame/variant_convert.h"

namespace tessary {
namespace {

// The loop index over the names is a 16-bit integer in the interface's
// contract: bounds outside that range are an overflow.
constexpr LONG kLowestIndex = -32768;
constexpr LONG kHighestIndex = 32767;

ShellRequest TwoNameRequest(UINT function, const std::wstring& from, const std::wstring& to, WORD flags) {
    ShellRequest request;
    request.function = function;
    request.from = from;
    request.hasTo = true;
    request.to = to;
    request.flags = flags;
    return request;
}

std::wstring ElementText(SAFEARRAY* items, LONG index) {
    Variant element;
    HRESULT hr = SafeArrayGetElement(items, &index, &element);
    if (hr == DISP_E_BADINDEX) ThrowRuntime(kSubscriptOutOfRange);
    if (FAILED(hr)) ThrowRuntime(kTypeMismatch);
    return VariantToText(*element.get());
}

// The existence test of ShellAdd: `file` (wildcards allowed, relative to the
// current directory) matches an entry that is a plain file, not a folder,
// volume label, hidden or system file.
bool MatchesPlainFile(const std::wstring& file) {
    WIN32_FIND_DATAW entry;
    UniqueFind search(FindFirstFileW(file.c_str(), &entry));
    if (!search) return false;
    const DWORD kVolumeLabel = 0x8;  // the old DOS attribute, still excluded for safety
    const DWORD excluded = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | kVolumeLabel;
    do {
        if (!(entry.dwFileAttributes & excluded)) return true;
    } while (FindNextFileW(search.get(), &entry));
    return false;
}

// Every name of a list, up to the empty name that ends it, is shorter than
// MAX_PATH, as given and made full (a relative name gets the current folder
// in front). The shell's file operations cannot take longer names, and Wine's
// shell overruns its path buffers on them (a crash for a name of about 1,000
// characters, a false success or a hang for a relative name that only grows
// too long once made full).
bool NamesFit(const wchar_t* list) {
    for (const wchar_t* name = list; *name; name += wcslen(name) + 1) {
        if (wcslen(name) >= MAX_PATH) return false;
        wchar_t full[MAX_PATH];
        const DWORD length = GetFullPathNameW(name, MAX_PATH, full, nullptr);
        if (length == 0 || length >= MAX_PATH) return false;
    }
    return true;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring FullPath(const std::wstring& file) {
    wchar_t full[MAX_PATH];
    DWORD n = GetFullPathNameW(file.c_str(), MAX_PATH, full, nullptr);
    return n > 0 && n < MAX_PATH ? std::wstring(full, n) : file;
}

// A shell shortcut at `link` to `target`.
void WriteShortcut(const std::wstring& link, const std::wstring& target) {
    ComPtr<IShellLinkW> shortcut;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(shortcut.put()))))
        return;
    ComPtr<IPersistFile> file;
    if (FAILED(shortcut->SetPath(target.c_str())) ||
        FAILED(shortcut->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))))
        return;
    file->Save(link.c_str(), TRUE);
}

}  // namespace

WORD MoveCopyFlags(const std::wstring& source) {
    bool endMarked = source.size() >= 2 && source[source.size() - 1] == L'\0' && source[source.size() - 2] == L'\0';
    return endMarked ? kShellPlain : kShellUndoRenameOnCollision;
}

ShellRequest RenameRequest(const std::wstring& from, const std::wstring& to) {
    return TwoNameRequest(FO_RENAME, from, to, kShellUndoConfirm);
}

ShellRequest MoveRequest(const std::wstring& source, const std::wstring& destination) {
    return TwoNameRequest(FO_MOVE, source, destination, MoveCopyFlags(source));
}

ShellRequest CopyRequest(const std::wstring& source, const std::wstring& destination) {
    return TwoNameRequest(FO_COPY, source, destination, MoveCopyFlags(source));
}

ShellRequest DeleteRequest(const std::wstring& nameList, bool confirm) {
    ShellRequest request;
    request.function = FO_DELETE;
    request.from = nameList;
    request.flags = confirm ? kShellUndoConfirm : kShellUndoNoConfirmation;
    request.nulProgressTitle = true;
    return request;
}

std::wstring DeleteNameList(SAFEARRAY* names) {
    if (!names || SafeArrayGetDim(names) != 1) ThrowRuntime(kSubscriptOutOfRange);
    VARTYPE type = VT_EMPTY;
    if (FAILED(SafeArrayGetVartype(names, &type))) ThrowRuntime(kTypeMismatch);
    SafeArray asVariants;
    SAFEARRAY* items = names;
    if (type != VT_VARIANT) {
        asVariants.reset(ConvertArray(names, VT_VARIANT));
        items = asVariants.get();
    }
    LONG lower = 0, upper = 0;
    if (FAILED(SafeArrayGetLBound(items, 1, &lower)) || FAILED(SafeArrayGetUBound(items, 1, &upper)))
        ThrowRuntime(kSubscriptOutOfRange);

    if (upper <= 0) return ElementText(items, 0);
    if (upper > kHighestIndex || lower < kLowestIndex) ThrowRuntime(kOverflow);
    std::wstring list;
    for (LONG i = lower; i <= upper; ++i) {
        std::wstring name = ElementText(items, i);
        if (name.empty()) continue;  // would read as the end of the list
        list += name;
        list += L'\0';
    }
    list += L'\0';
    return list;
}

bool ShellDelete(HWND owner, SAFEARRAY* names, bool confirm) {
    std::wstring list = DeleteNameList(names);
    // A list whose first name is empty names nothing; the shell is not asked.
    if (list.empty() || list[0] == L'\0') return false;
    return RunShellRequest(owner, DeleteRequest(list, confirm));
}

bool RunShellRequest(HWND owner, const ShellRequest& request) {
    // Each list followed by two NULs: a single name given without an end
    // mark of its own still reads as a list of one.
    const std::wstring from = NameList(request.from);
    const std::wstring to = NameList(request.to);
    const std::wstring title = NameList(std::wstring(1, L'\0'));
    if (!NamesFit(from.c_str()) || (request.hasTo && !NamesFit(to.c_str()))) return false;
    SHFILEOPSTRUCTW operation = {};
    operation.hwnd = owner;
    operation.wFunc = request.function;
    operation.pFrom = from.c_str();
    operation.pTo = request.hasTo ? to.c_str() : nullptr;
    operation.fFlags = request.flags;
    operation.lpszProgressTitle = request.nulProgressTitle ? title.c_str() : nullptr;
    int result = delayed::SHFileOperationW(&operation);
    // A confirmation the user declined (or that could not be shown) returns
    // 0 too; only the aborted flag tells that the files were left alone.
    return result == 0 && !operation.fAnyOperationsAborted;
}

ShellRequest ShellAddMoveRequest(const std::wstring& recent, const std::wstring& startup, const std::wstring& file) {
    return TwoNameRequest(FO_MOVE, recent + file + L".lnk" + L'\0', startup, kShellSilentNoConfirmation);
}

std::wstring ShellAddStartupLink(const std::wstring& startup, const std::wstring& file) {
    // The last four characters go whatever they are: a three-letter extension with its dot.
    return startup + file.substr(0, file.size() >= 4 ? file.size() - 4 : 0) + L".lnk";
}

ShellRequest ShellAddRenameRequest(const std::wstring& startup, const std::wstring& file) {
    const std::wstring twoNuls(2, L'\0');
    return TwoNameRequest(FO_RENAME, startup + file + L".lnk" + twoNuls, ShellAddStartupLink(startup, file) + twoNuls,
                          kShellSilentNoConfirmation);
}

bool ShellAdd(HWND owner, const std::wstring& file, const std::function<std::wstring(long)>& folderSpecial) {
    // Refused before anything is touched: a name too short to lose its
    // four-character extension, a name with a NUL (the shell would read the
    // move list as two names), or wildcards (the shell would move and rename
    // every matching shortcut in the Recent and Startup folders).
    if (file.size() < 4 || file.find(L'\0') != std::wstring::npos ||
        file.find_first_of(L"*?") != std::wstring::npos)
        return false;
    const std::wstring startup = folderSpecial(CSIDL_STARTUP);
    const std::wstring recent = folderSpecial(CSIDL_RECENT);
    if (!MatchesPlainFile(file) || startup.empty() || recent.empty()) return false;

    // The shell names its shortcut "<file>.lnk" only while no shortcut of
    // that name is there (Wine numbers a new one "<file> (2).lnk"), and then
    // an older shortcut would be moved instead: it goes first.
    const std::wstring recentLink = recent + file + L".lnk";
    DeleteFileW(recentLink.c_str());
    delayed::SHAddToRecentDocs(SHARD_PATHW, file.c_str());
    // The shortcut the next steps move is written here as well: where recent
    // documents are not recorded (a policy can turn them off) there is none,
    // and a shell that records the document through the code page (Wine's
    // does) points it at another name.
    WriteShortcut(recentLink, FullPath(file));

    RunShellRequest(owner, ShellAddMoveRequest(recent, startup, file));  // the rename below tells
    // A shortcut of the final name from an earlier call would make the rename
    // fail and leave two start-up entries: the new one replaces it.
    if (FileExists(startup + file + L".lnk")) DeleteFileW(ShellAddStartupLink(startup, file).c_str());
    return RunShellRequest(owner, ShellAddRenameRequest(startup, file));
}

}  // namespace tessary
