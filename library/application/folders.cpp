#include "application/folders.h"

#include <windows.h>
#include <shlobj.h>

#include <memory>

#include "application/string_cleanup.h"
#include "frame/handles.h"
#include "frame/system_dlls.h"

namespace tessary {
namespace {

// Buffer sizes in characters, as the platform calls get them.
constexpr int kFolderBuffer = 255;
constexpr int kSpecialFolderBuffer = MAX_PATH;  // SHGetPathFromIDListW writes up to MAX_PATH
// Room for a root for every drive letter plus the closing NUL, so that a
// machine with many drives still gets its list rather than nothing.
constexpr int kDriveBuffer = 26 * 4 + 1;

struct ItemIdListFree {
    void operator()(ITEMIDLIST* list) const { CoTaskMemFree(list); }
};
using ItemIdList = std::unique_ptr<ITEMIDLIST, ItemIdListFree>;

std::wstring Lowered(std::wstring text) {
    if (!text.empty()) CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

// GetSystemDirectoryW and GetWindowsDirectoryW: 0 is a failure, and so is a
// result of the buffer size or more (the size the folder would need; nothing
// was written).
std::wstring SystemFolder(UINT(WINAPI* call)(LPWSTR, UINT)) {
    std::wstring buffer(kFolderBuffer, L' ');
    UINT n = call(&buffer[0], kFolderBuffer);
    if (n == 0 || n >= static_cast<UINT>(kFolderBuffer)) return std::wstring();
    return FolderFromBuffer(buffer);
}

}  // namespace

std::wstring FolderFromBuffer(const std::wstring& buffer) {
    std::wstring cut = StripTerminator(buffer);
    std::wstring trimmed = cut.substr(0, cut.find_last_not_of(L' ') + 1);
    if (trimmed.empty() || trimmed.back() != L'\\') return trimmed + L'\\';
    return cut;
}

std::wstring FolderSpecial(long csidl) {
    ITEMIDLIST* raw = nullptr;
    HRESULT hr = delayed::SHGetSpecialFolderLocation(GetDesktopWindow(), static_cast<int>(csidl), &raw);
    ItemIdList list(raw);
    if (hr != S_OK || !list) return std::wstring();
    std::wstring buffer(kSpecialFolderBuffer, L' ');
    if (!delayed::SHGetPathFromIDListW(list.get(), &buffer[0])) return std::wstring();
    // The backslash goes on without looking: callers append names directly,
    // and a drive root therefore ends in two backslashes.
    return StripTerminator(buffer) + L'\\';
}

std::wstring FolderSystem() { return SystemFolder(&GetSystemDirectoryW); }

std::wstring FolderWindows() { return SystemFolder(&GetWindowsDirectoryW); }

std::wstring FolderTemp() {
    std::wstring buffer(kFolderBuffer, L' ');
    DWORD n = GetTempPathW(kFolderBuffer, &buffer[0]);
    // A failed call, or one whose path does not fit, leaves no usable text:
    // the buffer counts as untouched spaces, which give "\".
    if (n == 0 || n >= static_cast<DWORD>(kFolderBuffer)) buffer.assign(kFolderBuffer, L' ');
    return FolderFromBuffer(buffer);
}

std::wstring DrivesAvailable() {
    std::wstring buffer(kDriveBuffer, L' ');
    GetLogicalDriveStringsW(kDriveBuffer, &buffer[0]);  // writes nothing when the list does not fit
    return StripBlanks(buffer);
}

std::wstring ShortName(const std::wstring& fileName) {
    // The platform would read the name up to an embedded NUL: another path.
    if (fileName.find(L'\0') != std::wstring::npos) return std::wstring();
    std::wstring buffer(kFolderBuffer, L' ');
    DWORD n = GetShortPathNameW(fileName.c_str(), &buffer[0], kFolderBuffer);
    // 0 is a failure; a result of the buffer size or more is the room the
    // short form would need, so it was not written.
    if (n == 0 || n >= static_cast<DWORD>(kFolderBuffer)) return std::wstring();
    return buffer.substr(0, n);
}

std::wstring PathName(const std::wstring& path, bool folderPart) {
    if (path.size() < 2) return path;
    size_t separator = path.find_last_of(L'\\', path.size() - 2);
    if (separator == std::wstring::npos) return path;
    return folderPart ? path.substr(0, separator + 1) : path.substr(separator + 1);
}

bool FileOrDirExists(const std::wstring& file, const std::wstring& folder) {
    if (file.empty() && folder.empty()) return false;
    const bool fileMode = !file.empty();  // with both given, the folder is ignored
    std::wstring directory = folder;
    std::wstring name;
    if (fileMode) {
        size_t separator = file.rfind(L'\\');
        directory = separator == std::wstring::npos ? std::wstring() : file.substr(0, separator + 1);
        name = separator == std::wstring::npos ? file : file.substr(separator + 1);
    }
    // An embedded NUL would cut the pattern short and search some other
    // folder; no entry's name holds a NUL either.
    if (directory.find(L'\0') != std::wstring::npos || name.find(L'\0') != std::wstring::npos) return false;
    if (directory.empty() || directory.back() != L'\\') directory += L'\\';  // "" is the current drive's root

    WIN32_FIND_DATAW entry;
    UniqueFind search(FindFirstFileW((directory + L"*.*").c_str(), &entry));
    if (!search) return false;
    if (!fileMode) return true;
    const std::wstring wanted = Lowered(name);
    do {
        const std::wstring found = entry.cFileName;
        if (found != L"." && found != L".." && Lowered(found) == wanted) return true;
    } while (FindNextFileW(search.get(), &entry));
    return false;
}

}  // namespace tessary
