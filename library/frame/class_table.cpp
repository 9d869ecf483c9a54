#include "frame/class_table.h"

#include "Tessary.h"
#include "registry/registry_object.h"

namespace tessary {

const ClassEntry kClasses[] = {
    {&CLSID_xRegistry, L"Tessary.xRegistry", &CreateRegistryObject},
};
const size_t kClassCount = sizeof(kClasses) / sizeof(kClasses[0]);

}  // namespace tessary
