// GDI objects of the child whose handle values integer arguments take now
// and then (as 32-bit values, the way picture handles travel): bitmaps of
// several formats and sizes, enhanced and old-style metafiles, a few objects
// that are no pictures, and one handle freed again.
#pragma once
#include <windows.h>

#include <vector>

namespace tessary::fuzz {

// The handle values of the live Pictures (empty when there are none).
const std::vector<LONG>& HandleValues();

// Makes the objects and publishes their values; deletes them again when it goes.
class Pictures {
public:
    Pictures();
    ~Pictures();
    Pictures(const Pictures&) = delete;
    Pictures& operator=(const Pictures&) = delete;

private:
    void Keep(HGDIOBJ object);
    std::vector<HGDIOBJ> objects_;
    std::vector<HENHMETAFILE> enhanced_;
    std::vector<HMETAFILE> old_;
};

}  // namespace tessary::fuzz
