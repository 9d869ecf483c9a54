// The machine state a run must leave as it found it: this process's kernel
// handles, GDI objects and windows; the subkeys and values of the HKCU keys
// around the scratch keys; System.ini. And the scratch places themselves,
// removed again at the end of a batch and of the run.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tessary::fuzz {

struct ResourceCount {
    long handles, gdi, windows;
};
ResourceCount CountResources();

// The names of the subkeys and values of the keys around the scratch keys
// ("Software\\Name", "Software value Name"), the scratch keys left out.
std::vector<std::wstring> Surroundings();
// The numbers of subkeys and values and the last write time of the same
// keys: a cheap look that tells when Surroundings is worth taking again.
std::vector<uint64_t> Fingerprint();

// Names that `after` has and `before` has not (made), and the other way
// round (removed), each in its list's order.
struct NameChanges {
    std::vector<std::wstring> made, removed;
};
NameChanges Compare(const std::vector<std::wstring>& before, const std::vector<std::wstring>& after);

// The scratch places of a run. Notes whether HKCU\Software\Halvex exists,
// so that Remove takes that key away too only when the run made it.
class ScratchPlaces {
public:
    ScratchPlaces();
    void Remove() const;

private:
    bool settingsRootExisted_;
};

std::string ReadSystemIni();
// When System.ini is no longer `before`: says which lines were added and
// removed, puts it back and returns true.
bool PutBackSystemIni(const std::string& before);

}  // namespace tessary::fuzz
