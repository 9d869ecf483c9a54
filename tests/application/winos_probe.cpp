// Prints xApplication's winOS (twice, from one object) and the version
// GetVersionExA reports in this process, for winos_test.cpp.
#include <cstdio>

#include "Tessary.h"
#include "support/test_support.h"

using namespace tessary;
using namespace tessary::test;

int main() {
    ComApartment com;
    LoadedLibrary library;
    ComPtr<_xApplication> app = library.Create<_xApplication>(CLSID_xApplication);
    Bstr first, second;
    if (!app || FAILED(app->get_winOS(first.put())) || FAILED(app->get_winOS(second.put()))) return 2;
    OSVERSIONINFOA version = {sizeof version};
    GetVersionExA(&version);
    std::printf("%ls|%ls|%lu.%lu.%lu\n", first.get(), second.get(), version.dwPlatformId, version.dwMajorVersion,
                version.dwMinorVersion);
    return 0;
}
