// Helpers of the index tests: walking an index through the engine, and an
// independent reading of an index file's page layout straight from its bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dbf_table.h"
#include "ntx_index.h"

namespace sde::test {

struct IndexEntry {
    uint32_t recno;
    std::string key;
    bool operator==(const IndexEntry&) const = default;
};
using EntryList = std::vector<IndexEntry>;

// All entries, first to last; and last to first (in the order visited).
EntryList walkForward(NtxIndex& ix);
EntryList walkBackward(NtxIndex& ix);

// "" when equal, else where the lists first differ (full lists are too
// long to print).
std::string firstDifference(const EntryList& got, const EntryList& want);

// A table's rows in record order, for builds through NtxIndex::create.
class TableRows : public NtxIndex::RecordSource {
public:
    explicit TableRows(DbfTable& t) : t_(t) {}
    bool next(const unsigned char** image, uint32_t* recno) override;

private:
    DbfTable& t_;
    uint32_t at_ = 0;
};

// The pages of an index file as the bytes say, without the engine: the
// number of keys of each tree page per level (root first, pages in key
// order), the free chain, and what is wrong ("" when every page of the file
// is either in the tree once or on the free chain once).
struct NtxLayout {
    uint32_t root = 0;
    uint32_t filePages = 0;  // header included
    std::vector<std::vector<int>> levels;
    std::vector<uint32_t> freePages;
    std::string error;
};
NtxLayout readNtxLayout(const std::string& path);

}  // namespace sde::test
