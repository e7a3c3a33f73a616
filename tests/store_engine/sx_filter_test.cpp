// Filters through the C interface: exact and partial texts, in record and
// index order, and the index-assisted filter against the plain evaluation.
#include <algorithm>
#include <random>
#include <tuple>

#include "sx_api_fixture.h"

using namespace sde::test;

namespace {

Rows reversed(Rows r) {
    std::reverse(r.begin(), r.end());
    return r;
}

}  // namespace

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

// The query of each form the test tries, on the text `c`.
std::string queryOfForm(int form, const std::string& c) {
    const char* forms[] = {"TICKET = '%s'", "'%s' = TICKET", "TICKET == '%s'",
                           "TICKET = '%s' .AND. PRIX > 0"};
    std::string query = forms[form];
    query.replace(query.find("%s"), 2, c);
    return query;
}

// Every row in record order, shown or not by the plain evaluation of that query.
std::vector<ModelEntry> modelEntries(const std::vector<ModelRow>& rows, int form, const std::string& c,
                                     bool exact, bool deletedOn) {
    std::vector<ModelEntry> entries;
    for (size_t i = 0; i < rows.size(); ++i) {
        const ModelRow& r = rows[i];
        bool shown = form == 1   ? textEquals(c, r.ticket, exact)
                     : form == 2 ? r.ticket == c
                                 : textEquals(r.ticket, c, exact) && (form == 0 || r.pricey);
        entries.push_back({upperAscii(r.ticket), static_cast<long>(i) + 1, shown && !(deletedOn && r.deleted)});
    }
    return entries;
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
        const std::string query = queryOfForm(form, c);
        SCOPED_TRACE("seed " + std::to_string(GetParam()) + " query [" + query + "] exact " +
                     std::to_string(exactAtQuery) + "->" + std::to_string(exact) + " deleted " +
                     std::to_string(deletedOn));
        sx.sx_SetExact(exactAtQuery);
        sx.sx_SetDeleted(deletedOn);
        ASSERT_EQ(sx.sx_Query(query.c_str()), 1) << sx.sx_ErrorText();
        sx.sx_SetExact(exact);

        std::vector<ModelEntry> entries = modelEntries(rows, form, c, exact, deletedOn);
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
