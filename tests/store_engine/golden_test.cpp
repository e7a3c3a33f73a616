// Our engine against tables and indexes written by an independent
// Clipper-compatible implementation.
#include <gtest/gtest.h>

#include <filesystem>

#include "dbf_table.h"
#include "ntx_index.h"
#include "test_support.h"

using namespace sde;
using namespace sde::test;

namespace {

// Tables whose files are not among the golden ones have the sales layout,
// which UPDA.DBF carries.
std::string tableFor(const std::string& listed) {
    if (std::filesystem::exists(goldenFile(listed))) return goldenFile(listed);
    return goldenFile("UPDA.DBF");
}

std::vector<std::string> goldenIndexes() {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(goldenDir()))
        if (e.path().extension() == ".NTX") names.push_back(e.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(GoldenTables, EveryRecordReadsAsListed) {
    for (auto& e : std::filesystem::directory_iterator(goldenDir())) {
        if (e.path().extension() != ".DBF") continue;
        std::string base = e.path().stem().string();
        SCOPED_TRACE(base);
        auto t = DbfTable::open(e.path().string(), DbfTable::Mode::ReadOnly);
        auto listed = readRecordListing(base);
        ASSERT_EQ(t->recordCount(), listed.size());
        std::vector<unsigned char> rec(t->recordLength());
        for (uint32_t r = 1; r <= t->recordCount(); ++r) {
            t->readRecord(r, rec.data());
            ASSERT_EQ(std::string(rec.begin(), rec.end()), listed[r - 1]) << "record " << r;
        }
    }
}

class GoldenIndex : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenIndex, WalksAndSeeksAsTheOtherImplementation) {
    const std::string base = GetParam();
    auto listing = readOrderListing(base);
    auto table = DbfTable::open(tableFor(listing.table), DbfTable::Mode::ReadOnly);
    auto ix = NtxIndex::open(goldenFile(base + ".NTX"), false, false, table->fields());

    NtxCursor c;
    size_t i = 0;
    for (bool ok = ix->first(c); ok; ok = ix->next(c), ++i) {
        ASSERT_LT(i, listing.entries.size());
        ASSERT_EQ(c.recno, listing.entries[i].recno) << "entry " << i + 1;
        ASSERT_EQ(c.key, listing.entries[i].key) << "entry " << i + 1;
    }
    EXPECT_EQ(i, listing.entries.size());

    // Backwards gives the same entries in reverse.
    i = listing.entries.size();
    for (bool ok = ix->last(c); ok; ok = ix->prev(c)) {
        ASSERT_GT(i, 0u);
        --i;
        ASSERT_EQ(c.recno, listing.entries[i].recno) << "entry " << i + 1;
    }
    EXPECT_EQ(i, 0u);

    // A seek of every distinct key lands on its first entry.
    for (size_t j = 0; j < listing.entries.size(); ++j) {
        if (j > 0 && listing.entries[j].key == listing.entries[j - 1].key) continue;
        const auto& key = listing.entries[j].key;
        ASSERT_TRUE(ix->seek(c, key, key.size()));
        EXPECT_EQ(c.recno, listing.entries[j].recno) << "seek of |" << key << "|";
    }
    EXPECT_EQ(ix->checkStructure(listing.entries.size()), "");
    EXPECT_EQ(ix->keyCount(), listing.entries.size());  // from the page counts alone
}

INSTANTIATE_TEST_SUITE_P(AllGoldenIndexes, GoldenIndex, ::testing::ValuesIn(goldenIndexes()));
