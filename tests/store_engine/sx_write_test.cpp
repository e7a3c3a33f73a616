// Writes through the C interface: index builds, record images and layout,
// the kind of each failure, all-or-nothing appends, and an index found
// damaged while a call reads it.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>

#include "little_endian.h"
#include "sx_api_fixture.h"

using namespace sde::test;

namespace {

uint32_t le32(const std::vector<unsigned char>& b, size_t at) { return sde::readLe32(&b[at]); }

}  // namespace

// ---- building indexes ----

class SxIndexes : public SxApiTest {};

TEST_F(SxIndexes, CreatingAnIndexReplacesTheFile) {
    use(createTable("VENTE.DBF", kSalesFields), "VENTE");
    addRow({{"TICKET", "2"}, {"NAME", "a"}});
    addRow({{"TICKET", "1"}, {"NAME", "b"}});
    const std::string ix = dir.file("X.NTX");
    ASSERT_EQ(sx.sx_Index(ix.c_str(), "TICKET", 0, 0, ""), 1);
    EXPECT_EQ(forward(), (Rows{2, 1}));
    ASSERT_EQ(sx.sx_Index(ix.c_str(), "NAME", 0, 0, ""), 1) << "open here: replaced in place";
    EXPECT_EQ(sx.sx_SysProp(SDE_PROP_INDEX_COUNT, nullptr), 1);
    EXPECT_EQ(std::string(sx.sx_IndexKey()), "NAME");
    EXPECT_EQ(forward(), (Rows{1, 2}));
    sx.sx_CloseIndexes();
    EXPECT_EQ(sx.sx_SysProp(SDE_PROP_INDEX_COUNT, nullptr), 0);
    ASSERT_EQ(sx.sx_Index(ix.c_str(), "TICKET", 0, 0, ""), 1) << "closed: the file is overwritten";
    EXPECT_EQ(forward(), (Rows{2, 1}));
    sx.sx_CloseIndexes();
    ASSERT_EQ(sx.sx_IndexOpen(ix.c_str()), 1);
    EXPECT_EQ(std::string(sx.sx_IndexKey()), "TICKET");
    EXPECT_EQ(sx.sx_Index(dir.file("Y.NTX").c_str(), "NOSUCH", 0, 0, ""), 0);
    EXPECT_EQ(sx.sx_SysProp(SDE_PROP_INDEX_COUNT, nullptr), 1);
    EXPECT_EQ(sx.sx_IndexOpen(dir.file("NONE.NTX").c_str()), 0);
}

TEST_F(SxIndexes, UniqueBuildKeepsTheFirstLiveRowPerKey) {
    use(createTable("MEMBRE.DBF", kSalesFields), "MEMBRE");
    addRow({{"TICKET", "A"}}, true);
    addRow({{"TICKET", "A"}});
    addRow({{"TICKET", "B"}});
    addRow({{"TICKET", "A"}});
    addRow({{"TICKET", "B"}}, true);
    addRow({{"TICKET", "C"}}, true);
    addRow({{"TICKET", "C"}}, true);
    sx.sx_SetDeleted(1);
    ASSERT_EQ(sx.sx_Index(dir.file("U.NTX").c_str(), "TICKET", 1, 0, ""), 1);
    EXPECT_EQ(forward(), (Rows{2, 3}));
    sx.sx_SetDeleted(0);
    EXPECT_EQ(forward(), (Rows{2, 3, 6})) << "one entry per key; C has no live row";
    ASSERT_EQ(sx.sx_Index(dir.file("U.NTX").c_str(), "TICKET", 1, 0, ""), 1);
    EXPECT_EQ(forward(), (Rows{1, 3, 6})) << "Deleted off: the first row of each key";
}

TEST_F(SxIndexes, ReindexCatchesUpWithWritesMadeWithoutTheIndex) {
    std::string table = createTable("VENTE.DBF", kSalesFields);
    int a = use(table, "A");
    for (const char* t : {"3", "1", "2"}) addRow({{"TICKET", t}});
    ASSERT_EQ(sx.sx_Index(dir.file("TICKET.NTX").c_str(), "TICKET", 0, 0, ""), 1);
    use(table, "B");  // no index here
    addRow({{"TICKET", "0"}});
    change(1, "TICKET", "4");
    sx.sx_Select(a);
    ASSERT_EQ(sx.sx_Reindex(), 1) << sx.sx_ErrorText();
    EXPECT_EQ(forward(), (Rows{4, 2, 3, 1}));
    EXPECT_EQ(sx.sx_Seek("0"), 1);
    EXPECT_EQ(sx.sx_RecNo(), 4);
}

TEST_F(SxIndexes, ZapEmptiesTableAndIndexes) {
    std::string table = createTable("VENTE.DBF", kSalesFields);
    use(table, "V", SDE_EXCLUSIVE);
    for (const char* t : {"3", "1", "2"}) addRow({{"TICKET", t}, {"NAME", t}});
    ASSERT_EQ(sx.sx_Index(dir.file("T.NTX").c_str(), "TICKET", 0, 0, ""), 1);
    ASSERT_EQ(sx.sx_Index(dir.file("N.NTX").c_str(), "NAME", 0, 0, ""), 2);
    sx.sx_SetOrder(1);
    ASSERT_EQ(sx.sx_Zap(), 1) << sx.sx_ErrorText();
    EXPECT_EQ(at(), "1 eof bof");
    EXPECT_EQ(forward(), Rows{});
    EXPECT_EQ(sx.sx_Seek("1"), 0);

    addRow({{"TICKET", "9"}, {"NAME", "z"}});
    addRow({{"TICKET", "8"}, {"NAME", "y"}});
    EXPECT_EQ(forward(), (Rows{2, 1}));
    EXPECT_EQ(sx.sx_Seek("9"), 1);
    EXPECT_EQ(sx.sx_RecNo(), 1);
    sx.sx_Close();

    use(table, "V");
    ASSERT_EQ(sx.sx_IndexOpen(dir.file("N.NTX").c_str()), 1);
    EXPECT_EQ(forward(), (Rows{2, 1}));
    auto bytes = readAll(table);
    EXPECT_EQ(le32(bytes, 4), 2u);
    EXPECT_EQ(bytes.back(), 0x1A);
}

// ---- layout and record images ----

class SxRecords : public SxApiTest {};

TEST_F(SxRecords, FieldInfoDescribesTheLayout) {
    use(createTable("ART.DBF", "NAME,C,30,0;PRIX,N,10,2;DAY,D,8,0;PAID,L,1,0"), "ART");
    EXPECT_EQ(sx.sx_FieldCount(), 4);
    EXPECT_EQ(std::string(sx.sx_FieldName(1)), "NAME");
    EXPECT_EQ(std::string(sx.sx_FieldName(4)), "PAID");
    EXPECT_EQ(std::string(sx.sx_FieldName(5)), "");
    EXPECT_EQ(std::string(sx.sx_FieldName(0)), "");
    EXPECT_EQ(std::string(sx.sx_FieldType("prix")), "N");
    EXPECT_EQ(std::string(sx.sx_FieldType("DAY")), "D");
    EXPECT_EQ(std::string(sx.sx_FieldType("PAID")), "L");
    EXPECT_EQ(sx.sx_FieldOffset("NAME"), 2);
    EXPECT_EQ(sx.sx_FieldOffset("PRIX"), 32);
    EXPECT_EQ(sx.sx_FieldOffset("DAY"), 42);
    EXPECT_EQ(sx.sx_FieldOffset("PAID"), 50);
    EXPECT_EQ(sx.sx_FieldWidth("PRIX"), 10);
    EXPECT_EQ(sx.sx_FieldDecimals("PRIX"), 2);
    EXPECT_EQ(sx.sx_FieldDecimals("NAME"), 0);
    EXPECT_EQ(sx.sx_RecSize(), 50);
    EXPECT_EQ(sx.sx_FieldOffset("NOPE"), 0);
    EXPECT_NE(std::string(sx.sx_ErrorText()), "");
    EXPECT_EQ(std::string(sx.sx_FieldType("NOPE")), "");

    EXPECT_EQ(sx.sx_CreateTable(dir.file("ART.DBF").c_str(), "A,C,1,0"), 0) << "never over a table";
    EXPECT_EQ(sx.sx_CreateTable(dir.file("BAD1.DBF").c_str(), "A,C,x,0"), 0);
    EXPECT_EQ(sx.sx_CreateTable(dir.file("BAD2.DBF").c_str(), "A,Q,5,0"), 0);
    EXPECT_EQ(sx.sx_CreateTable(dir.file("BAD3.DBF").c_str(), ""), 0);
}

TEST_F(SxRecords, ImagesRoundTripAndEveryAppendLeavesASoundFile) {
    std::string table = createTable("VENTE.DBF", kSalesFields);
    auto bytes = readAll(table);
    const size_t header = sde::readLe16(&bytes[8]);
    ASSERT_EQ(bytes.size(), header + 1);
    EXPECT_EQ(bytes.back(), 0x1A);

    for (int mode : {SDE_SHARED, SDE_EXCLUSIVE}) {
        SCOPED_TRACE(mode);
        use(table, "VENTE", mode);
        const size_t size = static_cast<size_t>(sx.sx_RecSize());
        const long before = sx.sx_RecCount();
        for (long n = before + 1; n <= before + 3; ++n) {
            ASSERT_EQ(sx.sx_AppendBlank(), 1);
            EXPECT_EQ(sx.sx_RecNo(), n);
            EXPECT_EQ(record(), std::vector<unsigned char>(size, ' '));
            bytes = readAll(table);
            ASSERT_EQ(bytes.size(), header + n * size + 1);
            EXPECT_EQ(le32(bytes, 4), static_cast<uint32_t>(n));
            EXPECT_EQ(bytes.back(), 0x1A);
            EXPECT_TRUE(std::all_of(bytes.end() - 1 - static_cast<long>(size), bytes.end() - 1,
                                    [](unsigned char c) { return c == ' '; }));
            std::vector<unsigned char> image(size);
            for (size_t i = 0; i < size; ++i) image[i] = static_cast<unsigned char>(32 + (i * 7 + n) % 200);
            image[0] = ' ';
            ASSERT_EQ(sx.sx_PutRecord(image.data()), 1);
            EXPECT_EQ(record(), image);
            sx.sx_GoTop();
            sx.sx_Go(n);
            EXPECT_EQ(record(), image);
            bytes = readAll(table);
            EXPECT_TRUE(std::equal(image.begin(), image.end(), bytes.end() - 1 - static_cast<long>(size)));
        }
        sx.sx_Unlock(0);
        sx.sx_Close();
    }
}

// ---- error kinds ----

class SxErrorCodes : public SxApiTest {};

// Holds the file locked exclusively from another process for its lifetime,
// as another program with the table open exclusively does.
class ExclusiveHolder {
public:
    explicit ExclusiveHolder(const std::string& path) {
        int ready[2], release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0) return;
        std::fflush(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            int fd = ::open(path.c_str(), O_RDWR);
            char c = (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) ? 'y' : 'n';
            if (::write(ready[1], &c, 1) != 1) _exit(1);
            (void)::read(release[0], &c, 1);  // until the parent closes its end
            _exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        release_ = release[1];
        char c = 'n';
        held_ = ::read(ready[0], &c, 1) == 1 && c == 'y';
        ::close(ready[0]);
    }
    ~ExclusiveHolder() {
        if (release_ >= 0) ::close(release_);
        if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    }
    bool held() const { return held_; }

private:
    pid_t pid_ = -1;
    int release_ = -1;
    bool held_ = false;
};

TEST_F(SxErrorCodes, EachFailureReportsItsKindAndTheNextSuccessClearsIt) {
    const std::string table = createTable("VENTE.DBF", kSalesFields);
    const std::string damaged = createTable("DAMAGED.DBF", kSalesFields);
    {
        auto bytes = readAll(damaged);
        sde::writeLe16(&bytes[8], 0xFFFF);  // header length past the end of the file
        writeAll(damaged, bytes);
    }
    const std::string locked = createTable("LOCKED.DBF", kSalesFields);

    struct Case {
        const char* what;
        int expected;
        std::function<int()> call;  // returns the failing call's result
    };
    const std::vector<Case> cases = {
        {"missing file", SDE_ERR_NOT_FOUND,
         [&] { return sx.sx_Use(dir.file("NOPE.DBF").c_str(), "NOPE", SDE_SHARED, SDE_NTX); }},
        {"missing index", SDE_ERR_NOT_FOUND,
         [&] { return sx.sx_IndexOpen(dir.file("NOPE.NTX").c_str()); }},
        {"damaged header", SDE_ERR_CORRUPT,
         [&] { return sx.sx_Use(damaged.c_str(), "DAMAGED", SDE_SHARED, SDE_NTX); }},
        {"bad query", SDE_ERR_EXPRESSION, [&] { return sx.sx_Query("PRIX > "); }},
        {"bad index key", SDE_ERR_EXPRESSION,
         [&] { return sx.sx_Index(dir.file("X.NTX").c_str(), "upper(NOSUCH)", 0, 0, ""); }},
        {"locked by another process", SDE_ERR_LOCKED,
         [&] {
             ExclusiveHolder holder(locked);
             EXPECT_TRUE(holder.held());
             return sx.sx_Use(locked.c_str(), "LOCKED", SDE_SHARED, SDE_NTX);
         }},
        {"write refused by the system", SDE_ERR_IO,
         [&] {
             FileSizeLimit limit(static_cast<rlim_t>(readAll(table).size()));
             return sx.sx_AppendBlank();
         }},
        {"alias twice", SDE_ERR_OTHER,
         [&] { return sx.sx_Use(table.c_str(), "VENTE", SDE_SHARED, SDE_NTX); }},
    };
    use(table, "VENTE");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sx.sx_Select(sx.sx_WorkArea("VENTE"));
        ASSERT_EQ(sx.sx_GoTop(), 1);
        ASSERT_EQ(sx.sx_ErrorCode(), SDE_ERR_NONE);
        EXPECT_EQ(c.call(), 0);
        EXPECT_EQ(sx.sx_ErrorCode(), c.expected) << sx.sx_ErrorText();
        EXPECT_NE(std::string(sx.sx_ErrorText()), "");
    }
    sx.sx_Select(sx.sx_WorkArea("VENTE"));
    EXPECT_EQ(sx.sx_GoTop(), 1);
    EXPECT_EQ(sx.sx_ErrorCode(), SDE_ERR_NONE);
    EXPECT_EQ(std::string(sx.sx_ErrorText()), "");
    EXPECT_EQ(sx.sx_RecCount(), 0) << "the refused append left no row";
}

// ---- all-or-nothing posts ----

class SxAppendRecord : public SxApiTest {};

TEST_F(SxAppendRecord, AppendsTheWholeRowWithItsKeysOrNothing) {
    const std::string table = createTable("VENTE.DBF", kSalesFields);
    use(table, "VENTE");
    ASSERT_GT(sx.sx_Index(dir.file("TICKET.NTX").c_str(), "upper(ticket)", 0, 0, ""), 0) << sx.sx_ErrorText();
    ASSERT_GT(sx.sx_Index(dir.file("NAME.NTX").c_str(), "upper(name)", 0, 0, ""), 0) << sx.sx_ErrorText();
    auto image = record();
    setField(image, "TICKET", "41");
    setField(image, "NAME", "Biere");
    ASSERT_EQ(sx.sx_AppendRecord(image.data()), 1) << sx.sx_ErrorText();
    EXPECT_EQ(sx.sx_RecNo(), 1);
    EXPECT_EQ(field("NAME"), "Biere" + std::string(15, ' '));
    sx.sx_SetOrder(1);
    EXPECT_EQ(sx.sx_Seek("41"), 1);
    sx.sx_SetOrder(2);
    EXPECT_EQ(sx.sx_Seek("BIERE"), 1);

    // A write the system refuses: no row, no key, the same files.
    const auto before = readAll(table);
    setField(image, "TICKET", "42");
    {
        FileSizeLimit limit(static_cast<rlim_t>(before.size()));
        EXPECT_EQ(sx.sx_AppendRecord(image.data()), 0);
        EXPECT_EQ(sx.sx_ErrorCode(), SDE_ERR_IO) << sx.sx_ErrorText();
    }
    EXPECT_EQ(readAll(table), before);
    EXPECT_EQ(sx.sx_RecCount(), 1);
    sx.sx_SetOrder(1);
    EXPECT_EQ(sx.sx_Seek("42"), 0);
    EXPECT_EQ(sx.sx_KeyCount(), 1);
    EXPECT_EQ(sx.sx_Commit(), 1) << sx.sx_ErrorText();
}

// ---- an index found damaged while it is read ----

class SxIndexRepair : public SxApiTest {};

// A page of the name index damaged in three ways: each is met by the walk
// (or the append) that reads it, the index is rebuilt from the table, and the
// call goes on as if nothing had happened.
TEST_F(SxIndexRepair, PageDamageMetByACallIsRebuiltAndTheCallGoesOn) {
    using Bytes = std::vector<unsigned char>;
    // Offset in the root page of its first item's child link.
    auto firstLink = [](const Bytes& b, uint32_t root) { return root + sde::readLe16(b.data() + root + 2); };
    const std::vector<std::pair<const char*, std::function<void(Bytes&, uint32_t)>>> damages = {
        {"child outside the file", [&](Bytes& b, uint32_t root) { sde::writeLe32(b.data() + firstLink(b, root), 1u << 30); }},
        {"root linking to itself", [&](Bytes& b, uint32_t root) { sde::writeLe32(b.data() + firstLink(b, root), root); }},
        {"more keys than a page holds", [](Bytes& b, uint32_t root) { sde::writeLe16(b.data() + root, 999); }},
    };
    for (bool byAppend : {false, true}) {
        for (const auto& [name, damage] : damages) {
            SCOPED_TRACE(std::string(name) + (byAppend ? ", append" : ", walk"));
            const std::string table = createTable("VENTE.DBF", kSalesFields);
            const std::string index = dir.file("NAME.NTX");
            use(table, "VENTE");
            ASSERT_EQ(sx.sx_Index(index.c_str(), "upper(name)", 0, 0, ""), 1);
            for (int i = 0; i < 100; ++i) {
                // Appended: GCC 12 at -O3 reports a false -Wrestrict overlap in "N" + string.
                std::string name = "N";
                name += std::to_string(1000 - i);
                addRow({{"NAME", name}});
            }
            sx.sx_CloseAll();
            Bytes bytes = readAll(index);
            damage(bytes, sde::readLe32(bytes.data() + 4));
            writeAll(index, bytes);

            use(table, "VENTE");
            ASSERT_EQ(sx.sx_IndexOpen(index.c_str()), 1) << "the header is sound";
            if (byAppend) addRow({{"NAME", "N0000"}});
            const std::vector<long> walk = forward();
            EXPECT_EQ(sx.sx_ErrorCode(), SDE_ERR_NONE) << sx.sx_ErrorText();
            ASSERT_EQ(walk.size(), byAppend ? 101u : 100u);
            EXPECT_EQ(walk.front(), byAppend ? 101 : 1) << "name order";
            EXPECT_EQ(std::string(sx.sx_RepairedIndexes()), index + "\n");
            EXPECT_EQ(std::string(sx.sx_RepairedIndexes()), "") << "said once";
            sx.sx_CloseAll();
            std::filesystem::remove(table);
            std::filesystem::remove(index);
        }
    }
}
