// Two work areas on one file through the C interface: aliases, writes seen
// by the other, index walks under the other's writes, locks, exclusive
// opens; and file names that match without regard to case.
#include <algorithm>
#include <filesystem>
#include <random>

#include "sx_api_fixture.h"

using namespace sde::test;

// ---- two work areas on one file ----

class SxSharing : public SxApiTest {};

TEST_F(SxSharing, AliasesAreUniqueAndFindTheirArea) {
    std::string table = createTable("VENTE.DBF", kSalesFields);
    int a = use(table, "");  // named after the file
    EXPECT_EQ(sx.sx_Use(table.c_str(), "vente", SDE_SHARED, SDE_NTX), 0);
    EXPECT_NE(std::string(sx.sx_ErrorText()), "");
    int b = use(table, "Second");
    EXPECT_NE(a, b);
    EXPECT_EQ(sx.sx_WorkArea("vente"), a);
    EXPECT_EQ(sx.sx_WorkArea("SECOND"), b);
    EXPECT_EQ(sx.sx_WorkArea("third"), 0);
    EXPECT_EQ(sx.sx_Use(table.c_str(), "X", SDE_SHARED, 2), 0) << "only NTX tables";

    EXPECT_EQ(sx.sx_Select(a), b);
    sx.sx_Close();
    EXPECT_EQ(sx.sx_WorkArea("VENTE"), 0);
    EXPECT_EQ(sx.sx_WorkArea("SECOND"), b);
    EXPECT_EQ(sx.sx_GoTop(), 0) << "no work area selected";
    EXPECT_EQ(sx.sx_FieldCount(), 0);
}

TEST_F(SxSharing, WritesOfOneAreaAreSeenByTheOther) {
    std::string table = createTable("VENTE.DBF", kSalesFields);
    int a = use(table, "A");
    addRow({{"TICKET", "1"}});
    ASSERT_EQ(sx.sx_Index(dir.file("TICKET.NTX").c_str(), "TICKET", 0, 0, ""), 1);
    int b = use(table, "B");
    ASSERT_EQ(sx.sx_IndexOpen(dir.file("TICKET.NTX").c_str()), 1);
    sx.sx_GoTop();

    sx.sx_Select(a);
    addRow({{"TICKET", "0"}});
    change(1, "TICKET", "9");
    sx.sx_Select(b);
    EXPECT_EQ(sx.sx_RecCount(), 2);
    EXPECT_EQ(field("TICKET"), "9         ") << "B still stands on record 1";
    EXPECT_EQ(forward(), (Rows{2, 1}));

    sx.sx_Go(2);
    auto image = record();
    setField(image, "NAME", "Written by B");
    ASSERT_EQ(sx.sx_PutRecord(image.data()), 1);
    sx.sx_Select(a);
    sx.sx_Go(2);
    EXPECT_EQ(record(), image);
}

// A walks its index order step by step while B, on the same files, adds rows
// and moves keys (splitting pages under A's feet).
TEST_F(SxSharing, AWalkFollowsTheOtherAreasIndexWrites) {
    std::string table = createTable("VENTE.DBF", kSalesFields);
    const int a = use(table, "A");
    ASSERT_EQ(sx.sx_Index(dir.file("TICKET.NTX").c_str(), "TICKET", 0, 0, ""), 1);
    const int b = use(table, "B");
    ASSERT_EQ(sx.sx_IndexOpen(dir.file("TICKET.NTX").c_str()), 1);
    std::mt19937 rng(7);
    std::vector<std::string> keys;  // padded ticket per record
    auto ticket = [&] { return std::to_string(rng() % 400) + std::string(7, ' '); };
    for (int i = 0; i < 150; ++i) {
        keys.push_back(ticket().substr(0, 10));
        addRow({{"TICKET", keys.back()}});
    }

    sx.sx_Select(a);
    sx.sx_GoTop();
    for (int step = 0; step < 400; ++step) {
        const long current = sx.sx_Eof() ? 0 : sx.sx_RecNo();
        sx.sx_Select(b);
        for (int w = 0; w < 3; ++w) {
            const long r = static_cast<long>(rng() % (keys.size() + 20)) + 1;
            if (r == current) continue;
            std::string t = ticket().substr(0, 10);
            if (r > static_cast<long>(keys.size())) {
                keys.push_back(t);
                addRow({{"TICKET", t}});
            } else {
                keys[r - 1] = t;
                change(r, "TICKET", t);
            }
        }
        sx.sx_Select(a);
        std::vector<std::pair<std::string, long>> order;
        for (size_t i = 0; i < keys.size(); ++i) order.emplace_back(keys[i], static_cast<long>(i) + 1);
        std::sort(order.begin(), order.end());
        if (current == 0) {
            sx.sx_GoTop();
            ASSERT_EQ(sx.sx_RecNo(), order.front().second) << "step " << step;
            continue;
        }
        auto here = std::find(order.begin(), order.end(), std::make_pair(keys[current - 1], current));
        if (rng() % 3 == 0) {
            sx.sx_Skip(-1);
            ASSERT_EQ(sx.sx_RecNo(), (here == order.begin() ? here : here - 1)->second) << "step " << step;
            continue;
        }
        sx.sx_Skip(1);
        const long expected = here + 1 == order.end() ? static_cast<long>(keys.size()) + 1 : (here + 1)->second;
        ASSERT_EQ(sx.sx_RecNo(), expected) << "step " << step;
    }
}

TEST_F(SxSharing, RecordLocksExcludeOtherAreas) {
    std::string table = createTable("VENTE.DBF", kSalesFields);
    int a = use(table, "A");
    for (const char* t : {"1", "2", "3"}) addRow({{"TICKET", t}});
    int b = use(table, "B");

    sx.sx_Select(a);
    EXPECT_EQ(sx.sx_Rlock(2), 1);
    EXPECT_EQ(sx.sx_Locked(2), 1);
    EXPECT_EQ(sx.sx_Rlock(0), 0);
    EXPECT_EQ(sx.sx_Rlock(4), 0);
    sx.sx_Select(b);
    EXPECT_EQ(sx.sx_Locked(2), 0);
    EXPECT_EQ(sx.sx_Rlock(2), 0);
    EXPECT_EQ(sx.sx_Rlock(3), 1);
    sx.sx_Select(a);
    EXPECT_EQ(sx.sx_Rlock(3), 0);
    sx.sx_Unlock(0);
    EXPECT_EQ(sx.sx_Locked(2), 0);
    sx.sx_Select(b);
    EXPECT_EQ(sx.sx_Rlock(2), 1);
    sx.sx_Close();  // closing B frees its locks
    sx.sx_Select(a);
    EXPECT_EQ(sx.sx_Rlock(3), 1);
}

TEST_F(SxSharing, ExclusiveOpenAndZapNeedTheFileAlone) {
    std::string table = createTable("VENTE.DBF", kSalesFields);
    int a = use(table, "A");
    addRow({{"TICKET", "1"}});
    EXPECT_EQ(sx.sx_Use(table.c_str(), "B", SDE_EXCLUSIVE, SDE_NTX), 0);
    EXPECT_NE(std::string(sx.sx_ErrorText()), "");
    sx.sx_Select(a);
    EXPECT_EQ(sx.sx_Zap(), 0);
    EXPECT_EQ(sx.sx_RecCount(), 1);
    sx.sx_Close();

    use(table, "B", SDE_EXCLUSIVE);
    EXPECT_EQ(sx.sx_Use(table.c_str(), "C", SDE_SHARED, SDE_NTX), 0);
    EXPECT_EQ(sx.sx_Use(table.c_str(), "C", SDE_READONLY, SDE_NTX), 0);
    sx.sx_Close();

    use(table, "R", SDE_READONLY);
    sx.sx_GoTop();
    EXPECT_EQ(sx.sx_PutRecord(record().data()), 0);
    EXPECT_EQ(sx.sx_AppendBlank(), 0);
    EXPECT_EQ(sx.sx_Delete(), 0);
    EXPECT_EQ(sx.sx_RecCount(), 1);
}

// ---- file names ----

class SxFiles : public SxApiTest {};

TEST_F(SxFiles, NamesMatchWithoutRegardToCase) {
    createTable("Ptsres.DBF", "MEMBRE,C,8,0;POINTS,N,6,0");
    use(dir.file("Ptsres.DBF"), "P");
    addRow({{"MEMBRE", "M1"}});
    ASSERT_EQ(sx.sx_Index(dir.file("MEMBRE.NTX").c_str(), "MEMBRE", 0, 0, ""), 1);
    sx.sx_CloseAll();

    EXPECT_GT(sx.sx_Use(dir.file("ptsres.dbf").c_str(), "PTSRES", SDE_SHARED, SDE_NTX), 0)
        << sx.sx_ErrorText();
    EXPECT_EQ(sx.sx_IndexOpen(dir.file("membre.ntx").c_str()), 1) << sx.sx_ErrorText();
    EXPECT_EQ(sx.sx_Seek("M1"), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("membre.ntx"))) << "nothing made under the other name";
    EXPECT_EQ(sx.sx_Use(dir.file("nothere.dbf").c_str(), "N", SDE_SHARED, SDE_NTX), 0);
    EXPECT_EQ(sx.sx_IndexOpen(dir.file("nothere.ntx").c_str()), 0);
    sx.sx_CloseAll();

    // Two names that differ only in case: the exact one wins.
    createTable("ptsres.dbf", "OTHER,C,3,0");
    use(dir.file("ptsres.dbf"), "LOWER");
    EXPECT_EQ(std::string(sx.sx_FieldName(1)), "OTHER");
    use(dir.file("Ptsres.DBF"), "MIXED");
    EXPECT_EQ(std::string(sx.sx_FieldName(1)), "MEMBRE");
}
