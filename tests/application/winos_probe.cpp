// Prints what xApplication's winOS says in this process, for the test that
// sets Wine's reported Windows version per program before starting it.
#include <cstdio>

#include "Tessary.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::test;

int main() {
    ComApartment com;
    LoadedLibrary library;
    ComPtr<_xApplication> app = library.Create<_xApplication>(CLSID_xApplication);
    if (!app) return 2;
    Bstr first, second;
    if (FAILED(app->get_winOS(first.put())) || FAILED(app->get_winOS(second.put()))) return 3;
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    std::printf("%ls|%ls|%lu.%lu.%lu\n", first.get(), second.get(), version.dwPlatformId, version.dwMajorVersion,
                version.dwMinorVersion);
    return 0;
}
