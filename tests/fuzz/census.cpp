// Counting this process's resources, listing the keys around the scratch
// ones, comparing and restoring System.ini, and removing the scratch places.
#include "census.h"

#include <algorithm>
#include <cstdio>

#include "confinement.h"
#include "describe.h"
#include "support/resource_census.h"

namespace tessary::fuzz {
namespace {

// Keys the calls must leave alone, below HKEY_CURRENT_USER.
const wchar_t* const kSurroundingKeys[] = {L"", L"Software", L"Software\\Halvex",
                                           L"Software\\Microsoft\\Windows\\CurrentVersion\\Run"};
const wchar_t kSettingsRoot[] = L"Software\\Halvex";

bool KeyExists(const wchar_t* path) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::wstring SystemIniPath() {
    wchar_t folder[MAX_PATH];
    GetWindowsDirectoryW(folder, MAX_PATH);
    return std::wstring(folder) + L"\\System.ini";
}

std::string ReadWhole(const std::wstring& path) {
    std::string content;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return content;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) content.append(buffer, got);
    CloseHandle(file);
    return content;
}

void WriteWhole(const std::wstring& path, const std::string& content) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

// The lines of a text, each cut to 120 characters.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        out.push_back(text.substr(start, std::min<size_t>(end - start, 120)));
        start = end + 1;
    }
    return out;
}

}  // namespace

ResourceCount CountResources() { return {test::LiveKernelHandles(), test::LiveGdiObjects(), test::LiveThreadWindows()}; }

std::vector<std::wstring> Surroundings() {
    std::vector<std::wstring> names;
    for (const wchar_t* path : kSurroundingKeys) {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
        wchar_t name[16384];
        for (DWORD i = 0;; ++i) {
            DWORD length = 16384;
            if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            const std::wstring full = std::wstring(path) + L"\\" + std::wstring(name, length);
            // The scratch keys themselves, and the settings area they may make.
            if (full == kScratchKey || full == kSettingsRoot || full == kSettingsScratch) continue;
            names.push_back(full);
        }
        for (DWORD i = 0;; ++i) {
            DWORD length = 16384;
            if (RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            names.push_back(std::wstring(path) + L" value " + std::wstring(name, length));
        }
        RegCloseKey(key);
    }
    return names;
}

std::vector<uint64_t> Fingerprint() {
    std::vector<uint64_t> print;
    for (const wchar_t* path : kSurroundingKeys) {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
            print.push_back(~0ull);
            continue;
        }
        DWORD subkeys = 0, values = 0;
        FILETIME written = {};
        RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, &written);
        RegCloseKey(key);
        print.push_back((static_cast<uint64_t>(subkeys) << 32) | values);
        print.push_back((static_cast<uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime);
    }
    return print;
}

NameChanges Compare(const std::vector<std::wstring>& before, const std::vector<std::wstring>& after) {
    NameChanges changes;
    for (const std::wstring& name : after)
        if (std::find(before.begin(), before.end(), name) == before.end()) changes.made.push_back(name);
    for (const std::wstring& name : before)
        if (std::find(after.begin(), after.end(), name) == after.end()) changes.removed.push_back(name);
    return changes;
}

ScratchPlaces::ScratchPlaces() : settingsRootExisted_(KeyExists(kSettingsRoot)) {}

void ScratchPlaces::Remove() const {
    RegDeleteTreeW(HKEY_CURRENT_USER, kScratchKey);
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsScratch);
    for (const wchar_t* section : kIniSections) WritePrivateProfileStringW(section, nullptr, nullptr, L"System.ini");
    // HKCU\Software\Halvex goes too when the run made it and left it empty.
    if (settingsRootExisted_) return;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsRoot, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    DWORD subkeys = 1, values = 1;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    if (subkeys == 0 && values == 0) RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsRoot);
}

std::string ReadSystemIni() { return ReadWhole(SystemIniPath()); }

bool PutBackSystemIni(const std::string& before) {
    const std::string now = ReadWhole(SystemIniPath());
    if (now == before) return false;
    printf("ESCAPE: System.ini changed outside the scratch sections; put back as it was\n");
    const std::vector<std::string> was = Lines(before), is = Lines(now);
    int shown = 0;
    for (const std::string& line : is)
        if (std::find(was.begin(), was.end(), line) == was.end() && shown++ < 10)
            printf("  added:   %s\n", Narrow(std::wstring(line.begin(), line.end())).c_str());
    for (const std::string& line : was)
        if (std::find(is.begin(), is.end(), line) == is.end() && shown++ < 20)
            printf("  removed: %s\n", Narrow(std::wstring(line.begin(), line.end())).c_str());
    WriteWhole(SystemIniPath(), before);
    return true;
}

}  // namespace tessary::fuzz
