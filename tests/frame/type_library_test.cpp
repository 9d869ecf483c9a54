// The published interface, checked member by member against the type library
// embedded in Tessary.dll: identifiers, versions, slot order (vtable offsets),
// accessor kinds, dispatch ids, enumerations, optional-parameter defaults and
// the help strings an Object Browser shows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "support/test_support.h"

using namespace tessary;
using namespace tessary::test;

namespace {

enum Kind { Get, Let, Method };

// Each vtable slot holds one pointer: 4 bytes on x86, 8 on x64; the seven
// slots of IDispatch come first.
constexpr int kSlotSize = static_cast<int>(sizeof(void*));

struct Member {
    const wchar_t* name;
    Kind kind;
    DISPID id;
};

// Slot order and dispatch ids of _xRegistry, as published.
const Member kRegistryMembers[] = {
    {L"KeyExists", Get, 0x68030006},
    {L"CreateKey", Method, 0x60030007},
    {L"DeleteKey", Method, 0x60030008},
    {L"DeleteValue", Method, 0x60030009},
    {L"Value", Get, 0x68030005},
    {L"Value", Let, 0x68030005},
    {L"EnumerateValues", Method, 0x6003000A},
    {L"EnumerateSections", Method, 0x6003000B},
    {L"CreateEXEAssociation", Method, 0x6003000C},
    {L"ValueType", Get, 0x68030004},
    {L"ValueType", Let, 0x68030004},
    {L"ClassKey", Get, 0x68030003},
    {L"RegGet", Method, 0x6003000D},
    {L"RegSet", Method, 0x6003000E},
    {L"StartWithWindows", Method, 0x6003000F},
    {L"RegSysGet", Method, 0x60030010},
    {L"RegSysSet", Method, 0x60030011},
    {L"RegWinIni", Method, 0x60030012},
    {L"ClassKey", Let, 0x68030003},
    {L"SectionKey", Get, 0x68030002},
    {L"SectionKey", Let, 0x68030002},
    {L"ValueKey", Get, 0x68030001},
    {L"ValueKey", Let, 0x68030001},
    {L"Default", Get, 0x68030000},
    {L"Default", Let, 0x68030000},
};
// Slot order and dispatch ids of _xPrinter, as published.
const Member kPrinterMembers[] = {
    {L"Connected", Get, 0x40030000},
    {L"Connected", Let, 0x40030000},
    {L"OK", Get, 0x40030001},
    {L"OK", Let, 0x40030001},
    {L"Copies", Get, 0x40030002},
    {L"Copies", Let, 0x40030002},
    {L"PrintToFile", Get, 0x40030003},
    {L"PrintToFile", Let, 0x40030003},
    {L"Fast", Get, 0x40030004},
    {L"Fast", Let, 0x40030004},
    {L"WidthDot", Get, 0x6803001C},
    {L"HeightDot", Get, 0x6803001B},
    {L"ScaleWidth", Get, 0x6803001A},
    {L"ScaleWidth", Let, 0x6803001A},
    {L"ScaleHeight", Get, 0x68030019},
    {L"ScaleHeight", Let, 0x68030019},
    {L"OffsetX", Get, 0x68030018},
    {L"OffsetY", Get, 0x68030017},
    {L"PageWidth", Get, 0x68030016},
    {L"PageHeight", Get, 0x68030015},
    {L"IsPrinter", Get, 0x68030014},
    {L"CurrentX", Get, 0x68030013},
    {L"CurrentX", Let, 0x68030013},
    {L"CurrentY", Get, 0x68030012},
    {L"CurrentY", Let, 0x68030012},
    {L"FontBold", Let, 0x68030011},
    {L"FontBold", Get, 0x68030011},
    {L"FontSize", Let, 0x68030010},
    {L"FontSize", Get, 0x68030010},
    {L"FontName", Let, 0x6803000F},
    {L"FontName", Get, 0x6803000F},
    {L"FontTransparent", Let, 0x6803000E},
    {L"FontTransparent", Get, 0x6803000E},
    {L"PrintJobID", Get, 0x6803000D},
    {L"pLine", Method, 0x6003001E},
    {L"PaintPicture", Method, 0x6003001F},
    {L"pPrint", Method, 0x60030020},
    {L"pPrintWrapped", Method, 0x60030021},
    {L"DrawWidth", Let, 0x6803000C},
    {L"DrawWidth", Get, 0x6803000C},
    {L"DrawStyle", Let, 0x6803000B},
    {L"DrawStyle", Get, 0x6803000B},
    {L"DrawColor", Let, 0x6803000A},
    {L"DrawColor", Get, 0x6803000A},
    {L"DrawMode", Get, 0x68030009},
    {L"DrawMode", Let, 0x68030009},
    {L"ForeColor", Get, 0x68030008},
    {L"ForeColor", Let, 0x68030008},
    {L"FillColor", Let, 0x68030007},
    {L"FillColor", Get, 0x68030007},
    {L"FillStyle", Let, 0x68030006},
    {L"FillStyle", Get, 0x68030006},
    {L"FillHatch", Let, 0x68030005},
    {L"FillHatch", Get, 0x68030005},
    {L"pCircle", Method, 0x60030022},
    {L"pRectangle", Method, 0x60030023},
    {L"pFrame", Method, 0x60030024},
    {L"EndDoc", Method, 0x60030025},
    {L"EndPage", Method, 0x60030026},
    {L"StartDoc", Method, 0x60030027},
    {L"StartPage", Method, 0x60030028},
    {L"TextHeight", Method, 0x60030029},
    {L"TextWidth", Method, 0x6003002A},
    {L"PrintInit", Method, 0x6003002C},
    {L"MMToLogY", Method, 0x6003002D},
    {L"MMToLogX", Method, 0x6003002E},
    {L"LogToMMY", Method, 0x6003002F},
    {L"LogToMMX", Method, 0x60030030},
    {L"MMToDOTX", Method, 0x60030031},
    {L"MMToDOTY", Method, 0x60030032},
    {L"LogToDOTX", Method, 0x60030033},
    {L"LogToDOTY", Method, 0x60030034},
    {L"DotToLogX", Method, 0x60030035},
    {L"ShowPrinter", Method, 0x60030036},
    {L"DotToLogY", Method, 0x60030037},
    {L"PageCenterX", Get, 0x68030004},
    {L"PageCenterY", Get, 0x68030003},
    {L"hdc", Get, 0x68030002},
    {L"DeviceName", Get, 0x68030001},
    {L"LogToInY", Method, 0x60030038},
    {L"LogToInX", Method, 0x60030039},
    {L"Orientation", Get, 0x68030000},
    {L"Orientation", Let, 0x68030000},
    {L"A_Description", Method, 0x6003003A},
};
// Slot order and dispatch ids of _xApplication, as published.
const Member kApplicationMembers[] = {
    {L"SendKey", Method, 0x6003000A},
    {L"ShowMouse", Method, 0x6003000B},
    {L"FolderSpecial", Get, 0x68030008},
    {L"DrivesAvailable", Get, 0x68030007},
    {L"FolderSystem", Get, 0x68030006},
    {L"FolderTemp", Get, 0x68030005},
    {L"FolderWindows", Get, 0x68030004},
    {L"StripTerminator", Method, 0x6003000C},
    {L"StripNulls", Method, 0x6003000D},
    {L"StripItem", Method, 0x6003000E},
    {L"ShortName", Get, 0x68030003},
    {L"MoveMe", Method, 0x6003000F},
    {L"FileOrDirExists", Get, 0x68030002},
    {L"ShellAdd", Method, 0x60030010},
    {L"ShellRename", Method, 0x60030011},
    {L"ShellMove", Method, 0x60030012},
    {L"ShellCopy", Method, 0x60030013},
    {L"ShellDelete", Method, 0x60030014},
    {L"SendString", Method, 0x60030015},
    {L"winOS", Get, 0x68030001},
    {L"PathName", Get, 0x68030000},
    {L"AlwaysOnTop", Method, 0x60030016},
    {L"StripBlanks", Method, 0x60030017},
};
// Slot order and dispatch ids of _xMixer, as published.
const Member kMixerMembers[] = {
    {L"bMix", Get, 0x40030000},
    {L"bMix", Let, 0x40030000},
    {L"bMixOpen", Get, 0x40030001},
    {L"bMixOpen", Let, 0x40030001},
    {L"MaxSources", Get, 0x40030002},
    {L"MaxSources", Let, 0x40030002},
    {L"idMix", Get, 0x40030003},
    {L"idMix", Let, 0x40030003},
    {L"idS", Get, 0x40030004},
    {L"idS", Let, 0x40030004},
    {L"bMixVol", Get, 0x40030005},
    {L"bMixVol", Let, 0x40030005},
    {L"bMixMute", Get, 0x40030006},
    {L"bMixMute", Let, 0x40030006},
    {L"Details", Method, 0x60030007},
    {L"Source", Get, 0x68030003},
    {L"Mute", Get, 0x68030002},
    {L"Mute", Let, 0x68030002},
    {L"Volume", Get, 0x68030001},
    {L"Volume", Let, 0x68030001},
    {L"Mixer", Get, 0x68030000},
    {L"Mixer", Let, 0x68030000},
    {L"A_Description", Method, 0x60030008},
};

INVOKEKIND ToInvokeKind(Kind kind) {
    switch (kind) {
    case Get: return INVOKE_PROPERTYGET;
    case Let: return INVOKE_PROPERTYPUT;
    default: return INVOKE_FUNC;
    }
}

class TypeLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, LoadTypeLibEx((BinDir() + L"Tessary.dll").c_str(), REGKIND_NONE, library_.put()));
    }

    ComPtr<ITypeInfo> InfoOf(const char* guid) {
        GUID id;
        std::wstring text(guid, guid + strlen(guid));
        CLSIDFromString(const_cast<LPOLESTR>(text.c_str()), &id);
        ComPtr<ITypeInfo> info;
        library_->GetTypeInfoOfGuid(id, info.put());
        return info;
    }

    // The vtable view of a dual interface.
    ComPtr<ITypeInfo> VtableView(const char* guid) {
        ComPtr<ITypeInfo> dispatch = InfoOf(guid);
        ComPtr<ITypeInfo> view;
        HREFTYPE ref = 0;
        if (dispatch && SUCCEEDED(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)))
            dispatch->GetRefTypeInfo(ref, view.put());
        return view;
    }

    void CheckInterface(const char* guid, const wchar_t* name, const Member* members, size_t count) {
        ComPtr<ITypeInfo> dispatch = InfoOf(guid);
        ASSERT_TRUE(dispatch) << name;
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(S_OK, dispatch->GetTypeAttr(&attr));
        EXPECT_EQ(TKIND_DISPATCH, attr->typekind) << name;
        EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL) << name;
        EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FHIDDEN) << name;
        EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FNONEXTENSIBLE) << name;
        EXPECT_EQ(1, attr->wMajorVerNum);
        EXPECT_EQ(0, attr->wMinorVerNum);
        dispatch->ReleaseTypeAttr(attr);
        Bstr docName;
        dispatch->GetDocumentation(MEMBERID_NIL, docName.put(), nullptr, nullptr, nullptr);
        EXPECT_EQ(std::wstring(name), ToWide(docName.get()));

        ComPtr<ITypeInfo> view = VtableView(guid);
        ASSERT_TRUE(view);
        ASSERT_EQ(S_OK, view->GetTypeAttr(&attr));
        EXPECT_EQ(count, attr->cFuncs) << name;
        EXPECT_EQ(kSlotSize * (7 + count), attr->cbSizeVft) << name;
        view->ReleaseTypeAttr(attr);

        for (size_t slot = 0; slot < count; ++slot) {
            FUNCDESC* desc = nullptr;
            ASSERT_EQ(S_OK, view->GetFuncDesc(static_cast<UINT>(slot), &desc));
            Bstr memberName;
            view->GetDocumentation(desc->memid, memberName.put(), nullptr, nullptr, nullptr);
            std::wstring where = std::wstring(name) + L" slot " + std::to_wstring(slot + 1);
            EXPECT_EQ(std::wstring(members[slot].name), ToWide(memberName.get())) << where.c_str();
            EXPECT_EQ(members[slot].id, desc->memid) << where.c_str();
            EXPECT_EQ(ToInvokeKind(members[slot].kind), desc->invkind) << where.c_str();
            EXPECT_EQ(static_cast<SHORT>(kSlotSize * (7 + slot)), desc->oVft) << where.c_str();
            EXPECT_EQ(CC_STDCALL, desc->callconv) << where.c_str();
            view->ReleaseFuncDesc(desc);
        }
    }

    // The flags and default of parameter `index` of the member at `slot` (0-based).
    void CheckOptional(const char* guid, UINT slot, int index, VARTYPE defaultType, const wchar_t* defaultText) {
        ComPtr<ITypeInfo> view = VtableView(guid);
        FUNCDESC* desc = nullptr;
        ASSERT_EQ(S_OK, view->GetFuncDesc(slot, &desc));
        const PARAMDESC& param = desc->lprgelemdescParam[index].paramdesc;
        EXPECT_TRUE(param.wParamFlags & PARAMFLAG_FOPT) << "slot " << slot;
        if (defaultType == VT_EMPTY) {
            EXPECT_FALSE(param.wParamFlags & PARAMFLAG_FHASDEFAULT) << "slot " << slot;
        } else {
            ASSERT_TRUE(param.wParamFlags & PARAMFLAG_FHASDEFAULT) << "slot " << slot;
            Variant text;
            VariantChangeType(text.get(), &param.pparamdescex->varDefaultValue, 0, VT_BSTR);
            EXPECT_EQ(defaultType, V_VT(&param.pparamdescex->varDefaultValue)) << "slot " << slot;
            EXPECT_EQ(std::wstring(defaultText), ToWide(V_BSTR(text.get()))) << "slot " << slot;
        }
        view->ReleaseFuncDesc(desc);
    }

    ComPtr<ITypeLib> library_;
};

TEST_F(TypeLibraryTest, LibraryIdentity) {
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(S_OK, library_->GetLibAttr(&attr));
    GUID expected;
    CLSIDFromString(const_cast<LPOLESTR>(L"{22973548-B4DA-4952-B973-8037043A7355}"), &expected);
    EXPECT_TRUE(IsEqualGUID(expected, attr->guid));
    EXPECT_EQ(1, attr->wMajorVerNum);
    EXPECT_EQ(0, attr->wMinorVerNum);
    EXPECT_EQ(0u, attr->lcid);
    // The platform the type library was built for is the DLL's own.
    EXPECT_EQ(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32, attr->syskind);
    library_->ReleaseTLibAttr(attr);
    Bstr name, help;
    library_->GetDocumentation(-1, name.put(), help.put(), nullptr, nullptr);
    EXPECT_EQ(L"Tessary", ToWide(name.get()));
    EXPECT_EQ(L"Halvex Application Control", ToWide(help.get()));
}

TEST_F(TypeLibraryTest, ClassesAndTheirDefaultInterfaces) {
    struct Class { const char* clsid; const wchar_t* name; const char* iid; };
    const Class classes[] = {
        {"{6F66F400-F97F-4B82-B89F-F710174D4710}", L"xRegistry", "{D2BF0D3D-99DD-4BFE-9267-8045CD72F59C}"},
        {"{6C1C3478-DF1B-44F8-8B78-65B64160AC94}", L"xPrinter", "{8F11B00E-2A97-4206-9EBD-D97C29193384}"},
        {"{6C4BFA14-BF7D-452C-9E3D-BCF510127DE9}", L"xApplication", "{D18B96F9-774D-4E0D-B4B3-0CD2AFBF071E}"},
        {"{B4593437-8429-470F-844E-A887657B198E}", L"xMixer", "{73881A32-4FDF-4941-857B-3BCD96745320}"},
    };
    for (const Class& c : classes) {
        ComPtr<ITypeInfo> info = InfoOf(c.clsid);
        ASSERT_TRUE(info) << c.clsid;
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
        EXPECT_EQ(TKIND_COCLASS, attr->typekind);
        EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCANCREATE);
        EXPECT_EQ(1, attr->cImplTypes);
        info->ReleaseTypeAttr(attr);
        Bstr name;
        info->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr);
        EXPECT_EQ(std::wstring(c.name), ToWide(name.get()));
        INT flags = 0;
        info->GetImplTypeFlags(0, &flags);
        EXPECT_TRUE(flags & IMPLTYPEFLAG_FDEFAULT);
        HREFTYPE ref = 0;
        info->GetRefTypeOfImplType(0, &ref);
        ComPtr<ITypeInfo> iface;
        ASSERT_EQ(S_OK, info->GetRefTypeInfo(ref, iface.put()));
        ASSERT_EQ(S_OK, iface->GetTypeAttr(&attr));
        GUID expected;
        std::wstring iid(c.iid, c.iid + strlen(c.iid));
        CLSIDFromString(const_cast<LPOLESTR>(iid.c_str()), &expected);
        EXPECT_TRUE(IsEqualGUID(expected, attr->guid)) << c.iid;
        iface->ReleaseTypeAttr(attr);
    }
}

TEST_F(TypeLibraryTest, RegistryMembersInSlotOrder) {
    CheckInterface("{D2BF0D3D-99DD-4BFE-9267-8045CD72F59C}", L"_xRegistry", kRegistryMembers, 25);
}
TEST_F(TypeLibraryTest, PrinterMembersInSlotOrder) {
    CheckInterface("{8F11B00E-2A97-4206-9EBD-D97C29193384}", L"_xPrinter", kPrinterMembers, 84);
}
TEST_F(TypeLibraryTest, ApplicationMembersInSlotOrder) {
    CheckInterface("{D18B96F9-774D-4E0D-B4B3-0CD2AFBF071E}", L"_xApplication", kApplicationMembers, 23);
}
TEST_F(TypeLibraryTest, MixerMembersInSlotOrder) {
    CheckInterface("{73881A32-4FDF-4941-857B-3BCD96745320}", L"_xMixer", kMixerMembers, 23);
}

TEST_F(TypeLibraryTest, OptionalParametersAndDefaults) {
    const char* registry = "{D2BF0D3D-99DD-4BFE-9267-8045CD72F59C}";
    const char* printer = "{8F11B00E-2A97-4206-9EBD-D97C29193384}";
    const char* application = "{D18B96F9-774D-4E0D-B4B3-0CD2AFBF071E}";
    CheckOptional(registry, 8, 4, VT_I4, L"-1");       // CreateEXEAssociation lDefaultIconIndex
    CheckOptional(registry, 14, 2, VT_BOOL, L"0");  // StartWithWindows bSet
    CheckOptional(printer, 35, 3, VT_EMPTY, nullptr);   // PaintPicture lngWidth
    CheckOptional(printer, 35, 4, VT_EMPTY, nullptr);   // PaintPicture lngHeight
    CheckOptional(printer, 37, 4, VT_I4, L"0");         // pPrintWrapped Flag
    CheckOptional(printer, 54, 3, VT_EMPTY, nullptr);   // pCircle Color
    CheckOptional(printer, 54, 4, VT_I4, L"0");         // pCircle Width
    CheckOptional(printer, 59, 1, VT_BSTR, L"");        // StartDoc sOutFile
    CheckOptional(printer, 73, 0, VT_BSTR, L"");        // ShowPrinter sSetup
    CheckOptional(application, 12, 0, VT_BSTR, L"");    // FileOrDirExists sFile
    CheckOptional(application, 12, 1, VT_BSTR, L"");    // FileOrDirExists sFolder
    CheckOptional(application, 20, 1, VT_BOOL, L"0");  // PathName bPath
}

TEST_F(TypeLibraryTest, Enumerations) {
    struct Constant { const wchar_t* name; LONG value; };
    const Constant roots[] = {{L"HKEY_CLASSES_ROOT", LONG(0x80000000)}, {L"HKEY_CURRENT_USER", LONG(0x80000001)},
                              {L"HKEY_LOCAL_MACHINE", LONG(0x80000002)}, {L"HKEY_USERS", LONG(0x80000003)}};
    const Constant types[] = {{L"REG_NONE", 0}, {L"REG_SZ", 1}, {L"REG_EXPAND_SZ", 2}, {L"REG_BINARY", 3},
                              {L"REG_DWORD", 4}, {L"REG_DWORD_LITTLE_ENDIAN", 4}, {L"REG_DWORD_BIG_ENDIAN", 5},
                              {L"REG_LINK", 6}, {L"REG_MULTI_SZ", 7}, {L"REG_RESOURCE_LIST", 8},
                              {L"REG_FULL_RESOURCE_DESCRIPTOR", 9}, {L"REG_RESOURCE_REQUIREMENTS_LIST", 10}};
    auto check = [&](const char* guid, const wchar_t* enumName, const Constant* constants, size_t count) {
        ComPtr<ITypeInfo> info = InfoOf(guid);
        ASSERT_TRUE(info) << guid;
        Bstr name;
        info->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr);
        EXPECT_EQ(std::wstring(enumName), ToWide(name.get()));
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
        EXPECT_EQ(TKIND_ENUM, attr->typekind);
        ASSERT_EQ(count, attr->cVars);
        info->ReleaseTypeAttr(attr);
        for (UINT i = 0; i < count; ++i) {
            VARDESC* var = nullptr;
            ASSERT_EQ(S_OK, info->GetVarDesc(i, &var));
            Bstr varName;
            info->GetDocumentation(var->memid, varName.put(), nullptr, nullptr, nullptr);
            EXPECT_EQ(std::wstring(constants[i].name), ToWide(varName.get()));
            Variant value;
            VariantChangeType(value.get(), var->lpvarValue, 0, VT_I4);
            EXPECT_EQ(constants[i].value, V_I4(value.get())) << i;
            info->ReleaseVarDesc(var);
        }
    };
    check("{BA9D7ECA-BCB5-44A5-807F-CA0EE8E20550}", L"ERegistryClassConstants", roots, 4);
    check("{5B31FE7F-7D09-4B94-8557-67F56CB90102}", L"ERegistryValueTypes", types, 12);
}

// Every type, every member (both accessors of a property, in the vtable and
// the dispatch view alike) and every enumeration value describes itself in
// one line.
TEST_F(TypeLibraryTest, EverythingHasAOneLineHelpString) {
    auto helpOf = [](ITypeInfo* info, MEMBERID id) {
        Bstr name, help;
        info->GetDocumentation(id, name.put(), help.put(), nullptr, nullptr);
        return std::make_pair(ToWide(name.get()), ToWide(help.get()));
    };
    auto checkLine = [](const std::wstring& where, const std::wstring& help) {
        EXPECT_FALSE(help.empty()) << testing::PrintToString(where) << " has no help string";
        EXPECT_EQ(std::wstring::npos, help.find_first_of(L"\r\n")) << testing::PrintToString(where);
    };
    size_t described = 0;
    for (UINT t = 0; t < library_->GetTypeInfoCount(); ++t) {
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(S_OK, library_->GetTypeInfo(t, info.put()));
        auto [typeName, typeHelp] = helpOf(info.get(), MEMBERID_NIL);
        checkLine(typeName, typeHelp);
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
        const WORD vars = attr->cVars;
        const bool dual = attr->typekind == TKIND_DISPATCH && (attr->wTypeFlags & TYPEFLAG_FDUAL);
        info->ReleaseTypeAttr(attr);

        std::vector<ComPtr<ITypeInfo>> views;
        views.push_back(info);
        if (dual) {
            HREFTYPE ref = 0;
            ComPtr<ITypeInfo> vtable;
            ASSERT_EQ(S_OK, info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref));
            ASSERT_EQ(S_OK, info->GetRefTypeInfo(ref, vtable.put()));
            views.push_back(vtable);
        }
        for (auto& view : views) {
            TYPEATTR* viewAttr = nullptr;
            ASSERT_EQ(S_OK, view->GetTypeAttr(&viewAttr));
            const WORD viewFuncs = viewAttr->cFuncs;
            view->ReleaseTypeAttr(viewAttr);
            std::map<std::wstring, std::wstring> byMember;
            for (UINT f = 0; f < viewFuncs; ++f) {
                FUNCDESC* desc = nullptr;
                ASSERT_EQ(S_OK, view->GetFuncDesc(f, &desc));
                const MEMBERID id = desc->memid;
                view->ReleaseFuncDesc(desc);
                auto [name, help] = helpOf(view.get(), id);
                if ((id & 0xFFFE0000) == 0x60000000) continue;  // IUnknown's and IDispatch's, from stdole
                checkLine(typeName + L"." + name, help);
                auto known = byMember.emplace(name, help);
                EXPECT_EQ(known.first->second, help) << "the accessors of " << testing::PrintToString(name) << " differ";
                ++described;
            }
        }
        for (UINT v = 0; v < vars; ++v) {
            VARDESC* desc = nullptr;
            ASSERT_EQ(S_OK, info->GetVarDesc(v, &desc));
            const MEMBERID id = desc->memid;
            info->ReleaseVarDesc(desc);
            auto [name, help] = helpOf(info.get(), id);
            checkLine(typeName + L"." + name, help);
            ++described;
        }
    }
    // 155 accessors in two views each, 16 enumeration values.
    EXPECT_EQ(2u * (25 + 84 + 23 + 23) + 16u, described);
}

// Script hosts do not see a type library's constants, so docs/scripting.md
// gives script users blocks of them to paste, one in VBScript ("Const NAME =
// &H80000001") and one in JScript ("var NAME = 0x80000001 | 0;"). Each block
// holds every value of every enumeration of the type library, with the value
// the type library gives it, and nothing else.
TEST_F(TypeLibraryTest, ScriptingPageHasEveryConstant) {
    std::map<std::string, LONG> published;
    for (UINT t = 0; t < library_->GetTypeInfoCount(); ++t) {
        TYPEKIND kind;
        ASSERT_EQ(S_OK, library_->GetTypeInfoType(t, &kind));
        if (kind != TKIND_ENUM) continue;
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(S_OK, library_->GetTypeInfo(t, info.put()));
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
        const WORD vars = attr->cVars;
        info->ReleaseTypeAttr(attr);
        for (UINT v = 0; v < vars; ++v) {
            VARDESC* desc = nullptr;
            ASSERT_EQ(S_OK, info->GetVarDesc(v, &desc));
            Bstr name;
            info->GetDocumentation(desc->memid, name.put(), nullptr, nullptr, nullptr);
            Variant value;
            ASSERT_EQ(S_OK, VariantChangeType(value.get(), desc->lpvarValue, 0, VT_I4));
            info->ReleaseVarDesc(desc);
            std::wstring wide = ToWide(name.get());
            published[std::string(wide.begin(), wide.end())] = V_I4(value.get());
        }
    }
    ASSERT_EQ(16u, published.size());

    const std::string path = std::string("Z:") + TESSARY_SOURCE_DIR + "/docs/scripting.md";
    std::ifstream page(path);
    ASSERT_TRUE(page) << path;
    // A block starts with its comment line "' Tessary's constants" or
    // "// Tessary's constants" and ends with the fence.
    const std::regex vbLine(R"(Const (\w+) = (&H[0-9A-Fa-f]+|-?[0-9]+))");
    const std::regex jsLine(R"(var (\w+) = (0x[0-9A-Fa-f]+ \| 0|-?[0-9]+);)");
    auto number = [](const std::string& text) {
        if (text.rfind("&H", 0) == 0 || text.rfind("0x", 0) == 0)
            return static_cast<LONG>(std::strtoul(text.c_str() + 2, nullptr, 16));
        return static_cast<LONG>(std::strtol(text.c_str(), nullptr, 10));
    };
    std::map<std::string, std::map<std::string, LONG>> blocks;
    std::string language, line;
    while (std::getline(page, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::smatch match;
        if (line == "' Tessary's constants (ERegistryClassConstants, ERegistryValueTypes)") {
            language = "VBScript";
        } else if (line == "// Tessary's constants (ERegistryClassConstants, ERegistryValueTypes)") {
            language = "JScript";
        } else if (line.rfind("```", 0) == 0) {
            language.clear();
        } else if (!language.empty()) {
            const bool read = std::regex_match(line, match, language == "VBScript" ? vbLine : jsLine);
            EXPECT_TRUE(read) << language << " block: " << line;
            if (!read) continue;
            EXPECT_TRUE(blocks[language].emplace(match[1].str(), number(match[2].str())).second)
                << language << " block names " << match[1].str() << " twice";
        }
    }
    for (const char* name : {"VBScript", "JScript"}) {
        ASSERT_EQ(1u, blocks.count(name)) << "no " << name << " block of constants in " << path;
        EXPECT_EQ(published, blocks[name]) << "the " << name << " block differs from the type library";
    }
}

}  // namespace
