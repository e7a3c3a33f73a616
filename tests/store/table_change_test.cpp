// Changing rows through table handles: Insert, Edit, Post, Cancel, Delete,
// Zap, the record image that Post writes, and the refusals on the way.
#include "tests/support/store_fixture.h"
#include "store_rows.h"
#include "store/sde_api.h"

namespace {

class TableChangeTest : public StoreTest {
protected:
    void openSales(TApolloTable& t) {
        t.setTableName(QStringLiteral("Vente.dbf"));
        t.Open();
    }
};

TEST_F(TableChangeTest, NewRowOutsideTheFilterIsWrittenButNotShown) {
    install();
    appendSales({{"12", 1}, {"12", 2}, {"11", 3}});
    TApolloTable t(QStringLiteral("ATVente"));
    t.setFilter(QStringLiteral("Ticket = '12'"));
    t.setFiltered(true);
    openSales(t);
    t.Next();
    ASSERT_EQ(t.RecNo(), 2);
    t.Insert();
    t.FieldByName("TICKET")->setAsString(QStringLiteral("13"));
    t.FieldByName("PRIX")->setAsFloat(4);
    t.Post();
    EXPECT_EQ(t.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(t.RecNo(), 2) << "the row current before Insert stays current";
    EXPECT_EQ(t.FieldByName("PRIX")->AsFloat(), 2);
    EXPECT_EQ(column(t, "TICKET"), QStringList({"12", "12"}));

    TApolloTable other(QStringLiteral("ATOther"));
    openSales(other);
    EXPECT_EQ(column(other, "TICKET"), QStringList({"12", "12", "11", "13"}));
}

TEST_F(TableChangeTest, TwoPostsInARowOnTheTill) {
    install();
    appendSales({{"4", 1}, {"6", 1}});
    createSaleIndexes();
    TApolloTable t(QStringLiteral("ATVente"));
    openSales(t);
    t.OpenIndex(QStringLiteral("ticket.ntx"));
    t.setFilter(QStringLiteral("TICKET = '5'"));
    t.setFiltered(true);
    ASSERT_TRUE(t.Eof());
    const double prices[] = {2.5, 3.75};
    for (int i = 0; i < 2; ++i) {
        t.Insert();
        t.FieldByName("TICKET")->setAsString(QStringLiteral("5"));
        t.FieldByName("PRIX")->setAsFloat(prices[i]);
        t.Post();
        EXPECT_EQ(t.RecNo(), 3 + i) << "post " << i;
        EXPECT_DOUBLE_EQ(t.FieldByName("PRIX")->AsFloat(), prices[i]) << "post " << i;
        EXPECT_FALSE(t.Eof()) << "post " << i;
    }
    EXPECT_EQ(column(t, "PRIX"), QStringList({"2.5", "3.75"}));
}

TEST_F(TableChangeTest, EditOfAnEmptySettingsTableInsertsAtPost) {
    install();
    {
        TApolloTable zap(QStringLiteral("ATZap"));
        zap.setTableName(QStringLiteral("config.dbf"));
        zap.setExclusive(true);
        zap.Open();
        zap.Zap();
    }
    TApolloTable t(QStringLiteral("ATConfig"));
    t.setTableName(QStringLiteral("config.dbf"));
    t.Open();
    ASSERT_TRUE(t.Eof());
    t.Edit();
    EXPECT_EQ(t.State(), TDataSetState::dsInsert);
    t.FieldByName("NUMTICKET")->setAsString(QStringLiteral("7"));
    t.Post();
    EXPECT_EQ(t.RecordCount(), 1);

    TApolloTable reader(QStringLiteral("ATReader"));
    reader.setTableName(QStringLiteral("config.dbf"));
    reader.Open();
    EXPECT_EQ(reader.FieldByName("NUMTICKET")->AsString(), QStringLiteral("7"));
    EXPECT_TRUE(reader.FieldByName("DATEFOND")->IsNull());
    EXPECT_EQ(reader.FieldByName("DATEFOND")->AsDate(), QDate(1899, 12, 30));
    EXPECT_TRUE(reader.FieldByName("FONDCAISSE")->IsNull());
    EXPECT_EQ(reader.FieldByName("FONDCAISSE")->AsFloat(), 0.0);
}

TEST_F(TableChangeTest, DeleteMovesToTheNextRowOrTheNewLastRow) {
    install();
    appendSales({{"2", 1}, {"3", 2}, {"1", 3}});
    createSaleIndexes();
    TApolloTable t(QStringLiteral("ATVente"));
    openSales(t);
    t.OpenIndex(QStringLiteral("ticket.ntx"));
    t.First();
    ASSERT_EQ(t.FieldByName("TICKET")->AsString(), QStringLiteral("1"));
    t.Delete();  // the next row of the order, not of the file
    EXPECT_EQ(t.FieldByName("TICKET")->AsString(), QStringLiteral("2"));
    t.Last();
    ASSERT_EQ(t.FieldByName("TICKET")->AsString(), QStringLiteral("3"));
    t.Delete();
    EXPECT_EQ(t.FieldByName("TICKET")->AsString(), QStringLiteral("2"));
    EXPECT_EQ(t.RecNo(), 1);
    t.Delete();
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(errorOf([&] { t.Delete(); }), QStringLiteral("Cannot perform this operation on an empty table"));
    EXPECT_EQ(t.RecordCount(), 3) << "deleted rows stay in the file";
}

TEST_F(TableChangeTest, ZapAndTheExclusiveProperty) {
    install();
    appendSales({{"1", 1}, {"2", 2}});
    TApolloTable t(QStringLiteral("ATVente"));
    openSales(t);
    EXPECT_EQ(errorOf([&] { t.Zap(); }),
              QStringLiteral("Table must be opened in Exclusive mode to perform this operation"));
    EXPECT_EQ(column(t, "TICKET"), QStringList({"1", "2"}));

    const QString openTable = QStringLiteral("Cannot perform this operation on an open table");
    EXPECT_EQ(errorOf([&] { t.setExclusive(true); }), openTable);
    EXPECT_EQ(errorOf([&] { t.setReadOnly(true); }), openTable);
    EXPECT_EQ(errorOf([&] { t.setTableName(QStringLiteral("config.dbf")); }), openTable);
    EXPECT_NO_THROW(t.setExclusive(false));
    EXPECT_NO_THROW(t.setTableName(QStringLiteral("Vente.dbf")));
    EXPECT_FALSE(t.Exclusive());

    t.Close();
    t.setExclusive(true);
    t.Open();
    t.Zap();
    EXPECT_EQ(t.RecordCount(), 0);
    EXPECT_TRUE(t.Eof());
    EXPECT_TRUE(t.FieldByName("TICKET")->AsString().isEmpty());
}

TEST_F(TableChangeTest, ReadOnlyHandleRefusesEveryChange) {
    install();
    appendSales({{"1", 1}});
    TApolloTable t(QStringLiteral("ATVente"));
    t.setReadOnly(true);
    t.setExclusive(true);
    openSales(t);
    const QString readOnly = QStringLiteral("Cannot modify a read-only data set");
    EXPECT_EQ(errorOf([&] { t.Insert(); }), readOnly);
    EXPECT_EQ(errorOf([&] { t.Edit(); }), readOnly);
    EXPECT_EQ(errorOf([&] { t.Delete(); }), readOnly);
    EXPECT_EQ(errorOf([&] { t.Zap(); }), readOnly);
    EXPECT_EQ(t.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(t.RecordCount(), 1);
}

TEST_F(TableChangeTest, ClosedOrBrowsingHandleRefusesChanges) {
    install();
    TApolloTable t(QStringLiteral("ATVente"));
    t.setTableName(QStringLiteral("Vente.dbf"));
    const QString closed =
        QStringLiteral("ATVente: Impossible d'effectuer cette opération sur un ensemble de données fermé");
    EXPECT_EQ(errorOf([&] { t.Insert(); }), closed);
    EXPECT_EQ(errorOf([&] { t.Edit(); }), closed);
    EXPECT_EQ(errorOf([&] { t.Refresh(); }), closed);
    EXPECT_EQ(errorOf([&] { t.First(); }), closed);
    EXPECT_EQ(errorOf([&] { t.Last(); }), closed);
    EXPECT_EQ(errorOf([&] { t.Next(); }), closed);
    EXPECT_EQ(errorOf([&] { t.Prior(); }), closed);
    EXPECT_EQ(errorOf([&] { t.Delete(); }), closed);
    EXPECT_EQ(errorOf([&] { t.OpenIndex(QStringLiteral("vente.ntx")); }), closed);

    t.Open();
    const QString browsing = QStringLiteral("ATVente: L'ensemble de données n'est pas en mode Edition ou Insertion");
    EXPECT_EQ(errorOf([&] { t.Post(); }), browsing);
    EXPECT_EQ(errorOf([&] { t.FieldByName("NOM")->setAsString(QStringLiteral("x")); }), browsing);
    EXPECT_EQ(t.RecordCount(), 0);
}

TEST_F(TableChangeTest, PostKeepsTheValuesOfUndeclaredFields) {
    install();
    TApolloTable full(QStringLiteral("ATFull"));
    openSales(full);
    full.Insert();
    full.FieldByName("NOM")->setAsString(QStringLiteral("Dupont"));
    full.FieldByName("LIBELLE")->setAsString(QStringLiteral("Duvel"));
    full.FieldByName("PRIX")->setAsFloat(3.5);
    full.FieldByName("TVA")->setAsFloat(21);
    full.FieldByName("TICKET")->setAsString(QStringLiteral("9"));
    full.FieldByName("DATE")->setAsDate(QDate(2024, 5, 1));
    full.FieldByName("TIME")->setAsString(QStringLiteral("12:30"));
    full.Post();
    full.Close();

    TApolloTable some(QStringLiteral("ATSome"));
    some.addField(QStringLiteral("LIBELLE"), TFieldType::ftString, 30);
    some.addField(QStringLiteral("PRIX"), TFieldType::ftFloat);
    openSales(some);
    EXPECT_EQ(some.FieldCount(), 2);
    some.Edit();
    some.FieldByName("PRIX")->setAsFloat(4);
    some.Post();

    full.Open();
    EXPECT_EQ(full.FieldByName("NOM")->AsString(), QStringLiteral("Dupont"));
    EXPECT_EQ(full.FieldByName("LIBELLE")->AsString(), QStringLiteral("Duvel"));
    EXPECT_EQ(full.FieldByName("PRIX")->AsFloat(), 4.0);
    EXPECT_EQ(full.FieldByName("TVA")->AsFloat(), 21.0);
    EXPECT_EQ(full.FieldByName("TICKET")->AsString(), QStringLiteral("9"));
    EXPECT_EQ(full.FieldByName("DATE")->AsDate(), QDate(2024, 5, 1));
    EXPECT_EQ(full.FieldByName("TIME")->AsString(), QStringLiteral("12:30"));
}

TEST_F(TableChangeTest, StoredFormsOfNumbersDatesBooleansAndBlanks) {
    install();
    auto storedRow = [](const char* alias) {
        QByteArray image;
        inArea(alias, [&] {
            image.resize(sde().sx_RecSize());
            return static_cast<long>(sde().sx_GetRecord(reinterpret_cast<unsigned char*>(image.data())));
        });
        return image;
    };
    TApolloTable sales(QStringLiteral("ATVente"));
    openSales(sales);
    sales.Insert();
    sales.FieldByName("NOM")->setAsString(QStringLiteral("Café"));
    sales.FieldByName("PRIX")->setAsFloat(3.5);
    sales.FieldByName("TVA")->setAsFloat(-0.001);
    sales.FieldByName("DATE")->setAsDate(QDate(2024, 5, 1));
    sales.Post();
    const QByteArray sale = storedRow("VENTE");
    EXPECT_EQ(sale.mid(1, 5), QByteArray("Caf\xE9 "));
    EXPECT_EQ(sale.mid(61, 10), QByteArray("      3.50"));
    EXPECT_EQ(sale.mid(71, 5), QByteArray(" 0.00")) << "no negative zero";
    EXPECT_EQ(sale.mid(76, 6), QByteArray(6, ' ')) << "a null text is spaces";
    EXPECT_EQ(sale.mid(82, 8), QByteArray("20240501"));

    TApolloTable members(QStringLiteral("ATMembre"));
    members.setTableName(QStringLiteral("Membre.DBF"));
    members.Open();
    members.Insert();
    members.FieldByName("MOIS1")->setAsBoolean(true);
    members.FieldByName("MOIS2")->setAsBoolean(false);
    members.Post();
    const QByteArray member = storedRow("MEMBRE");
    const int months = static_cast<int>(member.size()) - 8;
    EXPECT_EQ(member.mid(months, 3), QByteArray("TF "));
    EXPECT_EQ(members.FieldByName("MOIS1")->DataType(), TFieldType::ftBoolean);
    EXPECT_TRUE(members.FieldByName("MOIS3")->IsNull());
    EXPECT_FALSE(members.FieldByName("MOIS3")->AsBoolean());

    // Numbers without decimals are small integers up to four digits.
    ASSERT_TRUE(sde().sx_CreateTable(path("Types.dbf").toLocal8Bit().constData(), "A,N,4,0;B,N,5,0;C,N,3,1"));
    TApolloTable types(QStringLiteral("ATTypes"));
    types.setTableName(QStringLiteral("Types"));
    types.Open();
    EXPECT_EQ(types.FieldByName("A")->DataType(), TFieldType::ftSmallint);
    EXPECT_EQ(types.FieldByName("B")->DataType(), TFieldType::ftFloat);
    EXPECT_EQ(types.FieldByName("C")->DataType(), TFieldType::ftFloat);
    types.Insert();
    types.FieldByName("A")->setAsInteger(-999);
    types.Post();
    EXPECT_EQ(types.FieldByName("A")->AsInteger(), -999);
    types.Insert();
    types.FieldByName("A")->setAsInteger(12345);
    EXPECT_EQ(errorOf([&] { types.Post(); }), QStringLiteral("Translate error. Value out of bounds"));
}

TEST_F(TableChangeTest, ValuesThatDoNotFitTheirField) {
    install();
    appendSales({{"1", 2.5}});
    TApolloTable t(QStringLiteral("ATVente"));
    openSales(t);
    const QString outOfBounds = QStringLiteral("Translate error. Value out of bounds");

    t.Insert();
    t.FieldByName("PRIX")->setAsFloat(123456789.0);
    EXPECT_EQ(errorOf([&] { t.Post(); }), outOfBounds);
    EXPECT_EQ(t.State(), TDataSetState::dsInsert);
    EXPECT_EQ(t.RecordCount(), 1) << "a refused row is not appended";
    t.Cancel();
    EXPECT_EQ(t.RecNo(), 1);

    t.Edit();
    t.FieldByName("PRIX")->setAsFloat(-99999999.5);
    EXPECT_EQ(errorOf([&] { t.Post(); }), outOfBounds);
    t.Cancel();
    EXPECT_EQ(t.FieldByName("PRIX")->AsFloat(), 2.5);

    // Texts are cut to the field; a width that fits exactly is kept.
    t.Edit();
    t.FieldByName("NOM")->setAsString(QStringLiteral("Jean-Baptiste de la Croix-Rouge du Nord"));
    t.FieldByName("TICKET")->setAsString(QStringLiteral("1234567"));
    t.FieldByName("PRIX")->setAsFloat(9999999.99);
    t.Post();
    TApolloTable reader(QStringLiteral("ATReader"));
    openSales(reader);
    EXPECT_EQ(reader.FieldByName("NOM")->AsString(), QStringLiteral("Jean-Baptiste de la Croix-Roug"));
    EXPECT_EQ(reader.FieldByName("TICKET")->AsString(), QStringLiteral("123456"));
    EXPECT_DOUBLE_EQ(reader.FieldByName("PRIX")->AsFloat(), 9999999.99);
}

TEST_F(TableChangeTest, CancelReturnsToTheRowBeforeInsert) {
    install();
    appendSales({{"1", 1}, {"2", 2}});
    TApolloTable t(QStringLiteral("ATVente"));
    openSales(t);
    t.Next();
    t.Insert();
    t.FieldByName("TICKET")->setAsString(QStringLiteral("3"));
    t.Cancel();
    EXPECT_EQ(t.RecNo(), 2);
    EXPECT_EQ(t.FieldByName("TICKET")->AsString(), QStringLiteral("2"));
    EXPECT_EQ(t.RecordCount(), 2);

    // A move posts the change; Refresh without a change just drops the edit.
    t.Edit();
    t.FieldByName("PRIX")->setAsFloat(7);
    t.First();
    EXPECT_EQ(t.State(), TDataSetState::dsBrowse);
    t.Next();
    EXPECT_EQ(t.FieldByName("PRIX")->AsFloat(), 7.0);
    t.Edit();
    t.Refresh();
    EXPECT_EQ(t.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(t.RecNo(), 2);
    t.Edit();
    t.FieldByName("PRIX")->setAsFloat(8);
    t.Refresh();  // posts the change
    EXPECT_EQ(t.State(), TDataSetState::dsBrowse);
    t.Close();
    t.Open();
    t.Next();
    EXPECT_EQ(t.FieldByName("PRIX")->AsFloat(), 8.0);
}

TEST_F(TableChangeTest, TwoHandlesOnOneFile) {
    install();
    appendSales({{"1", 1}});
    TApolloTable a(QStringLiteral("ATA")), b(QStringLiteral("ATB"));
    openSales(a);
    openSales(b);
    a.Insert();
    a.FieldByName("TICKET")->setAsString(QStringLiteral("2"));
    a.Post();
    EXPECT_EQ(b.RecNo(), 1);
    b.Refresh();
    b.Next();
    EXPECT_EQ(b.FieldByName("TICKET")->AsString(), QStringLiteral("2")) << "b sees a's row at its next read";

    a.First();
    a.Edit();
    b.First();
    EXPECT_EQ(errorOf([&] { b.Edit(); }),
              QStringLiteral("Record Lock Failure. May be locked by another user or task."));
    EXPECT_EQ(b.State(), TDataSetState::dsBrowse);
    a.FieldByName("PRIX")->setAsFloat(5);
    a.Post();  // releases the lock
    EXPECT_NO_THROW(b.Edit());
    EXPECT_EQ(b.FieldByName("PRIX")->AsFloat(), 5.0) << "Edit reads the row as it is now";
    b.Cancel();
}

}  // namespace
