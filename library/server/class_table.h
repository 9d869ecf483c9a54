// The published classes of Tessary.dll: one row each.
#pragma once
#include <cstddef>

#include "frame/class_entry.h"

namespace tessary {

extern const ClassEntry kClasses[];
extern const size_t kClassCount;

}  // namespace tessary
