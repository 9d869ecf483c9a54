// The stand-in audio endpoint of the mixer tests' "endpoint" Wine prefix: a
// DLL registered there as the in-process server of the platform's device
// enumerator. It hands everything on to Wine's own enumerator except the
// endpoint volume of a device asked for by id, which it serves itself from
// the state below, recording each step. A test program in the same process
// reaches that state through the DLL's one export.
#pragma once
#include <windows.h>

namespace tessary::test {

// In the order the library takes them when it first looks for the endpoint.
enum class EndpointStep : int {
    Create,    // the enumerator created
    Device,    // a device asked for by id
    Activate,  // a device asked for its endpoint volume
    GetLevel,
    GetMute,
    SetLevel,
    SetMute,
    kCount
};

struct EndpointCall {
    EndpointStep step;
    float level;   // SetLevel: the level asked for
    BOOL mute;     // SetMute: the state asked for
    DWORD thread;  // the thread the call came on
};

struct EndpointDoubleState {
    // What the endpoint holds.
    float level;
    BOOL mute;
    // A failure code per step; S_OK lets it through. A refused step also
    // leaves an error object on the thread, as some components do. Create and
    // Device are refused only on `refusingThread`: winmm makes enumerators
    // and asks for devices on threads of its own, and must go on getting them.
    HRESULT refuse[static_cast<int>(EndpointStep::kCount)];
    DWORD refusingThread;
    // What happened.
    LONG liveVolumes;  // endpoint volume objects handed out and not yet released
    LONG callCount;    // may exceed the calls recorded
    EndpointCall calls[1024];
    wchar_t activated[256];  // the id of the device last asked for its volume
};

// The DLL's export: its one state, zero-filled when it is loaded.
using EndpointDoubleFunction = EndpointDoubleState*(WINAPI*)();
constexpr char kEndpointDoubleExport[] = "EndpointDouble";

}  // namespace tessary::test
