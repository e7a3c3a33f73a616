// What a handle shows: filters, Locate, blank fields, the end of the view,
// the engine-wide settings and the signals grids listen to.
#include "store/apollo_env.h"
#include "store/data_source.h"
#include "tests/support/store_fixture.h"
#include "store_rows.h"

namespace {

class TableViewTest : public StoreTest {
protected:
    void openSales(TApolloTable& t) {
        t.setTableName(QStringLiteral("Vente.dbf"));
        t.Open();
    }
};

TEST_F(TableViewTest, FilterShowsRowsPostedLaterByAnyHandle) {
    install();
    appendSales({{"7", 1}, {"8", 2}});
    TApolloTable a(QStringLiteral("ATVente")), b(QStringLiteral("ATOther"));
    openSales(a);
    openSales(b);
    a.setFilter(QStringLiteral("TICKET = '7'"));
    a.setFiltered(true);
    EXPECT_EQ(column(a, "PRIX"), QStringList({"1"}));

    a.Insert();
    a.FieldByName("TICKET")->setAsString(QStringLiteral("7"));
    a.FieldByName("PRIX")->setAsFloat(3);
    a.Post();
    EXPECT_EQ(a.FieldByName("PRIX")->AsFloat(), 3.0);

    b.Insert();
    b.FieldByName("TICKET")->setAsString(QStringLiteral("7"));
    b.FieldByName("PRIX")->setAsFloat(4);
    b.Post();
    a.Refresh();
    a.Next();
    EXPECT_EQ(a.FieldByName("PRIX")->AsFloat(), 4.0) << "a's next read shows b's row";
    EXPECT_EQ(column(a, "PRIX"), QStringList({"1", "3", "4"}));

    // A text that is no logical expression: refused, the view unchanged.
    for (const char* bad : {"Ticket +", "TICKET", "PRIX > 'x'"}) {
        EXPECT_EQ(errorOf([&] { a.setFilter(QString::fromLatin1(bad)); }), QStringLiteral("Invalid Query Expression"))
            << bad;
        EXPECT_EQ(a.Filter(), QString::fromLatin1(bad));
        EXPECT_EQ(column(a, "PRIX"), QStringList({"1", "3", "4"})) << bad;
    }
    // Not even a Locate may lose the restriction that still holds.
    a.Locate(QStringLiteral("NOM"), QStringLiteral("x"), true);
    EXPECT_EQ(column(a, "PRIX"), QStringList({"1", "3", "4"}));

    a.setFiltered(false);
    EXPECT_EQ(column(a, "PRIX"), QStringList({"1", "2", "3", "4"}));

    // A change under way is posted before the view is read again.
    a.First();
    a.Edit();
    a.FieldByName("PRIX")->setAsFloat(5);
    a.setFilter(QStringLiteral("PRIX > 3"));
    a.setFiltered(true);
    EXPECT_EQ(a.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(column(a, "PRIX"), QStringList({"5", "4"}));
}

TEST_F(TableViewTest, LocateInAnIndexFollowsTextOrder) {
    install();
    appendSales({{"2", 1, "Dupont"}, {"11", 2, "Martin"}, {"100", 3, "Martinez"}, {"10", 4, "Lambert"}});
    createSaleIndexes();
    TApolloTable t(QStringLiteral("ATVente"));
    openSales(t);
    t.OpenIndex(QStringLiteral("vente.ntx"));
    t.Last();
    ASSERT_EQ(t.FieldByName("TICKET")->AsString(), QStringLiteral("2"));

    EXPECT_TRUE(t.Locate(QStringLiteral("TICKET"), QStringLiteral("1"), true));
    EXPECT_EQ(t.FieldByName("TICKET")->AsString(), QStringLiteral("10"));
    EXPECT_EQ(t.IndexName(), QStringLiteral("vente.ntx"));
    EXPECT_EQ(indexOrder("VENTE"), 1);
    t.Next();
    EXPECT_EQ(t.FieldByName("TICKET")->AsString(), QStringLiteral("100")) << "the order is unchanged";

    const long row = t.RecNo();
    EXPECT_FALSE(t.Locate(QStringLiteral("TICKET"), QStringLiteral("9"), true));
    EXPECT_EQ(t.RecNo(), row);
    EXPECT_FALSE(t.Locate(QStringLiteral("TICKET"), QStringLiteral("1"), false)) << "whole text: no ticket 1";
    EXPECT_EQ(t.RecNo(), row);
    EXPECT_TRUE(t.Locate(QStringLiteral("TICKET"), QStringLiteral("11"), false));
    EXPECT_EQ(t.FieldByName("NOM")->AsString(), QStringLiteral("Martin"));

    // In another order the index on the field still serves, and the order
    // comes back.
    t.CreateIndex(QStringLiteral("prix.ntx"), QStringLiteral("PRIX"), false);
    EXPECT_TRUE(t.Locate(QStringLiteral("TICKET"), QStringLiteral("10"), false));
    EXPECT_EQ(t.FieldByName("NOM")->AsString(), QStringLiteral("Lambert"));
    EXPECT_EQ(indexOrder("VENTE"), 2);
    EXPECT_EQ(column(t, "TICKET"), QStringList({"2", "11", "100", "10"}));

    // The row found belongs to the view, judged with the view's own rule
    // (Martinez is not "Martin" for the filter, only for a partial seek).
    t.setFilter(QStringLiteral("NOM = 'Martin'"));
    t.setFiltered(true);
    EXPECT_TRUE(t.Locate(QStringLiteral("TICKET"), QStringLiteral("1"), true));
    EXPECT_EQ(t.FieldByName("TICKET")->AsString(), QStringLiteral("11"));
}

TEST_F(TableViewTest, LocateWithoutAnIndexAsksTheEngine) {
    install();
    appendSales({{"2", 1, "Dupont"}, {"11", 2, "Martin"}, {"100", 3, "Martinez"}, {"2", 4, "Martineau"}});
    TApolloTable t(QStringLiteral("ATVente"));
    openSales(t);
    EXPECT_TRUE(t.Locate(QStringLiteral("NOM"), QStringLiteral("marti"), true));
    EXPECT_EQ(t.RecNo(), 2);
    EXPECT_TRUE(t.Locate(QStringLiteral("NOM"), QStringLiteral("MARTINEZ"), false));
    EXPECT_EQ(t.RecNo(), 3);
    EXPECT_FALSE(t.Locate(QStringLiteral("NOM"), QStringLiteral("Mart"), false));
    EXPECT_EQ(t.RecNo(), 3);
    EXPECT_EQ(column(t, "TICKET").size(), 4) << "the locate leaves no restriction behind";

    // A filtered handle finds only rows of its view.
    t.setFilter(QStringLiteral("TICKET = '2'"));
    t.setFiltered(true);
    EXPECT_TRUE(t.Locate(QStringLiteral("NOM"), QStringLiteral("marti"), true));
    EXPECT_EQ(t.RecNo(), 4);
    t.First();
    EXPECT_FALSE(t.Locate(QStringLiteral("NOM"), QStringLiteral("martin"), false));
    EXPECT_EQ(t.RecNo(), 1);
    EXPECT_EQ(column(t, "NOM"), QStringList({"Dupont", "Martineau"}));

    t.setFilter(QStringLiteral("TICKET = '9'"));
    EXPECT_FALSE(t.Locate(QStringLiteral("NOM"), QStringLiteral("martin"), true));
    EXPECT_TRUE(t.Eof()) << "an empty view stays empty";
    EXPECT_EQ(t.FieldByName("NOM")->AsString(), QString());
}

TEST_F(TableViewTest, BlankFieldsAndTheEndOfTheView) {
    install();
    TApolloTable t(QStringLiteral("ATVente"));
    openSales(t);
    auto expectBlank = [&](const char* when) {
        EXPECT_TRUE(t.Eof()) << when;
        EXPECT_EQ(t.FieldByName("NOM")->AsString(), QString()) << when;
        EXPECT_TRUE(t.FieldByName("PRIX")->IsNull()) << when;
        EXPECT_EQ(t.FieldByName("PRIX")->AsFloat(), 0.0) << when;
        EXPECT_TRUE(t.FieldByName("DATE")->IsNull()) << when;
        EXPECT_EQ(t.FieldByName("DATE")->AsDate(), QDate(1899, 12, 30)) << when;
    };
    expectBlank("after Open");
    t.First();
    expectBlank("after First");
    t.Skip(1);
    expectBlank("after Skip");
    t.Prior();
    expectBlank("after Prior");

    // A row with only its name: numbers and dates read blank.
    t.Insert();
    t.FieldByName("NOM")->setAsString(QStringLiteral("  Dupont  "));
    t.Post();
    EXPECT_FALSE(t.Eof());
    EXPECT_EQ(t.FieldByName("NOM")->AsString(), QStringLiteral("  Dupont"));
    EXPECT_TRUE(t.FieldByName("PRIX")->IsNull());
    EXPECT_TRUE(t.FieldByName("TVA")->IsNull());
    EXPECT_EQ(t.FieldByName("TVA")->AsInteger(), 0);
    EXPECT_EQ(t.FieldByName("DATE")->AsDate(), QDate(1899, 12, 30));
    EXPECT_EQ(t.FieldByName("TIME")->AsString(), QString());
    EXPECT_FALSE(t.FieldByName("TIME")->IsNull()) << "a stored text is never null";

    // Never past the last row.
    t.Insert();
    t.FieldByName("NOM")->setAsString(QStringLiteral("Martin"));
    t.Post();
    t.First();
    t.Skip(5);
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(t.RecNo(), 2);
    EXPECT_EQ(t.FieldByName("NOM")->AsString(), QStringLiteral("Martin"));
    t.Prior();
    EXPECT_FALSE(t.Eof());
    EXPECT_EQ(t.RecNo(), 1);
    t.Prior();
    EXPECT_TRUE(t.Bof());
    EXPECT_EQ(t.RecNo(), 1);
}

TEST_F(TableViewTest, SettingsReachEveryOpenHandle) {
    install();
    appendSales({{"1", 1}, {"2", 2}, {"3", 3}});
    TApolloTable a(QStringLiteral("ATA")), b(QStringLiteral("ATB"));
    openSales(a);
    openSales(b);
    a.Next();
    a.Delete();
    b.Refresh();
    EXPECT_EQ(column(a, "TICKET"), QStringList({"1", "3"}));
    EXPECT_EQ(column(b, "TICKET"), QStringList({"1", "3"}));

    TApolloEnv env;
    QList<bool> century;
    QObject::connect(&env, &TApolloEnv::centuryChanged, [&](bool on) { century << on; });
    env.setDeleted(false);
    EXPECT_EQ(column(a, "TICKET"), QStringList({"1", "2", "3"}));
    EXPECT_EQ(column(b, "TICKET"), QStringList({"1", "2", "3"}));
    TApolloTable c(QStringLiteral("ATC"));
    openSales(c);
    EXPECT_EQ(column(c, "TICKET"), QStringList({"1", "2", "3"})) << "handles opened later follow too";
    env.setDeleted(true);
    EXPECT_EQ(column(a, "TICKET"), QStringList({"1", "3"}));

    env.setCentury(false);
    env.setCentury(true);
    EXPECT_EQ(century, QList<bool>({false, true}));
    EXPECT_TRUE(env.Century());
}

TEST_F(TableViewTest, DataSourceRelaysMovesAndStates) {
    install();
    appendSales({{"1", 1}, {"2", 2}});
    TApolloTable t(QStringLiteral("ATVente"));
    openSales(t);
    TDataSource source;
    int data = 0, states = 0;
    QObject::connect(&source, &TDataSource::dataChanged, [&] { ++data; });
    QObject::connect(&source, &TDataSource::stateChanged, [&] { ++states; });
    source.setDataSet(&t);
    EXPECT_EQ(source.DataSet(), &t);
    data = 0;
    t.Next();
    EXPECT_GE(data, 1);
    data = 0;
    t.First();
    EXPECT_GE(data, 1);
    EXPECT_EQ(states, 0);
    t.Edit();
    EXPECT_EQ(states, 1);
    t.FieldByName("PRIX")->setAsFloat(9);
    t.Post();
    EXPECT_EQ(states, 2);

    // A source moved to another handle no longer hears the first one.
    TApolloTable other(QStringLiteral("ATOther"));
    openSales(other);
    source.setDataSet(&other);
    data = states = 0;
    t.Next();
    t.Edit();
    t.Cancel();
    EXPECT_EQ(data, 0);
    EXPECT_EQ(states, 0);
}

}  // namespace

namespace {

// The view generation tells a grid when the rows it holds may be wrong: a
// row appended at the end of the view keeps it, anything else changes it.
// Controls disabled hear nothing until they are enabled, then once.
TEST_F(TableViewTest, OnlyRowsAppendedAtTheEndOfTheViewKeepItsGeneration) {
    install();
    appendSales({{"7", 1}, {"8", 2}, {"7", 3}});
    createSaleIndexes();
    TApolloTable t(QStringLiteral("ATVente"));
    openSales(t);
    t.OpenIndex(QStringLiteral("ticket.ntx"));
    t.setFilter(QStringLiteral("Ticket = '7'"));
    t.setFiltered(true);
    auto post = [&](const char* ticket) {
        t.Insert();
        t.FieldByName("TICKET")->setAsString(QString::fromLatin1(ticket));
        t.Post();
    };
    const struct {
        const char* step;
        std::function<void()> run;
        bool kept;
    } steps[] = {
        {"a row of the ticket", [&] { post("7"); }, true},
        {"a row outside the filter", [&] { post("9"); }, true},
        {"moves", [&] { t.First(); t.Next(); t.Last(); }, true},
        {"the filter off", [&] { t.setFiltered(false); }, false},
        {"a row that sorts before others", [&] { post("1"); }, false},
        {"an edit", [&] { t.First(); t.Edit(); t.FieldByName("PRIX")->setAsFloat(9); t.Post(); }, false},
        {"a refresh", [&] { t.Refresh(); }, false},
        {"a deletion", [&] { t.Delete(); }, false},
        {"another order", [&] { t.CloseIndexes(); }, false},
        {"in record order, a new row", [&] { post("2"); }, true},
    };
    for (const auto& s : steps) {
        const unsigned long before = t.ViewGeneration();
        s.run();
        EXPECT_EQ(t.ViewGeneration() == before, s.kept) << s.step;
    }
    TDataSource source;
    source.setDataSet(&t);
    int told = 0;
    QObject::connect(&source, &TDataSource::dataChanged, [&] { ++told; });
    {
        TControlsDisabled quiet(t);
        TControlsDisabled nested(t);
        for (int i = 0; i < 3; ++i) post("7");
    }
    EXPECT_EQ(told, 1);
}

}  // namespace
