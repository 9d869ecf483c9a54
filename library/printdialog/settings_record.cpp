#include "printdialog/settings_record.h"

#include <algorithm>
#include <cstring>

namespace tessary {

static_assert(SettingsRecord::kDefaultSource + sizeof(int16_t) <= SettingsRecord::kDialogPart,
              "the fields the dialog uses lie in the fixed part it may touch");

void SettingsRecord::Resize(long size) {
    size_ = size > 0 ? size : 0;
    storage_.assign(size_ > 0 ? std::max<size_t>(static_cast<size_t>(size_), sizeof(DEVMODEW)) : 0, 0);
}

int16_t SettingsRecord::Field(size_t offset) const {
    if (size_ <= 0 || offset + 2 > static_cast<size_t>(size_)) return 0;
    int16_t value;
    std::memcpy(&value, storage_.data() + offset, sizeof value);
    return value;
}

void SettingsRecord::SetField(size_t offset, int16_t value) {
    if (size_ <= 0 || offset + 2 > static_cast<size_t>(size_)) return;
    std::memcpy(storage_.data() + offset, &value, sizeof value);
}

const DEVMODEW* SettingsRecord::ForDriver() const {
    if (size_ <= 0) return nullptr;
    const auto* record = reinterpret_cast<const DEVMODEW*>(storage_.data());
    if (static_cast<size_t>(record->dmSize) + record->dmDriverExtra > storage_.size()) return nullptr;
    return record;
}

}  // namespace tessary
