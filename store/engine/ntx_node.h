// A node page taken apart into its items, for the changes that reshape
// pages (splits, merges, rotations), and put back together.
#pragma once

#include <string>
#include <vector>

#include "ntx_index.h"

namespace sde {

struct NtxItem {
    uint32_t child = 0;
    uint32_t recno = 0;
    std::string key;
};

struct NtxNode {
    std::vector<NtxItem> items;  // the keys, in order
    uint32_t rightChild = 0;     // child after the last key
};

NtxNode ntxDecode(const NtxPage& page, const NtxHeader& hdr);
// A fresh page: slot table in ascending order, unused bytes zero.
void ntxEncode(const NtxNode& node, const NtxHeader& hdr, NtxPage& page);

}  // namespace sde
