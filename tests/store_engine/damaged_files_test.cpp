// Damaged tables and indexes: copies of golden files with a few bytes
// changed. Each must give a clear error from the call that met the damage,
// and nothing may be written into the damaged file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "dbf_table.h"
#include "errors.h"
#include "file_check.h"
#include "file_io.h"
#include "little_endian.h"
#include "memory_file.h"
#include "ntx_index.h"
#include "test_support.h"
#include "work_area.h"

using namespace sde;
using namespace sde::test;
using ::testing::HasSubstr;

namespace {

using Bytes = std::vector<unsigned char>;
using Patch = std::function<void(Bytes&)>;

uint16_t get16(const Bytes& b, size_t at) { return readLe16(b.data() + at); }
uint32_t get32(const Bytes& b, size_t at) { return readLe32(b.data() + at); }
void put16(Bytes& b, size_t at, uint16_t v) { writeLe16(b.data() + at, v); }
void put32(Bytes& b, size_t at, uint32_t v) { writeLe32(b.data() + at, v); }

// Where the child link of table entry `entry` of the node page at `page` is.
size_t childLink(const Bytes& b, uint32_t page, int entry) {
    return page + get16(b, page + 2 + 2 * static_cast<size_t>(entry));
}

// A golden file copied aside and patched, with its bytes remembered.
class DamagedCopy {
public:
    DamagedCopy(const std::string& golden, const Patch& patch) : path_(dir_.file(golden)) {
        before_ = readAll(goldenFile(golden));
        patch(before_);
        writeAll(path_, before_);
    }
    const std::string& path() const { return path_; }
    std::string companion(const std::string& golden) const {
        copyFile(goldenFile(golden), dir_.file(golden));
        return dir_.file(golden);
    }
    bool unchanged() const { return readAll(path_) == before_; }

private:
    TempDir dir_;
    std::string path_;
    Bytes before_;
};

// The message of the error of type E that `call` throws; fails when none.
template <class E = CorruptFileError>
std::string errorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const E& e) {
        return e.what();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "wrong exception type: " << e.what();
        return e.what();
    }
    ADD_FAILURE() << "no error";
    return "";
}

struct TableCase {
    const char* name;
    Patch patch;
    const char* message;
};

// VENTE.DBF: 7 fields, header 258 bytes, records of 93, 42 records.
const std::vector<TableCase>& tableCases() {
    static const std::vector<TableCase> cases = {
        {"header length past the end of the file", [](Bytes& b) { put16(b, 8, 0xFFFF); },
         "header length disagrees with the file size"},
        {"header length ending before the terminator", [](Bytes& b) { put16(b, 8, 256); },
         "no end of the field descriptors"},
        {"header length cutting a descriptor", [](Bytes& b) { put16(b, 8, 250); },
         "field descriptors overrun"},
        {"terminator overwritten", [](Bytes& b) { b[256] = 'X'; }, "field descriptors overrun"},
        {"record length above the field widths", [](Bytes& b) { put16(b, 10, 94); },
         "record length disagrees"},
        {"record length below the field widths", [](Bytes& b) { put16(b, 10, 92); },
         "record length disagrees"},
        {"header counting more records than present", [](Bytes& b) { put32(b, 4, 50); },
         "truncated"},
        {"records cut off at the end", [](Bytes& b) { b.erase(b.end() - (1 + 2 * 93 + 40), b.end()); },
         "truncated"},
        {"unknown field type", [](Bytes& b) { b[32 + 11] = 'X'; }, "Unsupported field type 'X'"},
        {"memo field", [](Bytes& b) { b[32 + 32 + 11] = 'M'; }, "Unsupported field type 'M'"},
        {"one field name twice",
         [](Bytes& b) { std::copy(b.begin() + 32, b.begin() + 43, b.begin() + 64); },
         "field NOM appears twice"},
    };
    return cases;
}

}  // namespace

TEST(DamagedTable, OpenNamesTheDamageAndWritesNothing) {
    for (const auto& c : tableCases()) {
        SCOPED_TRACE(c.name);
        DamagedCopy copy("VENTE.DBF", c.patch);
        for (auto mode : {DbfTable::Mode::Shared, DbfTable::Mode::Exclusive, DbfTable::Mode::ReadOnly})
            EXPECT_THAT(errorOf([&] { DbfTable::open(copy.path(), mode); }), HasSubstr(c.message));
        EXPECT_TRUE(copy.unchanged());
    }
}

TEST(DamagedTable, PartialRecordLeftByACrashIsIgnoredAndOverwrittenByTheNextAppend) {
    // The crash came after part of record 43 and before its header count.
    DamagedCopy copy("VENTE.DBF", [](Bytes& b) {
        b.pop_back();  // the end-of-file byte
        b.insert(b.end(), 40, 'Z');
    });
    auto listed = readRecordListing("VENTE");
    {
        auto t = DbfTable::open(copy.path(), DbfTable::Mode::Shared);
        ASSERT_EQ(t->recordCount(), 42u);
        Bytes rec(t->recordLength());
        t->readRecord(42, rec.data());
        EXPECT_EQ(std::string(rec.begin(), rec.end()), listed[41]);
        EXPECT_THROW(t->readRecord(43, rec.data()), EngineError);
    }
    EXPECT_TRUE(copy.unchanged());

    auto t = DbfTable::open(copy.path(), DbfTable::Mode::Shared);
    Bytes row(t->recordLength(), 'a');
    row[0] = ' ';
    EXPECT_EQ(t->appendRecord(row.data()), 43u);
    t.reset();
    Bytes after = readAll(copy.path());
    ASSERT_EQ(after.size(), 258u + 43 * 93 + 1);
    EXPECT_EQ(get32(after, 4), 43u);
    EXPECT_EQ(Bytes(after.end() - 94, after.end() - 1), row);
    EXPECT_EQ(after.back(), 0x1A);
}

TEST(DamagedTable, SmallHeaderCountIsMendedOnlyByAWritableOpen) {
    DamagedCopy copy("VENTE.DBF", [](Bytes& b) { put32(b, 4, 40); });
    EXPECT_EQ(DbfTable::open(copy.path(), DbfTable::Mode::ReadOnly)->recordCount(), 42u);
    EXPECT_TRUE(copy.unchanged());

    EXPECT_EQ(DbfTable::open(copy.path(), DbfTable::Mode::Shared)->recordCount(), 42u);
    Bytes mended = readAll(copy.path());
    EXPECT_EQ(get32(mended, 4), 42u);
    Bytes golden = readAll(goldenFile("VENTE.DBF"));
    EXPECT_TRUE(std::equal(mended.begin() + 8, mended.end(), golden.begin() + 8));
}

namespace {

struct IndexCase {
    const char* name;
    const char* golden;
    Patch patch;
    const char* message;
};

// VENTART.NTX: upper(Libelle), keys of 30, max 24 per page; root page 3072
// with one key, its children the leaves 1024 (24 keys) and 2048 (17 keys).
// BIGTIC.NTX: three levels, root 332800 whose first child is 65536.
const std::vector<IndexCase>& refusedAtOpen() {
    static const std::vector<IndexCase> cases = {
        {"root page outside the file", "VENTART.NTX", [](Bytes& b) { put32(b, 4, 8192); },
         "root page offset outside the file"},
        {"root page not on a page boundary", "VENTART.NTX", [](Bytes& b) { put32(b, 4, 3000); },
         "root page offset outside the file"},
        {"more keys per page than fit", "VENTART.NTX", [](Bytes& b) { put16(b, 18, 100); },
         "page count over the maximum"},
        {"half page above half the maximum", "VENTART.NTX", [](Bytes& b) { put16(b, 20, 13); },
         "half page out of range"},
        {"signature 8", "VENTART.NTX", [](Bytes& b) { put16(b, 0, 8); }, "signature 8"},
        {"large-file signature bit", "VENTART.NTX", [](Bytes& b) { put16(b, 0, 0x0206); },
         "signature 518"},
        {"size not a whole number of pages", "VENTART.NTX", [](Bytes& b) { b.insert(b.end(), 100, 0); },
         "not a whole number of pages"},
        {"last page cut short", "VENTART.NTX", [](Bytes& b) { b.erase(b.end() - 24, b.end()); },
         "not a whole number of pages"},
    };
    return cases;
}

const std::vector<IndexCase>& refusedAtFirstUse() {
    static const std::vector<IndexCase> cases = {
        {"child page outside the file", "VENTART.NTX",
         [](Bytes& b) { put32(b, childLink(b, 3072, 0), 1u << 20); }, "outside the file"},
        {"more keys in a page than the maximum", "VENTART.NTX", [](Bytes& b) { put16(b, 1024, 25); },
         "holds more keys than a page can"},
        {"slot table entry off the item grid", "VENTART.NTX",
         [](Bytes& b) { put16(b, 3072 + 2, static_cast<uint16_t>(get16(b, 3072 + 2) + 3)); },
         "slot outside the page"},
        {"root linking to itself", "VENTART.NTX",
         [](Bytes& b) { put32(b, childLink(b, 3072, 1), 3072); }, "cycle in the page links"},
        {"inner page linking back to the root", "BIGTIC.NTX",
         [](Bytes& b) { put32(b, childLink(b, 65536, 0), 332800); }, "cycle in the page links"},
    };
    return cases;
}

// Reads the index from end to end in both directions and seeks every key
// prefix; throws at the first damaged page met.
void walkEverything(NtxIndex& ix) {
    NtxCursor c;
    for (bool ok = ix.first(c); ok; ok = ix.next(c)) {
    }
    for (bool ok = ix.last(c); ok; ok = ix.prev(c)) {
    }
    for (char k = ' '; k <= 'Z'; ++k) ix.seek(c, std::string(1, k), 1);
}

}  // namespace

TEST(DamagedIndex, OpenNamesTheDamageAndWritesNothing) {
    for (const auto& c : refusedAtOpen()) {
        SCOPED_TRACE(c.name);
        DamagedCopy copy(c.golden, c.patch);
        auto fields = DbfTable::open(goldenFile("VENTE.DBF"), DbfTable::Mode::ReadOnly)->fields();
        EXPECT_THAT(errorOf([&] { NtxIndex::open(copy.path(), true, false, fields); }),
                    HasSubstr(c.message));
        EXPECT_THAT(errorOf([&] { NtxIndex::open(copy.path(), false, false, fields); }),
                    HasSubstr(c.message));

        // A read-only work area cannot rebuild it: it refuses it and stays
        // usable without it.
        WorkArea wa("VENTE", DbfTable::open(copy.companion("VENTE.DBF"), DbfTable::Mode::ReadOnly), {});
        EXPECT_THAT(errorOf([&] { wa.openIndex(copy.path()); }), HasSubstr(c.message));
        EXPECT_EQ(wa.indexCount(), 0);
        wa.goTop();
        EXPECT_EQ(wa.recno(), 1u);
        EXPECT_TRUE(copy.unchanged());
    }
}

// The table is the source of truth: a writable work area rebuilds an index
// found damaged at open from the rows, with the key its header names.
TEST(IndexRepair, IndexDamagedAtOpenIsRebuiltFromItsTable) {
    WorkArea::takeRepairedIndexes();
    for (const auto& c : refusedAtOpen()) {
        for (auto mode : {DbfTable::Mode::Shared, DbfTable::Mode::Exclusive}) {
            SCOPED_TRACE(std::string(c.name) + (mode == DbfTable::Mode::Shared ? ", shared" : ", exclusive"));
            DamagedCopy copy(c.golden, c.patch);
            const std::string table = copy.companion("VENTE.DBF");
            {
                WorkArea wa("VENTE", DbfTable::open(table, mode), {});
                EXPECT_EQ(wa.openIndex(copy.path()), 1);
                EXPECT_EQ(wa.currentIndex()->header().keyExpr, "upper(Libelle)");
                EXPECT_EQ(WorkArea::takeRepairedIndexes(), std::vector<std::string>{copy.path()});
                wa.goTop();
                EXPECT_EQ(wa.recno(), readOrderListing("VENTART").entries.front().recno);
            }
            EXPECT_EQ(checkIndex(table, copy.path()), "");
        }
    }
}

// Another holder of the file, or a key that no longer reads, keeps the
// damage as it was: reported, never written over.
TEST(IndexRepair, IndexHeldElsewhereOrWithAnUnreadableKeyKeepsItsError) {
    const Patch rootOutside = refusedAtOpen().front().patch;
    struct Case {
        const char* name;
        Patch patch;
        bool held;
    };
    const Case cases[] = {
        {"held by another program", rootOutside, true},
        {"key naming no field", [&](Bytes& b) {
             rootOutside(b);
             std::fill(b.begin() + 22, b.begin() + 278, 0);
             std::string key = "upper(nosuchfield)";
             std::copy(key.begin(), key.end(), b.begin() + 22);
         }, false},
        {"no key at all", [&](Bytes& b) {
             rootOutside(b);
             std::fill(b.begin() + 22, b.begin() + 278, 0);
         }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DamagedCopy copy("VENTART.NTX", c.patch);
        std::unique_ptr<File> holder = openFile(copy.path(), OpenFlags::ReadOnly);
        if (c.held) {
            ASSERT_TRUE(holder->lockOpenMode(false));
        }
        WorkArea wa("VENTE", DbfTable::open(copy.companion("VENTE.DBF"), DbfTable::Mode::Shared), {});
        EXPECT_THAT(errorOf([&] { wa.openIndex(copy.path()); }), HasSubstr("root page offset outside the file"));
        EXPECT_EQ(wa.indexCount(), 0);
        EXPECT_TRUE(copy.unchanged());
        EXPECT_TRUE(WorkArea::takeRepairedIndexes().empty());
    }
}

TEST(DamagedIndex, KeyExpressionThatDoesNotParseIsAnExpressionError) {
    for (const char* expr : {"upper(libelle", "upper(nosuchfield)", "libelle +", "\x01\x02"}) {
        SCOPED_TRACE(expr);
        DamagedCopy copy("VENTART.NTX", [&](Bytes& b) {
            std::fill(b.begin() + 22, b.begin() + 278, 0);
            std::copy(expr, expr + std::strlen(expr), b.begin() + 22);
        });
        auto fields = DbfTable::open(goldenFile("VENTE.DBF"), DbfTable::Mode::ReadOnly)->fields();
        EXPECT_THAT(errorOf<ExpressionError>([&] { NtxIndex::open(copy.path(), true, false, fields); }),
                    HasSubstr(copy.path()));
        EXPECT_TRUE(copy.unchanged());
    }
}

TEST(DamagedIndex, DamagedPageIsReportedByTheCallThatReadsIt) {
    for (const auto& c : refusedAtFirstUse()) {
        SCOPED_TRACE(c.name);
        DamagedCopy copy(c.golden, c.patch);
        auto fields = DbfTable::open(goldenFile("VENTE.DBF"), DbfTable::Mode::ReadOnly)->fields();
        auto ix = NtxIndex::open(copy.path(), true, false, fields);  // pages are read lazily
        EXPECT_THAT(errorOf([&] { walkEverything(*ix); }), HasSubstr(c.message));
        EXPECT_THROW(ix->keyCount(), CorruptFileError);
        std::string base = std::string(c.golden).substr(0, std::strlen(c.golden) - 4);
        EXPECT_NE(ix->checkStructure(readOrderListing(base).entries.size()), "");
        EXPECT_TRUE(copy.unchanged());
    }
}

TEST(DamagedIndex, MaintenanceRefusesTheDamagedIndexAndLeavesItAlone) {
    // Keys before and after the root key, so that every damaged path is taken.
    int refused = 0;
    for (const auto& c : refusedAtFirstUse()) {
        if (std::string(c.golden) != "VENTART.NTX") continue;
        for (const char* label : {"AAA", "ZZZ"}) {
            SCOPED_TRACE(std::string(c.name) + ", key " + label);
            DamagedCopy copy(c.golden, c.patch);
            auto table = DbfTable::open(copy.companion("VENTE.DBF"), DbfTable::Mode::Shared);
            auto fields = table->fields();
            const int libelle = table->fieldIndex("LIBELLE");
            WorkArea wa("VENTE", std::move(table), {});
            wa.openIndex(copy.path());
            wa.appendBlank();
            Bytes row = wa.table().blankRecord();
            std::copy(label, label + 3, row.begin() + wa.table().fields()[libelle].offset);

            bool damageOnPath = true;
            try {
                wa.putRecord(row.data());
                damageOnPath = false;
            } catch (const CorruptFileError& e) {
                EXPECT_THAT(e.what(), HasSubstr(copy.path()));
            }
            if (!damageOnPath) continue;  // the changed page was not on this key's path
            ++refused;
            EXPECT_TRUE(copy.unchanged());

            auto ix = NtxIndex::open(copy.path(), true, false, fields);
            std::string key = std::string(label) + std::string(27, ' ');
            EXPECT_THROW(ix->insert(key, 43), CorruptFileError);
            EXPECT_THROW(ix->remove(key, 1), CorruptFileError);
            EXPECT_TRUE(copy.unchanged());
        }
    }
    // "AAA" misses the damage right of the root key and "ZZZ" the one in the
    // left leaf; every other pair meets it.
    EXPECT_EQ(refused, 6);
}

// Each byte of the table header, and of the index header and root page, set
// to 0x00 and to 0xFF in turn and read through in memory: a clear error or
// a readable file, never a crash. (The fuzz targets go much further; this
// runs with every test run.)
TEST(DamagedBytes, EachHeaderByteChangedGivesAnErrorOrAReadableFile) {
    const Bytes table = readAll(goldenFile("VENTE.DBF"));
    const Bytes index = readAll(goldenFile("VENTART.NTX"));
    const auto fields = DbfTable::open(goldenFile("VENTE.DBF"), DbfTable::Mode::ReadOnly)->fields();
    MemoryFiles files;
    int refused = 0, read = 0;
    auto attempt = [&](const std::function<void()>& readThrough) {
        try {
            readThrough();
            ++read;
        } catch (const EngineError&) {
            ++refused;
        }
    };
    for (size_t at = 0; at < 258; ++at) {
        for (unsigned char v : {0x00, 0xFF}) {
            Bytes b = table;
            b[at] = v;
            files.put("/mem/VENTE.DBF", b);
            attempt([&] {
                auto t = DbfTable::open("/mem/VENTE.DBF", DbfTable::Mode::Shared);
                Bytes rec(t->recordLength());
                for (uint32_t r = 1; r <= t->recordCount(); ++r) t->readRecord(r, rec.data());
            });
        }
    }
    std::vector<size_t> places;
    for (size_t at = 0; at < 300; ++at) places.push_back(at);               // header fields, key
    for (size_t at = 3072; at < 3072 + 120; ++at) places.push_back(at);    // root: count, slots, items
    for (size_t at : places) {
        for (unsigned char v : {0x00, 0xFF}) {
            Bytes b = index;
            b[at] = v;
            files.put("/mem/VENTART.NTX", b);
            attempt([&] {
                auto ix = NtxIndex::open("/mem/VENTART.NTX", true, false, fields);
                NtxCursor c;
                for (int n = 0, ok = ix->first(c); ok && n < 1000; ok = ix->next(c), ++n) {
                }
                for (int n = 0, ok = ix->last(c); ok && n < 1000; ok = ix->prev(c), ++n) {
                }
                ix->checkStructure(42);
                ix->insert(std::string(30, 'M'), 43);
            });
        }
    }
    EXPECT_GT(refused, 100);  // both outcomes are common: the loops did run
    EXPECT_GT(read, 100);
}
