// Writes that save system calls without giving up a guarantee: bytes copied
// through a file's views only where the file holds them, the one journal
// shared by every work area of a table (and removed by the last), the size
// followed from our own writes only while nobody else wrote, and a journal
// of the first version still rolled back.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>

#include "dbf_table.h"
#include "errors.h"
#include "file_check.h"
#include "file_io.h"
#include "journal.h"
#include "little_endian.h"
#include "test_support.h"
#include "work_area.h"

using namespace sde;
using namespace sde::test;

namespace {

using Bytes = std::vector<unsigned char>;

Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A file of 6,000 bytes (its last system page only partly in it), its first
// kilobyte mapped writable as an index header is.
struct ViewCase {
    const char* what;
    uint64_t off;
    bool inside;         // writeInside, else writeAt
    uint64_t sizeAfter;  // the file's size after the write
};

class FileViews : public ::testing::TestWithParam<ViewCase> {};

TEST_P(FileViews, WritesLandWhereAReadFindsThem) {
    const ViewCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.file("F.BIN");
    writeAll(path, Bytes(6000, '.'));
    auto f = openPosixFile(path, OpenFlags::ReadWrite);
    ASSERT_NE(f->mapFront(1024, true), nullptr);
    const Bytes text = bytesOf("written");
    if (c.inside)
        f->writeInside(c.off, text.data(), text.size());
    else
        f->writeAt(c.off, text.data(), text.size());
    Bytes back(text.size());
    EXPECT_EQ(f->readAt(c.off, back.data(), back.size()), text.size());
    EXPECT_EQ(back, text);
    const Bytes disk = readAll(path);  // another descriptor, as another process reads
    ASSERT_EQ(disk.size(), c.sizeAfter);
    EXPECT_EQ(Bytes(disk.begin() + static_cast<long>(c.off), disk.begin() + static_cast<long>(c.off + text.size())), text);
    EXPECT_EQ(disk[c.off == 0 ? 100 : 0], '.');
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileViews,
    ::testing::Values(ViewCase{"header bytes through the front mapping", 8, false, 6000},
                      ViewCase{"a page rewritten in place", 2048, true, 6000},
                      ViewCase{"the last bytes of the file", 5993, true, 6000},
                      ViewCase{"past a whole page beyond the end: by pwrite", 12288, true, 12295},
                      ViewCase{"past the front mapping, growing the file", 6000, false, 6007}),
    [](const auto& info) { return std::to_string(info.index); });

TEST(FileViewsReadOnly, AWriteThroughAReadOnlyDescriptorFailsAndChangesNothing) {
    TempDir dir;
    const std::string path = dir.file("F.BIN");
    writeAll(path, Bytes(6000, '.'));
    auto f = openPosixFile(path, OpenFlags::ReadOnly);
    const Bytes text = bytesOf("x");
    EXPECT_THROW(f->writeInside(10, text.data(), text.size()), IoError);
    EXPECT_EQ(readAll(path), Bytes(6000, '.'));
}

TEST(FileLocks, NoWriteLockOnSeesOnlyTheWriteLocksOfOthers) {
    TempDir dir;
    const std::string path = dir.file("F.NTX");
    writeAll(path, Bytes(2048, 0));
    auto mine = openPosixFile(path, OpenFlags::ReadWrite);
    auto other = openPosixFile(path, OpenFlags::ReadWrite);
    constexpr uint64_t kLock = 1000000000;
    EXPECT_TRUE(mine->noWriteLockOn(kLock, 1)) << "nobody holds a lock";
    ASSERT_TRUE(other->lockRange(kLock, 1, false, false));
    EXPECT_TRUE(mine->noWriteLockOn(kLock, 1)) << "a reader holds it";
    other->unlockRange(kLock, 1);
    ASSERT_TRUE(other->lockRange(kLock, 1, true, false));
    EXPECT_FALSE(mine->noWriteLockOn(kLock, 1)) << "a writer holds it";
    other->unlockRange(kLock, 1);
    ASSERT_TRUE(mine->lockRange(kLock, 1, true, false));
    EXPECT_TRUE(mine->noWriteLockOn(kLock, 1)) << "our own write lock";
}

// TICKET C6, LIBELLE C10: 17-byte records.
std::string makeSales(const TempDir& dir) {
    const std::string path = dir.file("VENTE.DBF");
    DbfTable::create(path, {{"TICKET", 'C', 0, 6, 0}, {"LIBELLE", 'C', 0, 10, 0}});
    return path;
}

Bytes saleRow(int ticket, const std::string& label) {
    std::string r = " " + std::to_string(ticket);
    r.resize(7, ' ');
    r += label;
    r.resize(17, ' ');
    return bytesOf(r);
}

std::unique_ptr<WorkArea> openShared(const std::string& path) {
    return std::make_unique<WorkArea>("VENTE", DbfTable::open(path, DbfTable::Mode::Shared), AreaSettings{});
}

// The table with an index on its ticket, both empty.
std::string makeIndexedSales(const TempDir& dir) {
    const std::string path = makeSales(dir);
    openShared(path)->createIndex(dir.file("TICKET.NTX"), "TICKET", false, false, "");
    return path;
}

TEST(SharedJournal, StaysWhileAnotherWorkAreaHoldsItAndGoesWithTheLast) {
    TempDir dir;
    const std::string path = makeIndexedSales(dir), journal = Journal::pathFor(path);
    auto first = openShared(path), second = openShared(path);
    for (auto* wa : {first.get(), second.get()}) wa->openIndex(dir.file("TICKET.NTX"));
    first->appendRecord(saleRow(1, "BIERE").data());
    second->appendRecord(saleRow(2, "COCA").data());
    first.reset();
    ASSERT_TRUE(fileExists(journal)) << "the second work area still writes into it";
    second->appendRecord(saleRow(3, "EAU").data());
    EXPECT_EQ(second->recCount(), 3u);
    second.reset();
    EXPECT_FALSE(fileExists(journal));
    EXPECT_EQ(checkIndex(path, dir.file("TICKET.NTX")), "");
}

// Between two of our posts, another writer appends: our next row goes after
// its row, and the file ends as our append leaves it.
struct ForeignAppend {
    const char* what;
    bool indexed;  // the writer keeps the ticket index too
    void (*append)(const std::string& path, const TempDir& dir);
};

class SharedSizes : public ::testing::TestWithParam<ForeignAppend> {};

TEST_P(SharedSizes, ARowAppendedByAnotherWriterIsNeverOverwritten) {
    TempDir dir;
    const std::string path = makeIndexedSales(dir);
    auto wa = openShared(path);
    if (GetParam().indexed) wa->openIndex(dir.file("TICKET.NTX"));
    wa->appendRecord(saleRow(1, "BIERE").data());
    GetParam().append(path, dir);
    wa->appendRecord(saleRow(3, "EAU").data());
    ASSERT_EQ(wa->recCount(), 3u);
    const char* labels[] = {"BIERE", "COCA", "EAU"};
    Bytes image(17);
    for (uint32_t r = 1; r <= 3; ++r) {
        wa->go(r);
        wa->getRecord(image.data());
        EXPECT_EQ(image, saleRow(static_cast<int>(r), labels[r - 1])) << "record " << r;
    }
    EXPECT_EQ(readAll(path).size(), wa->table().headerLength() + 3u * 17 + 1);
    wa.reset();
    EXPECT_EQ(checkTable(path), "");
    if (GetParam().indexed) {
        EXPECT_EQ(checkIndex(path, dir.file("TICKET.NTX")), "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Writers, SharedSizes,
    ::testing::Values(
        ForeignAppend{"another work area, with its index", true,
                      [](const std::string& path, const TempDir& dir) {
                          auto other = openShared(path);
                          other->openIndex(dir.file("TICKET.NTX"));
                          other->appendRecord(saleRow(2, "COCA").data());
                      }},
        // As another xBase program appends in shared mode: the row over the
        // end marker, none after it, then the count.
        ForeignAppend{"another program, without an end marker", false,
                      [](const std::string& path, const TempDir&) {
                          Bytes file = readAll(path);
                          const Bytes row = saleRow(2, "COCA");
                          file.resize(file.size() - 1);
                          file.insert(file.end(), row.begin(), row.end());
                          writeLe32(file.data() + 4, 2);
                          writeAll(path, file);
                      }}),
    [](const auto& info) { return std::to_string(info.index); });

// A journal of the first version (checksums byte-wise FNV-1a), left by a
// writer that died in the middle of an append, is still rolled back.
uint32_t fnv1a(const Bytes& b, size_t from, uint32_t salt) {
    uint32_t h = 2166136261u ^ salt;
    for (size_t i = from; i < b.size(); ++i) h = (h ^ b[i]) * 16777619u;
    return h;
}

void put(Bytes& b, uint64_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

TEST(JournalVersions, AFirstVersionJournalIsRolledBackAtOpen) {
    TempDir dir;
    const std::string path = makeSales(dir);
    openShared(path)->appendRecord(saleRow(1, "BIERE").data());
    const Bytes before = readAll(path);
    // The journal of a second append: the table's old size and first bytes.
    constexpr uint32_t kSalt = 0x5a5a1234;
    Bytes j = bytesOf("SDEJRNL1");
    put(j, kSalt, 4);
    const size_t at = j.size();
    j.push_back('F');
    j.push_back(0);
    put(j, path.size(), 2);
    j.insert(j.end(), path.begin(), path.end());
    put(j, before.size(), 8);
    put(j, fnv1a(j, at, kSalt), 4);
    auto saved = [&](uint64_t off, size_t n) {  // the old bytes [off, off + n)
        const size_t from = j.size();
        j.push_back('P');
        j.push_back(0);
        put(j, off, 8);
        put(j, n, 4);
        j.insert(j.end(), before.begin() + static_cast<long>(off), before.begin() + static_cast<long>(off + n));
        put(j, fnv1a(j, from, kSalt), 4);
    };
    saved(0, 12);                  // count and date
    saved(before.size() - 1, 1);   // the end marker
    writeAll(Journal::pathFor(path), j);
    // The append itself, half done: its row in, the count bumped.
    Bytes torn = before;
    const Bytes row = saleRow(2, "COCA");
    torn.insert(torn.end() - 1, row.begin(), row.end());
    writeLe32(torn.data() + 4, 2);
    writeAll(path, torn);

    auto wa = openShared(path);
    EXPECT_EQ(wa->recCount(), 1u);
    wa.reset();
    const Bytes after = readAll(path);
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) ASSERT_EQ(after[i], before[i]) << "byte " << i;
    EXPECT_FALSE(fileExists(Journal::pathFor(path)));
}

// A unique index remembers the ticket it holds, so that the next rows of
// the ticket need not look for it; another work area that takes the ticket
// away in the meantime is seen, and the ticket goes back in.
TEST(UniqueKeys, ATicketTakenAwayByAnotherWriterGoesBackIn) {
    TempDir dir;
    const std::string path = makeSales(dir), unique = dir.file("TICKETU.NTX");
    openShared(path)->createIndex(unique, "TICKET", true, false, "");
    auto mine = openShared(path), other = openShared(path);
    for (auto* wa : {mine.get(), other.get()}) wa->openIndex(unique);
    mine->appendRecord(saleRow(1, "BIERE").data());
    mine->appendRecord(saleRow(1, "COCA").data());
    other->go(1);
    other->putRecord(saleRow(2, "BIERE").data());  // row 1 moves to ticket 2
    other->go(2);
    other->putRecord(saleRow(2, "COCA").data());
    mine->appendRecord(saleRow(1, "EAU").data());
    mine.reset();
    other.reset();
    EXPECT_EQ(checkIndex(path, unique), "");
}

}  // namespace
