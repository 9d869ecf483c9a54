#include "server/class_table.h"

#include "Tessary.h"
#include "mixer/mixer_object.h"
#include "application/application_object.h"
#include "printer/printer_object.h"
#include "registry/registry_object.h"

namespace tessary {

const ClassEntry kClasses[] = {
    {&CLSID_xRegistry, L"Tessary.xRegistry", &CreateRegistryObject},
    {&CLSID_xApplication, L"Tessary.xApplication", &CreateApplicationObject},
    {&CLSID_xMixer, L"Tessary.xMixer", &CreateMixerObject},
    {&CLSID_xPrinter, L"Tessary.xPrinter", &CreatePrinterObject},
};
const size_t kClassCount = sizeof(kClasses) / sizeof(kClasses[0]);

}  // namespace tessary
