// xMixer: the published mixer class.
#pragma once
#include <windows.h>

namespace tessary {

HRESULT CreateMixerObject(REFIID iid, void** out);

}  // namespace tessary
