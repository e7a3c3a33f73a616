// Work areas through the C interface, called the way the till's table layer
// calls it: open, filter, order, seek, read and write record images.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <tuple>

#include "little_endian.h"
#include "sx_api_fixture.h"

using namespace sde::test;
using Rows = std::vector<long>;

namespace {

const char* kSalesFields = "TICKET,C,10,0;NAME,C,20,0;PRIX,N,10,2;DAY,D,8,0;PAID,L,1,0";

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

uint32_t le32(const std::vector<unsigned char>& b, size_t at) { return sde::readLe32(&b[at]); }

Rows reversed(Rows r) {
    std::reverse(r.begin(), r.end());
    return r;
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

// ---- filters ----

class SxFilters : public SxApiTest {
protected:
    // Tickets 12, 120, 12, 121, 5, 12 (record 7: 12, deleted).
    void salesWithTwelves() {
        table = createTable("VENTE.DBF", kSalesFields);
        use(table, "VENTE");
        for (const char* t : {"12", "120", "12", "121", "5", "12"}) addRow({{"TICKET", t}, {"PRIX", "1.00"}});
        addRow({{"TICKET", "12"}}, true);
        ASSERT_EQ(sx.sx_Index(dir.file("TICKET.NTX").c_str(), "UPPER(TICKET)", 0, 0, ""), 1);
        sx.sx_SetDeleted(1);
    }
    std::string table;
};

TEST_F(SxFilters, ExactTicketFilterInRecordAndIndexOrder) {
    salesWithTwelves();
    ASSERT_EQ(sx.sx_Query("TICKET = '12'"), 1) << sx.sx_ErrorText();
    EXPECT_EQ(std::string(sx.sx_DBFilter()), "TICKET = '12'");
    EXPECT_EQ(forward(), (Rows{1, 3, 6}));
    EXPECT_EQ(backward(), (Rows{6, 3, 1}));
    sx.sx_SetOrder(0);
    EXPECT_EQ(forward(), (Rows{1, 3, 6}));
    EXPECT_EQ(backward(), (Rows{6, 3, 1}));

    sx.sx_SetExact(0);  // now "begins with"
    EXPECT_EQ(forward(), (Rows{1, 2, 3, 4, 6}));
    sx.sx_SetOrder(1);
    EXPECT_EQ(forward(), (Rows{1, 3, 6, 2, 4})) << "the filter set while exact was on";
    EXPECT_EQ(backward(), (Rows{4, 2, 6, 3, 1}));
    ASSERT_EQ(sx.sx_Query("TICKET = '12'"), 1);
    EXPECT_EQ(forward(), (Rows{1, 3, 6, 2, 4}));
    sx.sx_SetExact(1);
    EXPECT_EQ(forward(), (Rows{1, 3, 6}));

    ASSERT_EQ(sx.sx_Query("TICKET = '5' .AND. PRIX > 0"), 1);
    EXPECT_EQ(forward(), (Rows{5}));
    ASSERT_EQ(sx.sx_Query("TICKET = '12' .AND. RECNO() > 1"), 1);
    EXPECT_EQ(forward(), (Rows{3, 6}));
    ASSERT_EQ(sx.sx_Query(""), 1);
    EXPECT_EQ(std::string(sx.sx_DBFilter()), "");
    EXPECT_EQ(forward(), (Rows{1, 3, 6, 2, 4, 5}));
}

TEST_F(SxFilters, MovesFromARowTheFilterHidesGoOnFromItsPlace) {
    salesWithTwelves();
    ASSERT_EQ(sx.sx_Query("TICKET = '12'"), 1);
    sx.sx_Go(5);  // ticket 5 sorts after every 12
    sx.sx_Skip(-1);
    EXPECT_EQ(at(), "6");
    sx.sx_Go(5);
    sx.sx_Skip(1);
    EXPECT_EQ(at(), "8 eof");

    // Record 4 moves before the 12s, record 2 between it and them.
    change(4, "TICKET", "0");
    change(2, "TICKET", "1");
    sx.sx_Skip(1);
    EXPECT_EQ(at(), "1");
    sx.sx_Go(4);
    sx.sx_Skip(1);
    EXPECT_EQ(at(), "1");
    sx.sx_Go(2);
    sx.sx_Skip(-1);
    EXPECT_EQ(at(), "1 bof");
}

TEST_F(SxFilters, RowsAppendedLaterShowAtTheNextMove) {
    salesWithTwelves();
    ASSERT_EQ(sx.sx_Query("TICKET = '12'"), 1);
    sx.sx_GoBottom();
    ASSERT_EQ(sx.sx_RecNo(), 6);
    addRow({{"TICKET", "12"}});  // record 8, through this work area
    sx.sx_Go(6);
    sx.sx_Skip(1);
    EXPECT_EQ(sx.sx_RecNo(), 8);

    // Another work area on the same file with the same index.
    int mine = sx.sx_WorkArea("VENTE");
    int other = use(table, "OTHER");
    ASSERT_EQ(sx.sx_IndexOpen(dir.file("TICKET.NTX").c_str()), 1);
    addRow({{"TICKET", "12"}});  // record 9
    addRow({{"TICKET", "7"}});   // record 10
    sx.sx_Select(mine);
    sx.sx_Skip(1);
    EXPECT_EQ(sx.sx_RecNo(), 9);
    EXPECT_EQ(forward(), (Rows{1, 3, 6, 8, 9}));
    sx.sx_SetOrder(0);
    EXPECT_EQ(backward(), (Rows{9, 8, 6, 3, 1}));

    sx.sx_Select(other);
    change(10, "TICKET", "12");
    sx.sx_Select(mine);
    EXPECT_EQ(forward(), (Rows{1, 3, 6, 8, 9, 10}));
    sx.sx_SetOrder(1);
    EXPECT_EQ(forward(), (Rows{1, 3, 6, 8, 9, 10}));
}

TEST_F(SxFilters, BadQueriesLeaveThePreviousOneInForce) {
    salesWithTwelves();
    EXPECT_EQ(sx.sx_EvalTest("TICKET = '12' .AND. PAID"), SDE_EVAL_LOGICAL);
    EXPECT_EQ(sx.sx_EvalTest("TICKET + NAME"), SDE_EVAL_CHAR);
    EXPECT_EQ(sx.sx_EvalTest("PRIX + 2"), SDE_EVAL_NUMERIC);
    EXPECT_EQ(sx.sx_EvalTest("DAY"), SDE_EVAL_DATE);
    for (const char* bad : {"TICKET = = '1'", "NOSUCH = '1'", "TICKET + 1", "'unclosed", "UPPER(", ""}) {
        EXPECT_EQ(sx.sx_EvalTest(bad), SDE_EVAL_ERROR) << bad;
        EXPECT_NE(std::string(sx.sx_ErrorText()), "") << bad;
    }

    ASSERT_EQ(sx.sx_Query("TICKET = '12'"), 1);
    for (const char* bad : {"TICKET = ", "PRIX", "TICKET = 12", "NOSUCH = 'x'"}) {
        EXPECT_EQ(sx.sx_Query(bad), 0) << bad;
        EXPECT_NE(std::string(sx.sx_ErrorText()), "") << bad;
        EXPECT_EQ(std::string(sx.sx_DBFilter()), "TICKET = '12'");
        EXPECT_EQ(forward(), (Rows{1, 3, 6})) << bad;
    }
}

// The index-assisted filter against a model of the plain evaluation, on
// random tables: mixed case, blanks, deleted rows, short and long tickets.
class SxAssistedFilter : public SxApiTest, public ::testing::WithParamInterface<unsigned> {};

namespace {

struct ModelRow {
    std::string ticket;  // as stored: padded to the field width
    bool deleted;
    bool pricey;
};

struct ModelEntry {
    std::string key;  // UPPER(TICKET)
    long recno;
    bool shown;
    bool operator<(const ModelEntry& o) const { return std::tie(key, recno) < std::tie(o.key, o.recno); }
};

std::string upperAscii(std::string s) {
    for (auto& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string rtrim(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

// The xBase '=' on texts: exact ignores trailing blanks, otherwise the
// right operand's length says how much of the left counts.
bool textEquals(const std::string& l, const std::string& r, bool exact) {
    if (exact) return rtrim(l) == rtrim(r);
    return l.size() >= r.size() && l.compare(0, r.size(), r) == 0;
}

std::string randomTicket(std::mt19937& rng, size_t maxLength) {
    static const char kChars[] = {'a', 'A', 'b', 'B', '5', ' ', '\xE9'};
    std::string s(std::uniform_int_distribution<size_t>(0, maxLength)(rng), ' ');
    for (auto& c : s) c = kChars[std::uniform_int_distribution<int>(0, 6)(rng)];
    return s;
}

}  // namespace

TEST_P(SxAssistedFilter, ShowsWhatThePlainEvaluationShows) {
    std::mt19937 rng(GetParam());
    const int width = 4;
    const std::string table = createTable("R.DBF", "TICKET,C,4,0;PRIX,N,6,2");
    const int mine = use(table, "R");
    const bool indexFirst = rng() % 2;  // keys inserted one by one, or built at once
    if (indexFirst) {
        ASSERT_EQ(sx.sx_Index(dir.file("UT.NTX").c_str(), "UPPER(TICKET)", 0, 0, ""), 1);
    }
    std::vector<ModelRow> rows;
    const int count = std::uniform_int_distribution<int>(0, 70)(rng);
    for (int i = 0; i < count; ++i) {
        std::string t = randomTicket(rng, width + 1).substr(0, width);
        ModelRow row{t + std::string(width - t.size(), ' '), rng() % 5 == 0, rng() % 3 != 0};
        addRow({{"TICKET", t}, {"PRIX", row.pricey ? "1.50" : "-1.00"}}, row.deleted);
        rows.push_back(row);
    }
    if (!indexFirst) {
        ASSERT_EQ(sx.sx_Index(dir.file("UT.NTX").c_str(), "UPPER(TICKET)", 0, 0, ""), 1);
    }

    // A second work area with the index open rewrites rows between rounds.
    const int writer = use(table, "W");
    ASSERT_EQ(sx.sx_IndexOpen(dir.file("UT.NTX").c_str()), 1);
    sx.sx_Select(mine);

    for (int round = 0; round < 24; ++round) {
        if (!rows.empty() && round % 3 == 2) {
            sx.sx_Select(writer);
            const long r = static_cast<long>(rng() % rows.size()) + 1;
            std::string t = randomTicket(rng, width);
            rows[r - 1].ticket = t + std::string(width - t.size(), ' ');
            change(r, "TICKET", t);
            rows[r - 1].deleted = rng() % 4 == 0;
            ASSERT_EQ(rows[r - 1].deleted ? sx.sx_Delete() : sx.sx_Recall(), 1);
            sx.sx_Select(mine);
        }
        const std::string c = randomTicket(rng, width + 1);
        const int form = static_cast<int>(rng() % 4);
        const bool exactAtQuery = rng() % 2, exact = rng() % 2, deletedOn = rng() % 2;
        const char* forms[] = {"TICKET = '%s'", "'%s' = TICKET", "TICKET == '%s'",
                               "TICKET = '%s' .AND. PRIX > 0"};
        std::string query = forms[form];
        query.replace(query.find("%s"), 2, c);
        SCOPED_TRACE("seed " + std::to_string(GetParam()) + " query [" + query + "] exact " +
                     std::to_string(exactAtQuery) + "->" + std::to_string(exact) + " deleted " +
                     std::to_string(deletedOn));
        sx.sx_SetExact(exactAtQuery);
        sx.sx_SetDeleted(deletedOn);
        ASSERT_EQ(sx.sx_Query(query.c_str()), 1) << sx.sx_ErrorText();
        sx.sx_SetExact(exact);

        std::vector<ModelEntry> entries;
        for (size_t i = 0; i < rows.size(); ++i) {
            const ModelRow& r = rows[i];
            bool shown = form == 1   ? textEquals(c, r.ticket, exact)
                         : form == 2 ? r.ticket == c
                                     : textEquals(r.ticket, c, exact) && (form == 0 || r.pricey);
            entries.push_back({upperAscii(r.ticket), static_cast<long>(i) + 1, shown && !(deletedOn && r.deleted)});
        }
        for (int order : {0, 1}) {
            SCOPED_TRACE(order);
            if (order == 1) std::sort(entries.begin(), entries.end());
            Rows shown;
            for (const auto& e : entries)
                if (e.shown) shown.push_back(e.recno);
            sx.sx_SetOrder(order);
            ASSERT_EQ(forward(), shown);
            ASSERT_EQ(backward(), reversed(shown));
            if (rows.empty()) continue;
            // One step from any row, shown or not, in this order.
            const long from = static_cast<long>(rng() % rows.size()) + 1;
            auto here = std::find_if(entries.begin(), entries.end(), [&](const ModelEntry& e) { return e.recno == from; });
            auto next = std::find_if(here + 1, entries.end(), [](const ModelEntry& e) { return e.shown; });
            auto prev = std::find_if(std::make_reverse_iterator(here), entries.rend(), [](const ModelEntry& e) { return e.shown; });
            const long end = static_cast<long>(rows.size()) + 1;
            sx.sx_Go(from);
            sx.sx_Skip(1);
            EXPECT_EQ(sx.sx_RecNo(), next == entries.end() ? end : next->recno) << "forward from " << from;
            sx.sx_Go(from);
            sx.sx_Skip(-1);
            EXPECT_EQ(sx.sx_RecNo(), prev != entries.rend() ? prev->recno : shown.empty() ? end : shown[0])
                << "back from " << from;
            EXPECT_EQ(sx.sx_Bof(), prev == entries.rend() ? 1 : 0) << "back from " << from;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, SxAssistedFilter, ::testing::Range(1u, 41u));

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
