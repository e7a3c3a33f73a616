// Building indexes in one go: our builds over the golden tables against the
// indexes the other implementation built, and the external merge sort.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>

#include "dbf_table.h"
#include "errors.h"
#include "key_shape.h"
#include "ntx_index.h"
#include "ntx_sort.h"
#include "ntx_test_walk.h"
#include "test_support.h"

using namespace sde;
using namespace sde::test;

namespace {

// Golden indexes whose table is in the golden folder.
std::vector<std::string> buildableIndexes() {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(goldenDir())) {
        if (e.path().extension() != ".NTX") continue;
        std::string base = e.path().stem().string();
        if (std::filesystem::exists(goldenFile(readOrderListing(base).table))) names.push_back(base);
    }
    std::sort(names.begin(), names.end());
    return names;
}

EntryList listedEntries(const std::string& base) {
    EntryList out;
    for (const auto& e : readOrderListing(base).entries) out.push_back({e.recno, e.key});
    return out;
}

// The order computed from the rows: every row passing the FOR condition,
// by key then record number; a unique index keeps the first row of a key,
// or with `firstLive` the first row not marked deleted (the first deleted
// one when the key has no live row).
EntryList computedOrder(DbfTable& t, const NtxIndex& keys, bool firstLive) {
    const NtxHeader& h = keys.header();
    EntryList all;
    std::vector<bool> deleted(t.recordCount() + 1, false);
    std::vector<unsigned char> rec(t.recordLength());
    for (uint32_t r = 1; r <= t.recordCount(); ++r) {
        t.readRecord(r, rec.data());
        deleted[r] = rec[0] == '*';
        if (keys.passesFor(rec.data(), r)) all.push_back({r, keys.makeKey(rec.data(), r, true)});
    }
    const bool liveFirst = h.unique && firstLive;
    std::stable_sort(all.begin(), all.end(), [&](const IndexEntry& a, const IndexEntry& b) {
        if (a.key != b.key) return h.descending ? a.key > b.key : a.key < b.key;
        return liveFirst && !deleted[a.recno] && deleted[b.recno];
    });
    if (h.unique)
        all.erase(std::unique(all.begin(), all.end(),
                              [](const IndexEntry& a, const IndexEntry& b) { return a.key == b.key; }),
                  all.end());
    return all;
}

std::unique_ptr<NtxIndex> buildLike(const NtxHeader& g, DbfTable& t, const std::string& path,
                                    bool deletedOn) {
    TableRows rows(t);
    return NtxIndex::create(path, g.keyExpr, g.unique, g.descending, g.forExpr, t.fields(),
                            t.blankRecord(), rows, deletedOn, true);
}

// Lowers the sort's memory budget for one test.
struct SortBudget {
    size_t saved = KeySorter::memoryLimit();
    explicit SortBudget(size_t bytes) { KeySorter::setMemoryLimit(bytes); }
    ~SortBudget() { KeySorter::setMemoryLimit(saved); }
};

}  // namespace

class BuildOverGolden : public ::testing::TestWithParam<std::string> {};

TEST_P(BuildOverGolden, SameOrderHeaderAndShapeAsTheOtherImplementation) {
    const std::string base = GetParam();
    // The UPD* and ZAPPED indexes were kept up to date by the other driver,
    // entry by entry: a build of ours equals a build from the rows, not their file.
    const bool maintainedElsewhere = base.rfind("UPD", 0) == 0 || base == "ZAPPED";
    auto table = DbfTable::open(goldenFile(readOrderListing(base).table), DbfTable::Mode::ReadOnly);
    auto golden = NtxIndex::open(goldenFile(base + ".NTX"), false, false, table->fields());
    const NtxHeader& g = golden->header();
    const EntryList listed = listedEntries(base);
    const EntryList computed = computedOrder(*table, *golden, false);
    if (!maintainedElsewhere) {
        ASSERT_EQ(firstDifference(computed, listed), "") << "the model itself";
    }

    TempDir dir;
    for (bool deletedOn : {false, true}) {
        SCOPED_TRACE(deletedOn ? "Deleted ON" : "Deleted OFF");
        const std::string path = dir.file(base + (deletedOn ? "_ON.NTX" : "_OFF.NTX"));
        auto ours = buildLike(g, *table, path, deletedOn);
        const NtxHeader& h = ours->header();
        EXPECT_EQ(h.signature, g.signature);
        EXPECT_EQ(h.version, 1);
        EXPECT_EQ(h.freeHead, 0u);
        EXPECT_EQ(h.keySize, g.keySize);
        EXPECT_EQ(h.itemSize, g.itemSize);
        EXPECT_EQ(h.decimals, g.decimals);
        EXPECT_EQ(h.maxKeys, g.maxKeys);
        EXPECT_EQ(h.halfPage, g.halfPage);
        EXPECT_EQ(h.keyExpr, g.keyExpr);
        EXPECT_EQ(h.forExpr, g.forExpr);
        EXPECT_EQ(h.unique, g.unique);
        EXPECT_EQ(h.descending, g.descending);

        EntryList want = maintainedElsewhere ? computed : listed;
        if (g.unique && deletedOn) want = computedOrder(*table, *golden, true);
        EXPECT_EQ(firstDifference(walkForward(*ours), want), "");
        EntryList back = walkBackward(*ours);
        std::reverse(back.begin(), back.end());
        EXPECT_EQ(firstDifference(back, want), "") << "walking backwards";
        EXPECT_EQ(ours->checkStructure(want.size()), "");
        ours.reset();

        // Pages full but at the end of a level, the root written last.
        NtxLayout lay = readNtxLayout(path);
        EXPECT_EQ(lay.error, "");
        EXPECT_EQ(lay.root, (lay.filePages - 1) * kNtxPageSize);
        EXPECT_TRUE(lay.freePages.empty());
        for (size_t level = 1; level < lay.levels.size(); ++level) {
            const auto& counts = lay.levels[level];
            for (size_t i = 0; i + 2 < counts.size(); ++i)
                ASSERT_EQ(counts[i], g.maxKeys) << "level " << level << " page " << i;
            for (size_t i = counts.size() >= 2 ? counts.size() - 2 : 0; i < counts.size(); ++i)
                EXPECT_GE(counts[i], g.halfPage) << "level " << level << " page " << i;
        }
        if (!maintainedElsewhere && !(g.unique && deletedOn)) {
            EXPECT_EQ(lay.levels, readNtxLayout(goldenFile(base + ".NTX")).levels);
            // One page: nothing stale left in it, so even the bytes agree.
            auto theirs = readAll(goldenFile(base + ".NTX"));
            if (theirs.size() == 2 * kNtxPageSize) {
                EXPECT_EQ(readAll(path), theirs) << "bytes differ";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(GoldenTables, BuildOverGolden, ::testing::ValuesIn(buildableIndexes()));

// The shapes the other implementation's bulk builds show over BIG.DBF.
TEST(BuildShape, LastTwoPagesOfALevelShareWhatIsLeft) {
    auto table = DbfTable::open(goldenFile("BIG.DBF"), DbfTable::Mode::ReadOnly);
    TempDir dir;
    struct Case {
        const char* key;
        bool unique;
        int full;    // leaves filled to the maximum
        int max;
        std::vector<int> tail;  // the leaves after them
        size_t depth;
    };
    for (const Case& c : {Case{"upper(libelle)", false, 799, 24, {12, 12}, 4},
                          Case{"upper(ticket)", false, 316, 62, {46, 45}, 3},
                          Case{"upper(ticket)", true, 104, 62, {38}, 3}}) {
        SCOPED_TRACE(c.key);
        TableRows rows(*table);
        std::string path = dir.file("shape.NTX");
        std::filesystem::remove(path);
        NtxIndex::create(path, c.key, c.unique, false, "", table->fields(), table->blankRecord(),
                         rows, false, true);
        NtxLayout lay = readNtxLayout(path);
        ASSERT_EQ(lay.error, "");
        ASSERT_EQ(lay.levels.size(), c.depth);
        std::vector<int> leaves(static_cast<size_t>(c.full), c.max);
        leaves.insert(leaves.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(lay.levels.back(), leaves);
    }
}

// Over BIG.DBF, with a budget of a few kilobytes the sort spills hundreds of
// runs; the merged result must be the file the in-memory sort gives.
TEST(ExternalSort, SpilledBuildIsByteForByteTheInMemoryBuild) {
    const size_t before = KeySorter::memoryLimit();
    auto table = DbfTable::open(goldenFile("BIG.DBF"), DbfTable::Mode::ReadOnly);
    TempDir dir;
    struct Case {
        const char* key;
        bool unique;
        bool descending;
    };
    for (const Case& c : {Case{"upper(libelle)", false, false}, Case{"upper(ticket)", true, false},
                          Case{"upper(ticket)", false, true}, Case{"prix", false, false}}) {
        SCOPED_TRACE(c.key);
        std::string inMemory = dir.file("mem.NTX"), spilled = dir.file("runs.NTX");
        std::filesystem::remove(inMemory);
        std::filesystem::remove(spilled);
        {
            TableRows rows(*table);
            NtxIndex::create(inMemory, c.key, c.unique, c.descending, "", table->fields(),
                             table->blankRecord(), rows, false, true);
        }
        {
            SortBudget budget(4096);
            TableRows rows(*table);
            NtxIndex::create(spilled, c.key, c.unique, c.descending, "", table->fields(),
                             table->blankRecord(), rows, false, true);
        }
        EXPECT_EQ(readAll(spilled), readAll(inMemory));
    }
    EXPECT_EQ(KeySorter::memoryLimit(), before) << "budget restored";
}

TEST(ExternalSort, SorterSpillsRunsAndMergesThemInOrder) {
    const int threads = threadCount();
    auto table = DbfTable::open(goldenFile("BIG.DBF"), DbfTable::Mode::ReadOnly);
    int label = table->fieldIndex("LIBELLE");
    ASSERT_GE(label, 0);
    const FieldInfo& f = table->fields()[static_cast<size_t>(label)];
    TempDir dir;
    for (bool descending : {false, true}) {
        SortBudget budget(4096);
        KeySorter sorter(f.width, descending, dir.path());
        EntryList want;
        for (uint32_t r = 1; r <= table->recordCount(); ++r) {
            const unsigned char* rec = table->cachedRecord(r);
            sorter.add(rec + f.offset, r);
            want.push_back({r, std::string(reinterpret_cast<const char*>(rec + f.offset),
                                           static_cast<size_t>(f.width))});
        }
        sorter.finishInput();
        EXPECT_GT(sorter.runCount(), 100u);
        std::stable_sort(want.begin(), want.end(), [&](const IndexEntry& a, const IndexEntry& b) {
            return descending ? a.key > b.key : a.key < b.key;
        });
        // forEach may be called again, also after a walk left part way
        // (the last one is left to the sorter's end).
        for (size_t stopAt : {size_t{0}, size_t{1000}, size_t{0}, size_t{10}}) {
            EntryList got;
            try {
                sorter.forEach([&](const unsigned char* k, uint32_t r) {
                    if (stopAt > 0 && got.size() == stopAt) throw std::runtime_error("walk left");
                    got.push_back({r, std::string(reinterpret_cast<const char*>(k),
                                                  static_cast<size_t>(f.width))});
                });
            } catch (const std::runtime_error&) {
            }
            const EntryList wanted(want.begin(), stopAt > 0 ? want.begin() + static_cast<long>(stopAt) : want.end());
            EXPECT_EQ(firstDifference(got, wanted), "") << (descending ? "descending" : "ascending");
        }
    }
    EXPECT_EQ(threadCountSettlingAt(threads), threads);
}

// The temporary folder fills up at different points of the spill: in the
// half written here while the worker still sorts the other, in both, or in
// the half of the last records that only the worker writes. Each gives an
// I/O error, leaves no thread running and no file behind.
TEST(ExternalSort, FullDiskWhileSpillingGivesIoErrorAndNoThreadLeft) {
    TempDir dir;
    SortBudget budget(4096);  // buffers of 120 records of 34 bytes: runs of 2,040 bytes
    constexpr rlim_t kRun = 2040;
    const int threads = threadCount();
    ASSERT_GT(threads, 0);
    const std::string key(30, 'K');
    for (rlim_t room : {rlim_t{0}, kRun, 2 * kRun + 1000, 98 * kRun}) {
        SCOPED_TRACE("room " + std::to_string(room));
        {
            FileSizeLimit limit(room);
            KeySorter sorter(30, false, dir.path());
            auto sortAll = [&] {
                for (uint32_t r = 6000; r > 0; --r)  // 50 full buffers
                    sorter.add(reinterpret_cast<const unsigned char*>(key.data()), r);
                sorter.finishInput();
            };
            EXPECT_THROW(sortAll(), IoError);
        }
        EXPECT_EQ(threadCountSettlingAt(threads), threads);
        EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    }
}

namespace {

// A table whose rows hold what a build must read like the expression does:
// lower-case and cp1252 accented bytes, numbers as writers lay them out and
// as they should not, dates blank or damaged, every logical letter.
std::unique_ptr<DbfTable> awkwardTable(const std::string& path, size_t rows) {
    const std::vector<FieldInfo> layout = {{"NAME", 'C', 0, 12, 0}, {"PRICE", 'N', 0, 8, 2},
                                           {"QTY", 'N', 0, 5, 0},   {"DAY", 'D', 0, 8, 0},
                                           {"OK", 'L', 0, 1, 0}};
    const std::vector<std::string> names = {
        "caf\xE9", "Caf\xC9 cr\xE8me", "bi\xE8re", "BIERE", "biere", "", "abc{|}~`@[", std::string("a\0b", 3),
        "\xFF\xFE", "zz", "Zz 12", "zZ 7"};
    const std::vector<std::string> prices = {"    5.00", "   -5.00", "   -0.00", "    0.00", "12345.67",
                                             "-1234.56", "        ", "  5.5   ", "   +5.00", "  5.5e1 ",
                                             "   5.000", "    -.50", "  - 5.00", "00012.50", "-0012.50",
                                             "99999999", "*****.**", "   12.5 ", "    1.05"};
    const std::vector<std::string> qtys = {"   12", "  -12", "-0000", "12345", "1.5  ", "     ",
                                           "99999", "-9999", "  12.", "   -0", "0  12"};
    const std::vector<std::string> days = {"20240131", "        ", "2024013 ", "abcdefgh", "00000000",
                                           "\xFF" "0240101", "19991231"};
    const std::string logicals = "TtYyFfNn ?";
    DbfTable::create(path, layout);
    auto t = DbfTable::open(path, DbfTable::Mode::Exclusive);
    std::mt19937 rng(17);
    auto pick = [&](const std::vector<std::string>& v) { return v[rng() % v.size()]; };
    for (size_t r = 0; r < rows; ++r) {
        std::string name = pick(names);
        if (rng() % 3 == 0) name += " " + std::to_string(rng() % 1000);
        name.resize(12, ' ');
        std::string price = pick(prices);
        if (rng() % 2 == 0) {  // a canonical number of its own
            char buf[16];
            std::snprintf(buf, sizeof buf, "%8.2f", static_cast<double>(static_cast<int>(rng() % 20001) - 10000) / 100);
            price = buf;
        }
        std::string image = std::string(rng() % 5 == 0 ? "*" : " ") + name + price + pick(qtys) + pick(days) +
                            logicals[rng() % logicals.size()];
        t->appendRecord(reinterpret_cast<const unsigned char*>(image.data()));
    }
    return t;
}

struct KeyCase {
    const char* key;
    bool direct;  // read from the field, not evaluated
};
const KeyCase kKeyCases[] = {{"NAME", true},          {"upper(NAME)", true},
                             {"UPPER( name )", true}, {"DTOS(DAY)", true},
                             {"DAY", true},           {"PRICE", true},
                             {"QTY", true},           {"OK", true},
                             {"trim(NAME) + 'x'", false}, {"upper(NAME) + DTOS(DAY)", false},
                             {"str(PRICE, 10, 3)", false}, {"lower(NAME)", false}};

}  // namespace

// Every key read straight from a row is the key the expression gives.
TEST(KeyShapes, ReadStraightFromTheRowAsTheExpressionGivesThem) {
    TempDir dir;
    auto table = awkwardTable(dir.file("AWK.DBF"), 2000);
    for (const KeyCase& c : kKeyCases) {
        SCOPED_TRACE(c.key);
        TableRows rows(*table);
        auto ix = NtxIndex::create(dir.file("K.NTX"), c.key, false, false, "", table->fields(),
                                   table->blankRecord(), rows, false, true);
        KeyReader reader(*ix);
        EXPECT_EQ(reader.direct(), c.direct);
        const size_t size = ix->header().keySize;
        for (uint32_t r = 1; r <= table->recordCount(); ++r) {
            const unsigned char* image = table->cachedRecord(r);
            const std::string got(reinterpret_cast<const char*>(reader.key(image, r)), size);
            ASSERT_EQ(got, ix->makeKey(image, r, true)) << "row " << r;
        }
    }
}

// Builds of every key shape, unique or not, in either order, over a table
// and over an empty one: the order the evaluated keys give, and the same
// bytes whether the keys were sorted in memory or spilled in runs.
TEST(KeyShapes, BuildsGiveTheOrderOfTheEvaluatedKeysInMemoryOrSpilled) {
    TempDir dir;
    auto full = awkwardTable(dir.file("AWK.DBF"), 3000);
    auto empty = awkwardTable(dir.file("NONE.DBF"), 0);
    for (DbfTable* table : {full.get(), empty.get()}) {
        for (const KeyCase& c : kKeyCases) {
            for (int variant = 0; variant < 4; ++variant) {
                const bool unique = variant & 1, descending = variant & 2;
                SCOPED_TRACE(std::string(c.key) + (unique ? " unique" : "") + (descending ? " descending" : "") +
                             " rows " + std::to_string(table->recordCount()));
                std::vector<unsigned char> bytes[2];
                for (int spilled = 0; spilled < 2; ++spilled) {
                    const std::string path = dir.file(spilled ? "S.NTX" : "M.NTX");
                    std::filesystem::remove(path);
                    SortBudget budget(spilled ? 4096 : KeySorter::memoryLimit());
                    TableRows rows(*table);
                    auto ix = NtxIndex::create(path, c.key, unique, descending, "", table->fields(),
                                               table->blankRecord(), rows, false, true);
                    const EntryList want = computedOrder(*table, *ix, false);
                    ASSERT_EQ(firstDifference(walkForward(*ix), want), "");
                    EXPECT_EQ(ix->checkStructure(want.size()), "");
                    ix.reset();
                    bytes[spilled] = readAll(path);
                }
                EXPECT_TRUE(bytes[0] == bytes[1]) << "spilled build differs";
            }
        }
    }
}

// The radix sort over key widths from one byte to the largest, keys that
// share long prefixes and repeat (groups far larger than those finished by
// insertion), every byte value, in memory and in runs.
TEST(ExternalSort, AnyKeyWidthSortsByKeyThenRecord) {
    TempDir dir;
    const unsigned char alphabet[] = {0x00, ' ', 'A', 'a', 0xE9, 0xFF};
    for (int width : {1, 3, 8, 9, 30, kNtxMaxKeySize}) {
        for (bool descending : {false, true}) {
            for (size_t budget : {KeySorter::memoryLimit(), size_t{4096}}) {
                SCOPED_TRACE("width " + std::to_string(width) + (descending ? " descending" : "") +
                             " budget " + std::to_string(budget));
                SortBudget scope(budget);
                KeySorter sorter(width, descending, dir.path());
                std::mt19937 rng(static_cast<unsigned>(width));
                EntryList want;
                for (uint32_t r = 1; r <= 4000; ++r) {
                    std::string key(static_cast<size_t>(width), 'A');
                    const size_t from = rng() % static_cast<size_t>(width);  // a shared prefix before it
                    for (size_t i = from; i < key.size(); i += 1 + rng() % 4)
                        key[i] = static_cast<char>(alphabet[rng() % sizeof alphabet]);
                    sorter.add(reinterpret_cast<const unsigned char*>(key.data()), r * 7919u % 65521u);
                    want.push_back({r * 7919u % 65521u, key});
                }
                sorter.finishInput();
                std::sort(want.begin(), want.end(), [&](const IndexEntry& a, const IndexEntry& b) {
                    if (a.key != b.key) {
                        const int c = std::memcmp(a.key.data(), b.key.data(), a.key.size());
                        return descending ? c > 0 : c < 0;
                    }
                    return a.recno < b.recno;
                });
                EntryList got;
                sorter.forEach([&](const unsigned char* k, uint32_t r) {
                    got.push_back({r, std::string(reinterpret_cast<const char*>(k), static_cast<size_t>(width))});
                });
                EXPECT_EQ(firstDifference(got, want), "");
            }
        }
    }
}
