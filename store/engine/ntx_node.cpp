#include "ntx_node.h"

#include <cstring>

#include "ntx_page.h"

namespace sde {

NtxNode ntxDecode(const NtxPage& page, const NtxHeader& hdr) {
    NtxNodeView v{page.data()};
    NtxNode node;
    int n = v.count();
    node.items.reserve(static_cast<size_t>(n) + 1);
    for (int i = 0; i < n; ++i)
        node.items.push_back(
            {v.child(i), v.recno(i),
             std::string(reinterpret_cast<const char*>(v.key(i)), hdr.keySize)});
    node.rightChild = v.child(n);
    return node;
}

void ntxEncode(const NtxNode& node, const NtxHeader& hdr, NtxPage& page) {
    page.fill(0);
    int n = static_cast<int>(node.items.size());
    writeLe16(page.data() + kNtxKeyCountField, static_cast<uint16_t>(n));
    unsigned base = ntxItemsStart(hdr.maxKeys);
    for (int i = 0; i <= hdr.maxKeys; ++i)
        writeLe16(page.data() + kNtxSlotTable + 2 * i, static_cast<uint16_t>(base + i * hdr.itemSize));
    for (int i = 0; i < n; ++i) {
        unsigned char* it = page.data() + base + i * hdr.itemSize;
        writeLe32(it + kNtxItemChild, node.items[static_cast<size_t>(i)].child);
        writeLe32(it + kNtxItemRecno, node.items[static_cast<size_t>(i)].recno);
        std::memcpy(it + kNtxItemKey, node.items[static_cast<size_t>(i)].key.data(), hdr.keySize);
    }
    writeLe32(page.data() + base + n * hdr.itemSize + kNtxItemChild, node.rightChild);
}

}  // namespace sde
