// Reading the items of one NTX node page through its slot table.
#pragma once

#include "ntx_index.h"

namespace sde {

struct NtxNodeView {
    const unsigned char* p;
    int count() const { return readLe16(p + kNtxKeyCountField); }
    const unsigned char* item(int i) const { return p + readLe16(p + kNtxSlotTable + 2 * i); }
    uint32_t child(int i) const { return readLe32(item(i) + kNtxItemChild); }
    uint32_t recno(int i) const { return readLe32(item(i) + kNtxItemRecno); }
    const unsigned char* key(int i) const { return item(i) + kNtxItemKey; }
    bool leaf() const { return child(0) == 0; }
};

}  // namespace sde
