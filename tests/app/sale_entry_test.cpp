// An article press: one sale row per unit, the totals read back from the
// stored rows, and what the till shows afterwards.
#include <QRegularExpression>

#include "tests/support/python_reader.h"
#include "tests/support/till_fixture.h"

namespace {

std::vector<ArticleRow> priceList() {
    return {{"Biere", 2.50, 21, "01"}, {"Cola", 2.00, 6, "02"}, {"Vin", 3.10, 12, "03"},
            {"Eau", 1.60, 6, "04"},    {"Chips", 1.20, 6, "05"}, {"Cafe", 1.80, 6, "06"},
            {"Jus", 0.10, 6, "07"},    {"The", 0.20, 6, "08"}};
}

}  // namespace

TEST_F(TillTest, QuantityThreeBooksThreeRowsAndTotalsTheStoredPrices) {
    prepare(priceList());
    TFCaisse* till = openTill();
    press(till, 1, "3");
    EXPECT_EQ(salesRows(), QStringList({"41|Biere|2.5|21", "41|Biere|2.5|21", "41|Biere|2.5|21"}));
    EXPECT_DOUBLE_EQ(till->TotalTicket, 7.5);
    EXPECT_DOUBLE_EQ(till->TotalTVA21, 7.5);
    EXPECT_EQ(till->TotalTVA6, 0.0);
    EXPECT_EQ(till->Label4->text(), QStringLiteral("7,50 €"));
    EXPECT_EQ(till->ENombre->text(), "1");
    EXPECT_EQ(till->focusWidget(), till->Edit1);
    EXPECT_TRUE(till->MLBAnulBois->isEnabled());
    EXPECT_TRUE(till->MLBAnulCom->isEnabled());
    // The grid shows the ticket's rows, its cursor on the last one posted.
    EXPECT_EQ(till->DBGrid1->model()->rowCount(), 3);
    EXPECT_EQ(till->DBGrid1->gridModel()->currentLine(), 2);
    EXPECT_EQ(till->DBGrid1->model()->headerData(0, Qt::Horizontal).toString(), "LIBELLE");
    EXPECT_EQ(till->DBGrid1->model()->headerData(6, Qt::Horizontal).toString(), "NOM");
    EXPECT_EQ(till->DBGrid1->model()->index(0, 1).data().toString(), "2,5");
}

TEST_F(TillTest, StoredRowsReadTheSameWithAnIndependentReader) {
    prepare(priceList());
    TFCaisse* till = openTill();
    press(till, 1, "3");
    const char* script =
        "import dbfread\n"
        "for r in dbfread.DBF('Vente.dbf', encoding='cp1252'):\n"
        "    print('%s|%s|%s|%.2f|%.2f|%s|%s' % (r['NOM'], r['TICKET'], r['LIBELLE'],"
        " r['PRIX'], r['TVA'], r['DATE'].isoformat(), r['TIME']))\n";
    const QStringList lines = pythonLines(dir_.path(), script);
    ASSERT_FALSE(HasFailure());
    ASSERT_EQ(lines.size(), 3);
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    const QRegularExpression row(
        QStringLiteral("^Caissier1\\|41\\|Biere\\|2\\.50\\|21\\.00\\|%1\\|\\d\\d:\\d\\d$").arg(today));
    for (const QString& line : lines) EXPECT_TRUE(row.match(line).hasMatch()) << line.toStdString();
    // The fixed-width bytes as they stand in the file: PRIX N10.2, TIME C5.
    QFile f(path("Vente.dbf"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.contains("Caissier1" + QByteArray(21, ' ') + "Biere" + QByteArray(25, ' ') +
                               "      2.5021.0041    "));
    Q_UNUSED(till);
}

TEST_F(TillTest, ZeroOrNegativeQuantityBooksNothingButResetsTheField) {
    prepare(priceList());
    TFCaisse* till = openTill();
    for (const char* quantity : {"0", "-2"}) {
        press(till, 2, quantity);
        EXPECT_EQ(till->ENombre->text(), "1");
    }
    EXPECT_TRUE(salesRows().isEmpty());
    EXPECT_EQ(till->TotalTicket, 0.0);
    EXPECT_TRUE(till->MLBAnulBois->isEnabled());  // step one ran
    EXPECT_EQ(till->Label4->text(), QStringLiteral("0,00 €"));
}

// The quantity field holds two characters, typed as a person types them:
// 0 to 99, a leading blank or sign; a text that is not a whole number gives
// the conversion message and books nothing, and stays for correction.
TEST_F(TillTest, TheQuantityFieldTakesTwoCharactersAndBooksWholeNumbersOnly) {
    struct Case {
        const char* typed;
        const char* shown;  // what the field holds once typed
        int rows;           // -1: refused with the conversion message
    };
    const Case cases[] = {
        {"99", "99", 99}, {"999", "99", 99}, {"1234", "12", 12}, {" 2", " 2", 2}, {"+2", "+2", 2},
        {"0", "0", 0},    {"-2", "-2", 0},   {"-25", "-2", 0},   {"", "", -1},    {"ab", "ab", -1},
        {"abc", "ab", -1}, {"1.5", "1.", -1}, {"3 ", "3 ", -1},
    };
    prepare(priceList());
    TFCaisse* till = openTill();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        dialogs_.errors.clear();
        const qsizetype before = salesRows().size();
        till->ENombre->clear();
        QTest::keyClicks(till->ENombre, QString::fromLatin1(c.typed));
        EXPECT_EQ(till->ENombre->text(), c.shown);
        QTest::mouseClick(till->MultiLineButton[1], Qt::LeftButton);
        if (c.rows < 0) {
            EXPECT_EQ(dialogs_.errors,
                      QStringList({QStringLiteral("'%1' n'est pas une valeur entière correcte").arg(c.shown)}));
            EXPECT_EQ(till->ENombre->text(), c.shown);
        } else {
            EXPECT_TRUE(dialogs_.errors.isEmpty());
            EXPECT_EQ(till->ENombre->text(), "1");
        }
        EXPECT_EQ(salesRows().size() - before, std::max(c.rows, 0));
    }
    EXPECT_DOUBLE_EQ(till->TotalTicket, 2.5 * (99 + 99 + 12 + 2 + 2));
    // The grid shows every row booked, on the last one.
    EXPECT_EQ(till->DBGrid1->model()->rowCount(), 214);
    EXPECT_EQ(till->DBGrid1->gridModel()->currentLine(), 213);
}

TEST_F(TillTest, AnyRateOtherThanSixCountsWithTwentyOne) {
    prepare(priceList());
    TFCaisse* till = openTill();
    press(till, 3);  // VAT 12
    press(till, 2, "2");
    EXPECT_DOUBLE_EQ(till->TotalTVA21, 3.1);
    EXPECT_DOUBLE_EQ(till->TotalTVA6, 4.0);
    EXPECT_DOUBLE_EQ(till->TotalTicket, 7.1);
}

TEST_F(TillTest, ButtonsFiveAndSixLeaveTheCancelButtonsDisabled) {
    prepare(priceList());
    TFCaisse* till = openTill();
    press(till, 5);
    press(till, 6);
    EXPECT_EQ(salesRows().size(), 2);
    EXPECT_FALSE(till->MLBAnulBois->isEnabled());
    EXPECT_FALSE(till->MLBAnulCom->isEnabled());
    press(till, 4);
    EXPECT_TRUE(till->MLBAnulBois->isEnabled());
}

TEST_F(TillTest, TotalsAreKeptToTheCent) {
    EXPECT_EQ(addToTotal(addToTotal(addToTotal(0, 0.1), 0.2), -0.3), 0.0);
    prepare(priceList());
    TFCaisse* till = openTill();
    press(till, 7);
    press(till, 8);
    EXPECT_EQ(till->TotalTVA6, 0.3);
    EXPECT_EQ(till->TotalTicket, 0.3);
}

TEST_F(TillTest, ClosedSalesTableStopsThePressWithTheLayersMessage) {
    prepare(priceList());
    TFCaisse* till = openTill();
    till->ATVente->Close();
    press(till, 1, "2");
    ASSERT_EQ(dialogs_.errors.size(), 1);
    EXPECT_EQ(till->ENombre->text(), "2");  // the later steps did not run
    EXPECT_EQ(till->TotalTicket, 0.0);
}
