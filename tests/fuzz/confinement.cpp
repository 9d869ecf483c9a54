// The tables of members the fuzzer never calls and of parameters it only
// passes values from a pool, each with the reason.
#include "confinement.h"

namespace tessary::fuzz {
namespace {

// Members never called: they act on the desktop, on other processes, on the
// user's files or on shared system settings.
struct Exclusion {
    const wchar_t* cls;
    const wchar_t* member;
    INVOKEKIND kind;  // 0: every accessor
    const char* why;
};
const Exclusion kExclusions[] = {
    {L"xApplication", L"SendKey", INVOKEKIND(0), "types a key stroke into whatever window has the focus"},
    {L"xApplication", L"SendString", INVOKEKIND(0), "types key strokes into whatever window has the focus"},
    {L"xApplication", L"ShowMouse", INVOKEKIND(0), "shows or hides the desktop's mouse cursor"},
    {L"xApplication", L"MoveMe", INVOKEKIND(0), "starts a title-bar drag of any window handle"},
    {L"xApplication", L"AlwaysOnTop", INVOKEKIND(0), "pins or unpins any window handle"},
    {L"xApplication", L"ShellAdd", INVOKEKIND(0), "puts shortcuts into the user's Startup folder"},
    {L"xApplication", L"ShellRename", INVOKEKIND(0), "renames files on arbitrary paths"},
    {L"xApplication", L"ShellMove", INVOKEKIND(0), "moves files on arbitrary paths"},
    {L"xApplication", L"ShellCopy", INVOKEKIND(0), "copies files to arbitrary paths"},
    {L"xApplication", L"ShellDelete", INVOKEKIND(0), "deletes files on arbitrary paths (and may ask first)"},
    {L"xRegistry", L"CreateEXEAssociation", INVOKEKIND(0), "writes file associations below HKEY_CLASSES_ROOT"},
    {L"xMixer", L"Volume", INVOKE_PROPERTYPUT, "sets the system mixer's volume, shared with every program"},
    {L"xMixer", L"Mute", INVOKE_PROPERTYPUT, "mutes the system mixer, shared with every program"},
};

// Parameters that only ever receive values from a pool (in every wrapping:
// text, reference to text, reference to a variant holding text; never a value
// that converts to some other text), so that writes stay in scratch places
// that the run removes again. Besides these, the xRegistry object's ClassKey
// and SectionKey are set to HKEY_CURRENT_USER\Software\TessaryFuzz\... before
// every call, so that whatever earlier calls addressed, CreateKey, DeleteKey,
// DeleteValue and Value only ever touch the scratch key.
const Confinement kConfinements[] = {
    {L"xRegistry", L"RegSysSet", L"sClass", Pool::RootName, "always \"HKCU\""},
    {L"xRegistry", L"RegSysSet", L"sSectKey", Pool::ScratchKey, "keys below HKCU\\Software\\TessaryFuzz"},
    {L"xRegistry", L"RegSet", L"sSectKey", Pool::SettingsSection, "sections below HKCU\\Software\\Halvex\\TessaryFuzz"},
    {L"xRegistry", L"RegWinIni", L"sSection", Pool::IniSection, "System.ini sections named TessaryFuzz..."},
    {L"xRegistry", L"StartWithWindows", L"bSet", Pool::FalseOnly, "False or omitted: reads the Run key, never writes it"},
    {L"xPrinter", L"StartDoc", L"sOutFile", Pool::OutputFile, "omitted, empty (the test printer) or files in a scratch folder"},
};

}  // namespace

bool Excluded(const std::wstring& cls, const std::wstring& member, INVOKEKIND kind) {
    for (const Exclusion& e : kExclusions)
        if (cls == e.cls && member == e.member && (e.kind == 0 || e.kind == kind)) return true;
    return false;
}

const Confinement* ConfinementFor(const std::wstring& cls, const std::wstring& member, const std::wstring& param) {
    for (const Confinement& c : kConfinements)
        if (cls == c.cls && member == c.member && param == c.param) return &c;
    return nullptr;
}

}  // namespace tessary::fuzz
