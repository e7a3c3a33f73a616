// Reading the items of one NTX node page through its slot table.
#pragma once

#include "ntx_index.h"

namespace sde {

struct NtxNodeView {
    const unsigned char* p;
    int count() const { return ntxGet16(p); }
    const unsigned char* item(int i) const { return p + ntxGet16(p + 2 + 2 * i); }
    uint32_t child(int i) const { return ntxGet32(item(i)); }
    uint32_t recno(int i) const { return ntxGet32(item(i) + 4); }
    const unsigned char* key(int i) const { return item(i) + 8; }
    bool leaf() const { return child(0) == 0; }
};

}  // namespace sde
