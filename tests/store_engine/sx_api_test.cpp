// Work areas through the C interface, called the way the till's table layer
// calls it: the exported entry points, moves, orders and seeks. Filters are
// in sx_filter_test.cpp, two work areas on one file in sx_sharing_test.cpp,
// writes, index builds and error kinds in sx_write_test.cpp.
#include <dlfcn.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sx_api_fixture.h"

using namespace sde::test;

namespace {

std::string engineHeaderText(const char* name) {
    std::ifstream in(std::filesystem::path(SDE_SOURCE_DIR) / "store/engine/include" / name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> declaredEntryPoints() {
    // "SDE_API int sx_Use(": the name is what stands before the parenthesis.
    std::vector<std::string> names;
    const std::string s = engineHeaderText("sde50.h");
    for (size_t at = s.find("SDE_API "); at != std::string::npos; at = s.find("SDE_API ", at + 1)) {
        size_t paren = s.find('(', at);
        size_t start = s.rfind("sx_", paren);
        if (paren != std::string::npos && start != std::string::npos && start > at)
            names.push_back(s.substr(start, paren - start));
    }
    return names;
}

}  // namespace

TEST(SxApiExports, EveryDeclaredEntryPointResolvesWithCLinkage) {
    std::string problem;
    void* lib = sdeLibrary(&problem);
    if (!lib && !libraryRequested()) GTEST_SKIP() << problem;
    ASSERT_NE(lib, nullptr) << problem;
    auto names = declaredEntryPoints();
    ASSERT_GE(names.size(), 50u) << "sde50.h not found or not understood";
    for (const auto& name : names) EXPECT_NE(::dlsym(lib, name.c_str()), nullptr) << name;
    // The engine's C++ classes stay inside the library.
    EXPECT_EQ(::dlsym(lib, "_ZN3sde6Engine8instanceEv"), nullptr);
}

// The list the binding and these tests take their entry points from is the
// header's list, in the header's order.
TEST(SxApiExports, EntryListNamesEveryDeclaredEntryPoint) {
    std::vector<std::string> listed;
    const std::string inc = engineHeaderText("sde50_entries.inc");
    for (size_t at = inc.find("\nSDE_ENTRY("); at != std::string::npos;
         at = inc.find("\nSDE_ENTRY(", at + 1)) {
        size_t start = at + 11, close = inc.find(')', start);
        listed.push_back(inc.substr(start, close - start));
    }
    EXPECT_EQ(listed, declaredEntryPoints());
}

// ---- moves ----

class SxMoves : public SxApiTest {};

TEST_F(SxMoves, EmptyTableStandsAtEndAndBeginning) {
    use(createTable("EMPTY.DBF", kSalesFields), "EMPTY");
    EXPECT_EQ(sx.sx_RecCount(), 0);
    sx.sx_GoTop();
    EXPECT_EQ(at(), "1 eof bof");
    sx.sx_GoBottom();
    EXPECT_EQ(at(), "1 eof bof");
    sx.sx_Skip(1);
    EXPECT_EQ(at(), "1 eof bof");
    sx.sx_Skip(-1);
    EXPECT_EQ(at(), "1 eof bof");
    EXPECT_EQ(sx.sx_PutRecord(record().data()), 0) << "no current row to write";
}

TEST_F(SxMoves, SkipsStopAtBothEnds) {
    use(createTable("VENTE.DBF", kSalesFields), "VENTE");
    for (const char* t : {"1", "2", "3"}) addRow({{"TICKET", t}});

    sx.sx_GoTop();
    EXPECT_EQ(at(), "1");
    sx.sx_Skip(-1);  // before the first row: stays there, flagged
    EXPECT_EQ(at(), "1 bof");
    EXPECT_EQ(field("TICKET"), "1         ");
    sx.sx_Skip(2);
    EXPECT_EQ(at(), "3");
    sx.sx_Skip(1);
    EXPECT_EQ(at(), "4 eof");
    sx.sx_Skip(1);
    EXPECT_EQ(at(), "4 eof");
    sx.sx_Skip(-1);  // back from the end is the last row
    EXPECT_EQ(at(), "3");

    sx.sx_GoTop();
    sx.sx_Skip(10);
    EXPECT_EQ(at(), "4 eof");
    sx.sx_GoBottom();
    EXPECT_EQ(at(), "3");
    sx.sx_Go(2);
    EXPECT_EQ(at(), "2");
    EXPECT_EQ(field("TICKET"), "2         ");
    sx.sx_Go(99);
    EXPECT_EQ(at(), "4 eof");
    EXPECT_EQ(record(), std::vector<unsigned char>(static_cast<size_t>(sx.sx_RecSize()), ' '));
}

TEST_F(SxMoves, DeletedRowsHiddenOnlyWhileDeletedIsOn) {
    use(createTable("VENTE.DBF", kSalesFields), "VENTE");
    for (int i = 1; i <= 5; ++i) addRow({{"TICKET", std::to_string(i)}}, i % 2 == 1);
    EXPECT_EQ(forward(), (Rows{1, 2, 3, 4, 5}));
    sx.sx_Go(3);
    EXPECT_EQ(sx.sx_Deleted(), 1);

    sx.sx_SetDeleted(1);
    EXPECT_EQ(sx.sx_SysProp(SDE_PROP_DELETED, nullptr), 1);
    EXPECT_EQ(forward(), (Rows{2, 4}));
    EXPECT_EQ(backward(), (Rows{4, 2}));
    sx.sx_GoTop();
    sx.sx_Skip(-1);
    EXPECT_EQ(at(), "2 bof");
    sx.sx_Go(3);  // a direct move still reaches a hidden row
    EXPECT_EQ(at(), "3");
    sx.sx_Skip(1);
    EXPECT_EQ(at(), "4");

    sx.sx_Go(2);
    ASSERT_EQ(sx.sx_Delete(), 1);
    sx.sx_Go(4);
    ASSERT_EQ(sx.sx_Delete(), 1);
    sx.sx_GoTop();
    EXPECT_EQ(at(), "6 eof bof");

    sx.sx_SetDeleted(0);
    EXPECT_EQ(sx.sx_SysProp(SDE_PROP_DELETED, nullptr), 0);
    sx.sx_Go(4);
    ASSERT_EQ(sx.sx_Recall(), 1);
    EXPECT_EQ(sx.sx_Deleted(), 0);
    EXPECT_EQ(forward(), (Rows{1, 2, 3, 4, 5}));
}

// ---- orders and seeks ----

class SxOrders : public SxApiTest {};

TEST_F(SxOrders, EqualKeysInRecordOrderAndMovedKeysFindTheirPlace) {
    use(createTable("VENTE.DBF", kSalesFields), "VENTE");
    for (const char* t : {"B", "A", "B", "A", "C"}) addRow({{"TICKET", t}});
    ASSERT_EQ(sx.sx_Index(dir.file("TICKET.NTX").c_str(), "TICKET", 0, 0, ""), 1) << sx.sx_ErrorText();
    EXPECT_EQ(forward(), (Rows{2, 4, 1, 3, 5}));
    EXPECT_EQ(backward(), (Rows{5, 3, 1, 4, 2}));

    change(5, "TICKET", "A");  // joins the A rows after those of lower numbers
    change(1, "TICKET", "A");  // and before those of higher ones
    EXPECT_EQ(forward(), (Rows{1, 2, 4, 5, 3}));

    // After a write that moves the key, skips go on from the row's new place.
    sx.sx_GoTop();
    sx.sx_Skip(1);
    ASSERT_EQ(sx.sx_RecNo(), 2);
    auto image = record();
    setField(image, "TICKET", "AB");
    ASSERT_EQ(sx.sx_PutRecord(image.data()), 1);
    sx.sx_Skip(1);
    EXPECT_EQ(sx.sx_RecNo(), 3);
    sx.sx_Skip(-1);
    EXPECT_EQ(sx.sx_RecNo(), 2);
    sx.sx_Skip(-1);
    EXPECT_EQ(sx.sx_RecNo(), 5);
    image = record();
    setField(image, "TICKET", "0");
    ASSERT_EQ(sx.sx_PutRecord(image.data()), 1);
    sx.sx_Skip(1);
    EXPECT_EQ(sx.sx_RecNo(), 1);
    EXPECT_EQ(forward(), (Rows{5, 1, 4, 2, 3}));
}

TEST_F(SxOrders, OpeningIndexesKeepsTheRowUntilGoTop) {
    std::string table = createTable("VENTE.DBF", kSalesFields);
    use(table, "VENTE");
    addRow({{"TICKET", "3"}, {"NAME", "Chips"}});
    addRow({{"TICKET", "1"}, {"NAME", "Biere"}});
    addRow({{"TICKET", "2"}, {"NAME", "Cafe"}});
    addRow({{"TICKET", "4"}, {"NAME", "Abricot"}});
    ASSERT_EQ(sx.sx_Index(dir.file("TICKET.NTX").c_str(), "TICKET", 0, 0, ""), 1);
    ASSERT_EQ(sx.sx_Index(dir.file("NAME.NTX").c_str(), "UPPER(NAME)", 0, 0, ""), 2);
    sx.sx_Close();

    use(table, "VENTE");
    sx.sx_Go(3);
    EXPECT_EQ(sx.sx_IndexOpen(dir.file("TICKET.NTX").c_str()), 1) << sx.sx_ErrorText();
    EXPECT_EQ(sx.sx_IndexOpen(dir.file("NAME.NTX").c_str()), 2) << sx.sx_ErrorText();
    EXPECT_EQ(sx.sx_SysProp(SDE_PROP_INDEX_COUNT, nullptr), 2);
    sx.sx_SetOrder(2);
    EXPECT_EQ(sx.sx_IndexOrd(), 2);
    EXPECT_EQ(std::string(sx.sx_IndexKey()), "UPPER(NAME)");
    EXPECT_EQ(std::string(sx.sx_IndexKeyField()), "NAME");
    EXPECT_EQ(sx.sx_RecNo(), 3);
    sx.sx_Skip(1);  // from Cafe on in name order
    EXPECT_EQ(sx.sx_RecNo(), 1);
    sx.sx_GoTop();
    EXPECT_EQ(sx.sx_RecNo(), 4);
    EXPECT_EQ(forward(), (Rows{4, 2, 3, 1}));

    sx.sx_SetOrder(1);
    EXPECT_EQ(std::string(sx.sx_IndexKeyField()), "TICKET");
    EXPECT_EQ(forward(), (Rows{2, 3, 1, 4}));
    sx.sx_SetOrder(0);
    EXPECT_EQ(sx.sx_IndexOrd(), 0);
    EXPECT_EQ(std::string(sx.sx_IndexKey()), "");
    EXPECT_EQ(forward(), (Rows{1, 2, 3, 4}));
    EXPECT_EQ(sx.sx_Seek("1"), 0) << "a seek needs an order";
    EXPECT_NE(std::string(sx.sx_ErrorText()), "");
}

TEST_F(SxOrders, SeekExactAndPartial) {
    use(createTable("VENTE.DBF", kSalesFields), "VENTE");
    for (const char* t : {"10", "2", "1", "100", "11"}) addRow({{"TICKET", t}});
    ASSERT_EQ(sx.sx_Index(dir.file("TICKET.NTX").c_str(), "TICKET", 0, 0, ""), 1);

    sx.sx_SetExact(0);
    EXPECT_EQ(sx.sx_SysProp(SDE_PROP_EXACT, nullptr), 0);
    EXPECT_EQ(sx.sx_Seek("1"), 1);
    EXPECT_EQ(sx.sx_RecNo(), 3);
    EXPECT_EQ(sx.sx_Seek("10"), 1);
    EXPECT_EQ(sx.sx_RecNo(), 1);
    sx.sx_Skip(1);
    EXPECT_EQ(sx.sx_RecNo(), 4) << "100 follows 10";
    EXPECT_EQ(sx.sx_Seek("3"), 0);
    EXPECT_EQ(sx.sx_Found(), 0);
    EXPECT_EQ(sx.sx_Eof(), 1);

    sx.sx_SetExact(1);
    EXPECT_EQ(sx.sx_Seek("1"), 1);
    EXPECT_EQ(sx.sx_Found(), 1);
    EXPECT_EQ(sx.sx_RecNo(), 3);
    EXPECT_EQ(sx.sx_Seek("10"), 1);
    EXPECT_EQ(sx.sx_RecNo(), 1);

    // Seeks pass over hidden rows: partially to the next key, exactly not.
    sx.sx_SetDeleted(1);
    sx.sx_Go(3);
    ASSERT_EQ(sx.sx_Delete(), 1);
    EXPECT_EQ(sx.sx_Seek("1"), 0);
    EXPECT_EQ(sx.sx_Eof(), 1);
    sx.sx_SetExact(0);
    EXPECT_EQ(sx.sx_Seek("1"), 1);
    EXPECT_EQ(sx.sx_RecNo(), 1);
    sx.sx_SetDeleted(0);
    sx.sx_SetExact(1);
    EXPECT_EQ(sx.sx_Seek("1"), 1);
    EXPECT_EQ(sx.sx_RecNo(), 3);
}
