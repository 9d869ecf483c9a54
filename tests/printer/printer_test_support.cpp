#include "printer_test_support.h"

#include <winspool.h>

#include <cctype>
#include <cstdio>

#include "support/test_support.h"

namespace tessary::test {

bool TestPrintersInstalled() {
    bool letter = false, a4 = false;
    DWORD needed = 0, returned = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 1, nullptr, 0, &needed, &returned);
    if (needed == 0) return false;
    std::vector<DWORD> buffer(needed / sizeof(DWORD) + 1);
    if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 1, reinterpret_cast<BYTE*>(buffer.data()), needed, &needed,
                       &returned))
        return false;
    const auto* info = reinterpret_cast<const PRINTER_INFO_1A*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i) {
        std::string name = info[i].pName ? info[i].pName : "";
        letter = letter || name == "Proof Letter";
        a4 = a4 || name == "Proof A4";
    }
    return letter && a4;
}

std::wstring OutputDir() {
    std::wstring dir = BinDir() + L"..\\printer-output\\";
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

std::string UnixPath(const std::wstring& windowsPath) {
    // The build tree is reached through Z:, Wine's drive for "/".
    wchar_t full[MAX_PATH];
    GetFullPathNameW(windowsPath.c_str(), MAX_PATH, full, nullptr);
    std::wstring path(full);
    if (path.size() >= 2 && (path[0] == L'Z' || path[0] == L'z') && path[1] == L':') path = path.substr(2);
    std::string out;
    for (wchar_t c : path) out += c == L'\\' ? '/' : static_cast<char>(c);
    return out;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadFile(const std::wstring& path) {
    std::string content;
    if (FILE* f = _wfopen(path.c_str(), L"rb")) {
        char buffer[65536];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) content.append(buffer, n);
        fclose(f);
    }
    return content;
}

namespace {

const char kGhostscript[] = "/usr/bin/gs";

// Runs a shell command line as a Unix process (Wine starts Unix programs as
// well) and waits for it. A Unix process's handle does not tell when it
// ends, so the command leaves a marker file behind when it is done.
bool RunUnixShell(const std::string& command, const std::wstring& marker) {
    DeleteFileW(marker.c_str());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string line = "/bin/sh -c \"" + command + "; touch " + UnixPath(marker) + "\"";
    if (!CreateProcessA("/bin/sh", &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int waited = 0; waited < 60000; waited += 50) {
        if (FileExists(marker)) return true;
        Sleep(50);
    }
    return false;
}

bool ReadPpm(const std::string& bytes, Image* image) {
    // P6, then width, height and maximum value, each after white space or a
    // comment line; one white-space byte, then the pixels.
    size_t at = 0;
    int numbers[3];
    if (bytes.compare(0, 2, "P6") != 0) return false;
    at = 2;
    for (int& number : numbers) {
        for (;;) {
            while (at < bytes.size() && isspace(static_cast<unsigned char>(bytes[at]))) ++at;
            if (at < bytes.size() && bytes[at] == '#') {
                while (at < bytes.size() && bytes[at] != '\n') ++at;
                continue;
            }
            break;
        }
        number = 0;
        size_t digits = at;
        while (at < bytes.size() && isdigit(static_cast<unsigned char>(bytes[at])))
            number = number * 10 + (bytes[at++] - '0');
        if (at == digits) return false;
    }
    if (numbers[2] != 255) return false;
    size_t start = at + 1;
    size_t size = static_cast<size_t>(numbers[0]) * numbers[1] * 3;
    if (bytes.size() < start + size) return false;
    image->width = numbers[0];
    image->height = numbers[1];
    image->pixels.assign(bytes.begin() + start, bytes.begin() + start + size);
    return true;
}

}  // namespace

bool GhostscriptAvailable() {
    return FileExists(L"Z:\\usr\\bin\\gs");
}

std::vector<Image> RenderPages(const std::wstring& psFile) {
    std::vector<Image> pages;
    if (!GhostscriptAvailable()) return pages;
    std::wstring stem = psFile.substr(0, psFile.find_last_of(L'.'));
    for (int i = 1; i < 100; ++i) DeleteFileW((stem + L"-" + std::to_wstring(i) + L".ppm").c_str());
    if (!RunUnixShell(std::string(kGhostscript) + " -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=ppmraw -r72 -sOutputFile=" +
                          UnixPath(stem) + "-%d.ppm " + UnixPath(psFile),
                      stem + L".rendered"))
        return pages;
    for (int i = 1; i < 100; ++i) {
        std::wstring page = stem + L"-" + std::to_wstring(i) + L".ppm";
        Image image;
        if (!FileExists(page) || !ReadPpm(ReadFile(page), &image)) break;
        pages.push_back(std::move(image));
    }
    return pages;
}

}  // namespace tessary::test
