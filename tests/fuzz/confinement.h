// What the fuzzer leaves alone, and what it only calls with safe values:
// the members it never calls, the parameters that only take values from a
// pool, and the scratch places those values point at (which the run removes
// again). The tables themselves are in confinement.cpp.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>

namespace tessary::fuzz {

// Where a confined parameter's values come from.
enum class Pool { RootName, ScratchKey, SettingsSection, IniSection, OutputFile, FalseOnly };

struct Confinement {
    const wchar_t* cls;
    const wchar_t* member;
    const wchar_t* param;
    Pool pool;
    const char* why;
};

// Whether an accessor of a member is never called.
bool Excluded(const std::wstring& cls, const std::wstring& member, INVOKEKIND kind);
// The confinement of a parameter, or null when it takes any value.
const Confinement* ConfinementFor(const std::wstring& cls, const std::wstring& member, const std::wstring& param);

// The scratch places, all below HKEY_CURRENT_USER or in System.ini.
inline constexpr wchar_t kScratchKey[] = L"Software\\TessaryFuzz";
inline constexpr wchar_t kSettingsScratch[] = L"Software\\Halvex\\TessaryFuzz";
inline constexpr const wchar_t* kIniSections[] = {L"TessaryFuzz", L"TessaryFuzz \x00FC\x00F1", L"TessaryFuzz x"};

}  // namespace tessary::fuzz
