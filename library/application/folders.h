// Where the special, system, Windows and temporary folders are, which drive
// roots exist, short names, the folder or file part of a path, and whether a
// file or folder exists.
//
// The platform is asked through its 8-bit calls with buffers filled with
// spaces; what the platform wrote comes back followed by its NUL and the
// untouched spaces, which these functions cut off. Folder paths come back
// with a trailing "\", ready for a file name to be appended.
#pragma once
#include <string>

namespace tessary {

// The path of the special folder `csidl` with "\" appended (so a drive root
// ends in two of them), or empty when the platform has no path for it.
std::wstring FolderSpecial(long csidl);

std::wstring FolderSystem();   // ending in "\", or empty when the call fails
std::wstring FolderWindows();  // ending in "\", or empty when the call fails
std::wstring FolderTemp();     // ending in "\"; "\" alone when the call fails

// The drive roots, each followed by a NUL, and one more NUL at the end
// ("C:\<NUL>Z:\<NUL><NUL>"), for taking apart with StripNulls.
std::wstring DrivesAvailable();

// The short form of a path, or empty when there is none.
std::wstring ShortName(const std::wstring& fileName);

// The part of `path` after its last backslash, or up to and including it
// when `folderPart`; the last character is never taken as the separator.
std::wstring PathName(const std::wstring& path, bool folderPart);

// File mode (`file` given): does the folder of `file` hold an entry, file or
// folder, with its name (letter case aside)? A bare name is looked for in the
// root of the current drive. Folder mode (only `folder` given): does the
// folder pattern find any entry?
bool FileOrDirExists(const std::wstring& file, const std::wstring& folder);

// A folder path from a platform buffer: cut before its first NUL, then a
// "\" appended unless it already ends in one (trailing spaces aside).
std::wstring FolderFromBuffer(const std::wstring& buffer);

}  // namespace tessary
