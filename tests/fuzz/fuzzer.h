// The calls themselves: call `index` of a run is made from (seed, index)
// alone, on one object of each creatable class, through IDispatch::Invoke,
// and checked. It must return a failure Invoke may report, and report it
// properly (a filled EXCEPINFO with DISP_E_EXCEPTION, the argument named for
// a type mismatch or a missing parameter); leave no error pending and the
// object answering; change no argument passed by value; and return a
// well-formed result.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fake_dispatch.h"
#include "type_model.h"

namespace tessary::fuzz {

struct Outcome {
    std::vector<std::string> problems;  // empty when the call behaved
};

// What the call under way is, for the report of a crash or a hang.
std::string& CurrentCall();

class Fuzzer {
public:
    // With `describeArguments`, each call prints its arguments before it is made.
    Fuzzer(std::vector<ClassInfo> classes, uint64_t seed, bool describeArguments);
    Fuzzer(const Fuzzer&) = delete;
    Fuzzer& operator=(const Fuzzer&) = delete;
    ~Fuzzer();

    // Fresh objects of every class; false (and says so) when one cannot be made.
    bool MakeObjects();
    void ReleaseObjects();
    // Releases the fuzzer's own dispatch objects; any the library still holds
    // is a leak, added to `problems`. Returns the number of leaks.
    int ReleaseFakes(std::vector<std::string>& problems);

    // Makes call `index`; `description` says what it was and what came back.
    Outcome Call(int64_t index, std::string* description);

private:
    DISPID ProbeId(IDispatch* object, const std::wstring& cls);
    HRESULT Probe(IDispatch* object, const std::wstring& cls);

    std::vector<ClassInfo> classes_;
    uint64_t seed_;
    bool describeArguments_;
    std::wstring scratch_;
    std::vector<IDispatch*> objects_;  // one per class, while made
    std::vector<FakeDispatch*> fakes_;
    std::map<std::wstring, DISPID> probeIds_;
};

}  // namespace tessary::fuzz
