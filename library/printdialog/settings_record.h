// The chosen printer's settings record: DEVMODEW followed by the driver's
// private bytes, kept whole exactly as the driver returns it.
//
// The dialog reads and writes four 16-bit fields of the fixed part. A driver
// may report a record shorter than those fields reach: a field outside the
// reported size reads 0 and is not written, and the storage behind the record
// is never smaller than a full DEVMODEW, so a driver reading the fixed part of
// a short record reads zeros, never foreign memory.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessary {

class SettingsRecord {
public:
    // Byte offsets of the fields the dialog uses.
    static constexpr size_t kOrientation = offsetof(DEVMODEW, dmOrientation);
    static constexpr size_t kPaperSize = offsetof(DEVMODEW, dmPaperSize);
    static constexpr size_t kCopies = offsetof(DEVMODEW, dmCopies);
    static constexpr size_t kDefaultSource = offsetof(DEVMODEW, dmDefaultSource);
    // The dialog never touches bytes beyond the fixed part up to the middle
    // of dmDisplayFrequency.
    static constexpr size_t kDialogPart = offsetof(DEVMODEW, dmDisplayFrequency) + sizeof(WORD);

    bool Empty() const { return size_ <= 0; }
    long Size() const { return size_; }  // as the driver reported it

    // Makes room for a record of `size` bytes, all zero.
    void Resize(long size);
    void Clear() { Resize(0); }

    int16_t Field(size_t offset) const;
    void SetField(size_t offset, int16_t value);

    // For the driver to fill.
    DEVMODEW* Buffer() { return reinterpret_cast<DEVMODEW*>(storage_.data()); }
    // For the driver to read: null when there is no record, or when the
    // record's own sizes claim more bytes than it has.
    const DEVMODEW* ForDriver() const;

    const std::vector<uint8_t>& Bytes() const { return storage_; }

private:
    std::vector<uint8_t> storage_;
    long size_ = 0;
};

}  // namespace tessary
