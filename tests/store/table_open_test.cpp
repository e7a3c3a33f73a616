// Opening and closing table handles: file names, aliases, indexes reopened,
// declared fields checked against the file, and the refusals of Open.
#include <QFile>

#include "tests/support/store_fixture.h"
#include "store_rows.h"

namespace {

class TableOpenTest : public StoreTest {};

TEST_F(TableOpenTest, OpenAndCloseTwiceChangeNothingMore) {
    install();
    TApolloTable t(QStringLiteral("ATVente"));
    t.setTableName(QStringLiteral("Vente.dbf"));
    int states = 0;
    QObject::connect(&t, &TApolloTable::stateChanged, [&] { ++states; });
    t.Open();
    const int area = areaOf("VENTE");
    ASSERT_NE(area, 0);
    t.Open();
    EXPECT_EQ(areaOf("VENTE"), area);
    EXPECT_EQ(areaOf("VENTE1"), 0) << "a second Open must not take another work area";
    EXPECT_EQ(states, 1);
    t.Close();
    t.Close();
    EXPECT_FALSE(t.Active());
    EXPECT_EQ(areaOf("VENTE"), 0);
    EXPECT_EQ(states, 2);
    t.Open();
    EXPECT_TRUE(t.Active());
    EXPECT_NE(areaOf("VENTE"), 0);
}

TEST_F(TableOpenTest, AliasesOfHandlesOnOneFile) {
    install();
    TApolloTable a(QStringLiteral("A")), b(QStringLiteral("B")), c(QStringLiteral("C"));
    for (TApolloTable* t : {&a, &b, &c}) {
        t->setTableName(QStringLiteral("Vente.dbf"));
        t->Open();
    }
    const int first = areaOf("VENTE"), second = areaOf("VENTE1"), third = areaOf("VENTE12");
    EXPECT_NE(first, 0);
    EXPECT_NE(second, 0);
    EXPECT_NE(third, 0);
    EXPECT_NE(first, second);
    EXPECT_NE(second, third);
    // The freed alias is given again.
    a.Close();
    EXPECT_EQ(areaOf("VENTE"), 0);
    TApolloTable d(QStringLiteral("D"));
    d.setTableName(QStringLiteral("Vente.dbf"));
    d.Open();
    EXPECT_NE(areaOf("VENTE"), 0);

    // Eight characters at most; the number replaces the end.
    TApolloTable e(QStringLiteral("E")), f(QStringLiteral("F"));
    e.setTableName(QStringLiteral("consomation.DBF"));
    f.setTableName(QStringLiteral("consomation.DBF"));
    e.Open();
    f.Open();
    EXPECT_NE(areaOf("CONSOMAT"), 0);
    EXPECT_NE(areaOf("CONSOMA1"), 0);

    // Characters other than A to Z become '_'.
    ASSERT_TRUE(QFile::copy(path("QteVente.DBF"), path("qte-v2.dbf")));
    TApolloTable g(QStringLiteral("G"));
    g.setTableName(QStringLiteral("qte-v2.dbf"));
    g.Open();
    EXPECT_NE(areaOf("QTE_V_"), 0);
}

TEST_F(TableOpenTest, NamesWithoutExtensionInAnyCaseOrInAFolder) {
    install();
    TApolloTable t(QStringLiteral("ATPtsres"));
    t.setTableName(QStringLiteral("Ptsres"));
    EXPECT_TRUE(t.tablePath().endsWith(QStringLiteral("/Ptsres.DBF")));
    t.Open();
    EXPECT_EQ(t.FieldCount(), 6);
    EXPECT_EQ(t.FieldByName("numres")->Size(), 16);
    t.Close();

    for (const char* name : {"ptsres", "PTSRES.dbf", "VENTE.DBF", "Config", "membre.dbf"}) {
        TApolloTable any(QStringLiteral("ATAny"));
        any.setTableName(QString::fromLatin1(name));
        EXPECT_NO_THROW(any.Open()) << name;
        EXPECT_TRUE(any.Active()) << name;
    }
    TApolloTable config(QStringLiteral("ATConfig"));
    config.setTableName(QStringLiteral("CONFIG"));
    config.Open();
    EXPECT_EQ(config.FieldByName("NUMTICKET")->AsString(), QStringLiteral("1"));

    // A table of another folder, by relative and by absolute name; its
    // indexes are written beside it.
    auto demo = installDataFolder(path(QStringLiteral("other")), true);
    ASSERT_TRUE(demo.ok) << demo.message.toStdString();
    TApolloTable here(QStringLiteral("ATHere")), rel(QStringLiteral("ATRel")), abs(QStringLiteral("ATAbs"));
    here.setTableName(QStringLiteral("consomation"));
    rel.setTableName(QStringLiteral("other/consomation"));
    abs.setTableName(path(QStringLiteral("other/CONSOMATION.dbf")));
    here.Open();
    rel.Open();
    abs.Open();
    EXPECT_EQ(here.RecordCount(), 0);
    EXPECT_EQ(rel.RecordCount(), 60);
    EXPECT_EQ(abs.RecordCount(), 60);
    rel.CreateIndex(QStringLiteral("ordre.ntx"), QStringLiteral("ORDRE"), false);
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("other/ordre.ntx"))));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("ordre.ntx"))));
    abs.OpenIndex(QStringLiteral("ORDRE.NTX"));
    abs.Last();
    EXPECT_EQ(abs.FieldByName("ORDRE")->AsString(), QStringLiteral("60"));
}

TEST_F(TableOpenTest, TwoIndexesOpenedInTurnAndReopenedAtOpen) {
    install();
    appendSales({{"2", 1}, {"10", 2}, {"1", 3}, {"10", 4}});
    createSaleIndexes();
    TApolloTable t(QStringLiteral("ATVente"));
    t.setTableName(QStringLiteral("Vente.dbf"));
    t.Open();
    EXPECT_EQ(t.RecNo(), 1);
    t.OpenIndex(QStringLiteral("vente.ntx"));
    t.OpenIndex(QStringLiteral("ticket.ntx"));
    EXPECT_EQ(t.IndexName(), QStringLiteral("ticket.ntx"));
    EXPECT_EQ(indexOrder("VENTE"), 2);
    EXPECT_EQ(t.RecNo(), 1) << "opening an index keeps the current row";
    t.First();
    EXPECT_EQ(t.RecNo(), 3);
    // ticket.ntx keeps both rows of ticket 10; the unique vente.ntx would not.
    EXPECT_EQ(column(t, "TICKET"), QStringList({"1", "10", "10", "2"}));

    t.Close();
    t.Open();
    EXPECT_EQ(t.IndexName(), QStringLiteral("ticket.ntx"));
    EXPECT_EQ(indexCount("VENTE"), 1);
    EXPECT_EQ(indexOrder("VENTE"), 1);
    EXPECT_EQ(column(t, "TICKET"), QStringList({"1", "10", "10", "2"}));

    // The remembered index gone: record order.
    t.Close();
    ASSERT_TRUE(QFile::remove(path(QStringLiteral("ticket.ntx"))));
    t.Open();
    EXPECT_EQ(indexCount("VENTE"), 0);
    EXPECT_EQ(column(t, "TICKET"), QStringList({"2", "10", "1", "10"}));
}

TEST_F(TableOpenTest, IndexOperationsKeepTheRowAndTheOpenFiles) {
    install();
    appendSales({{"2", 1}, {"10", 2}, {"1", 3}, {"10", 4}});
    createSaleIndexes();
    TApolloTable t(QStringLiteral("ATVente"));
    t.setTableName(QStringLiteral("Vente.dbf"));
    t.Open();
    t.OpenIndex(QStringLiteral("vente.ntx"));
    t.OpenIndex(QStringLiteral("ticket.ntx"));
    t.Next();
    const long row = t.RecNo();
    // An index open already becomes the order again, not a second copy.
    t.OpenIndex(QStringLiteral("VENTE.NTX"));
    EXPECT_EQ(indexCount("VENTE"), 2);
    EXPECT_EQ(indexOrder("VENTE"), 1);
    EXPECT_EQ(t.RecNo(), row);
    EXPECT_EQ(column(t, "TICKET"), QStringList({"1", "10", "2"}));

    t.CloseIndexes();
    EXPECT_TRUE(t.IndexName().isEmpty());
    EXPECT_EQ(indexCount("VENTE"), 0);
    EXPECT_EQ(column(t, "TICKET"), QStringList({"2", "10", "1", "10"}));

    t.First();
    t.Skip(2);
    t.CreateIndex(QStringLiteral("prix.ntx"), QStringLiteral("PRIX"), false);
    EXPECT_EQ(t.IndexName(), QStringLiteral("prix.ntx"));
    EXPECT_EQ(t.RecNo(), 3) << "creating an index keeps the current row";

    t.Close();
    t.CloseIndexes();  // nothing on a closed handle
    t.CreateIndex(QStringLiteral("never.ntx"), QStringLiteral("NOM"), false);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("never.ntx"))));
}

TEST_F(TableOpenTest, DeclaredFieldsThatDoNotFitTheFile) {
    install();
    struct Case {
        const char* field;
        TFieldType type;
        int size;
        QString message;
    };
    const Case cases[] = {
        {"XYZ", TFieldType::ftString, 10, QStringLiteral("ATVente: Champ 'XYZ' non trouvé")},
        {"PRIX", TFieldType::ftString, 10,
         QStringLiteral("ATVente: Type inadéquat pour le champ 'PRIX', attendu : String actuel : Float")},
        {"NOM", TFieldType::ftString, 20,
         QStringLiteral("ATVente: Taille inadéquate pour le champ 'NOM', attendu : 20 actuel : 30")},
    };
    for (const Case& c : cases) {
        TApolloTable t(QStringLiteral("ATVente"));
        t.setTableName(QStringLiteral("Vente.dbf"));
        t.addField(QStringLiteral("TICKET"), TFieldType::ftString, 6);
        t.addField(QString::fromLatin1(c.field), c.type, c.size);
        EXPECT_THROW(t.Open(), EDatabaseError);
        EXPECT_EQ(errorOf([&] { t.Open(); }), c.message);
        EXPECT_FALSE(t.Active());
        EXPECT_EQ(areaOf("VENTE"), 0) << "the failed open must release its work area";
        EXPECT_EQ(errorOf([&] { t.First(); }),
                  QStringLiteral("ATVente: Impossible d'effectuer cette opération sur un ensemble de données fermé"));
    }
    TApolloTable all(QStringLiteral("ATVente"));
    all.setTableName(QStringLiteral("Vente.dbf"));
    all.Open();
    EXPECT_EQ(errorOf([&] { all.FieldByName(QStringLiteral("XYZ")); }), QStringLiteral("ATVente: Champ 'XYZ' non trouvé"));
    all.Close();
    // Nothing holds the file: an exclusive open succeeds.
    TApolloTable x(QStringLiteral("ATX"));
    x.setTableName(QStringLiteral("Vente.dbf"));
    x.setExclusive(true);
    EXPECT_NO_THROW(x.Open());
}

TEST_F(TableOpenTest, RefusalsOfOpenAndOfIndexCalls) {
    install();
    TApolloTable t(QStringLiteral("ATVente"));
    EXPECT_EQ(errorOf([&] { t.Open(); }), QStringLiteral("ATVente : Missing TableName property"));

    t.setTableName(QStringLiteral("Nope"));
    EXPECT_EQ(errorOf([&] { t.Open(); }),
              QStringLiteral("Table does not exist.\rFile or directory does not exist.\rFile: ") +
                  QDir::currentPath() + QStringLiteral("/Nope.DBF"));
    EXPECT_FALSE(t.Active());

    // A table announcing a memo file that is not there.
    ASSERT_TRUE(QFile::copy(path("Vente.dbf"), path("Memo.dbf")));
    {
        QFile f(path("Memo.dbf"));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        const char marker = static_cast<char>(131);
        f.write(&marker, 1);
    }
    t.setTableName(QStringLiteral("Memo.dbf"));
    EXPECT_EQ(errorOf([&] { t.Open(); }),
              QStringLiteral("Associated MEMO file does not exist.\rFile: ") +
                  (QDir::currentPath() + QStringLiteral("/Memo.DBT")).toUpper());
    EXPECT_FALSE(t.Active());

    t.setTableName(QStringLiteral("Vente.dbf"));
    t.Open();
    EXPECT_EQ(errorOf([&] { t.OpenIndex(QStringLiteral("nope.ntx")); }),
              QStringLiteral("Index file does not exist.\rFile: nope.ntx"));
    EXPECT_TRUE(t.IndexName().isEmpty());
    EXPECT_EQ(errorOf([&] { t.CreateIndex(QString(), QStringLiteral("NOM"), false); }),
              QStringLiteral("Missing Parameter to Index Method: Index File Name"));
    EXPECT_EQ(errorOf([&] { t.CreateIndex(QStringLiteral("nom.ntx"), QString(), false); }),
              QStringLiteral("Missing Parameter to Index or IndexTag Method: Index Expression"));
    EXPECT_FALSE(QFile::exists(path("nom.ntx")));
}

TEST_F(TableOpenTest, ExclusiveOpenWhileTheFileIsInUse) {
    install();
    TApolloTable shared(QStringLiteral("ATShared")), sole(QStringLiteral("ATSole"));
    shared.setTableName(QStringLiteral("Vente.dbf"));
    sole.setTableName(QStringLiteral("Vente.dbf"));
    sole.setExclusive(true);
    shared.Open();
    EXPECT_EQ(errorOf([&] { sole.Open(); }),
              QStringLiteral("Unable to open table.\rFile: ") + QDir::currentPath() + QStringLiteral("/Vente.dbf"));
    EXPECT_FALSE(sole.Active());
    shared.Close();
    sole.Open();
    EXPECT_TRUE(sole.Active());
    EXPECT_FALSE(errorOf([&] { shared.Open(); }).isEmpty()) << "a shared open beside an exclusive one";
}

// The engine's kind of failure reaches the layer's error with its message.
TEST_F(TableOpenTest, EngineFailuresCarryTheirKind) {
    install();
    auto kindOf = [](const std::function<void()>& call) {
        try {
            call();
        } catch (const EApolloError& e) {
            return e.kind();
        }
        return EngineFailure::None;
    };
    TApolloTable shared(QStringLiteral("ATShared")), sole(QStringLiteral("ATSole"));
    shared.setTableName(QStringLiteral("Vente.dbf"));
    sole.setTableName(QStringLiteral("Vente.dbf"));
    sole.setExclusive(true);
    shared.Open();
    EXPECT_EQ(kindOf([&] { sole.Open(); }), EngineFailure::Locked);
    EXPECT_EQ(kindOf([&] { shared.CreateIndex(QStringLiteral("bad.ntx"), QStringLiteral("NOM +"), false); }),
              EngineFailure::Expression);
    shared.Close();

    // A header that counts more rows than the file holds.
    ASSERT_TRUE(QFile::copy(path("Vente.dbf"), path("Broken.dbf")));
    {
        QFile f(path("Broken.dbf"));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(4);
        f.write("\x09\x00\x00\x00", 4);
    }
    TApolloTable broken(QStringLiteral("ATBroken"));
    broken.setTableName(QStringLiteral("Broken.dbf"));
    EXPECT_EQ(kindOf([&] { broken.Open(); }), EngineFailure::Corrupt);
}

}  // namespace

// A table the engine refuses for a reason of its own: the message names the
// file, then gives that reason on a line of its own.
TEST_F(TableOpenTest, UnableToOpenKeepsTheEnginesReason) {
    install();
    ASSERT_TRUE(QFile::copy(path("Vente.dbf"), path("Broken.dbf")));
    {
        QFile f(path("Broken.dbf"));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(4);
        f.write("\x09\x00\x00\x00", 4);  // a count past the rows the file holds
    }
    TApolloTable broken(QStringLiteral("ATBroken"));
    broken.setTableName(QStringLiteral("Broken.dbf"));
    const QString message = errorOf([&] { broken.Open(); });
    const QString head = QStringLiteral("Unable to open table.\rFile: ") + QDir::currentPath() +
                         QStringLiteral("/Broken.dbf\r");
    EXPECT_TRUE(message.startsWith(head)) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("is truncated"))) << message.toStdString();
}
