// Free drinks, the referee fee with its amount box, the cancellations and
// the sales listing at the till, as a person does them.
#include <QRegularExpression>

#include "backoffice/fond.h"
#include "common/conversions.h"
#include "reports/engine/quick_rep.h"
#include "reports/imp_vente.h"
#include "tests/support/python_reader.h"
#include "tests/support/report_fixture.h"
#include "tests/support/till_fixture.h"
#include "till/arbitre.h"

namespace {

class AccountsTest : public TillTest {
protected:
    void SetUp() override {
        TillTest::SetUp();
        prepare({{"Biere", 2.00, 21, "01"}, {"Cola", 1.50, 6, "02"}});
        till = openTill();
    }
    static void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
    // Two beers at 2.00 (VAT 21) and a soft drink at 1.50 (VAT 6).
    void mixedTicket() {
        press(till, 1, "2");
        press(till, 2);
    }
    // "Montant arbitrage": the box comes up and becomes the active window.
    TFArbitre* openFeeBox() {
        click(till->MultiLineButton63);
        TFArbitre* box = program().FArbitre;
        EXPECT_TRUE(box->isVisible());
        QApplication::setActiveWindow(box);
        return box;
    }
    void typeFee(const QString& keys) {
        TFArbitre* box = openFeeBox();
        QTest::keyClicks(box->MaskEdit1, keys);
        QTest::keyClick(box->MaskEdit1, Qt::Key_Return);
    }
    // A click on the first grid line showing `label`.
    void selectInGrid(const QString& label) {
        QAbstractItemModel* m = till->DBGrid1->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            if (m->index(r, 0).data().toString() != label) continue;
            const QRect cell = till->DBGrid1->visualRect(m->index(r, 0));
            QTest::mouseClick(till->DBGrid1->viewport(), Qt::LeftButton, {}, cell.center());
            return;
        }
        ADD_FAILURE() << "no line " << label.toStdString();
    }
    QStringList rowsAfter(int n) { return salesRows().mid(n); }

    TFCaisse* till = nullptr;
};

TEST_F(AccountsTest, EachFreeDrinkButtonCompensatesBothRatesUnderItsOwnLabel) {
    const std::pair<TMultiLineButton*, QString> buttons[] = {
        {till->MLBtnArbitre, "Consomation Arbitre"},
        {till->MLBtComite, QStringLiteral("Consomation Comité")},
        {till->MLBtnBenevole, QStringLiteral("Consomation Bénévole")}};
    double vat6 = 0, vat21 = 0, total = 0;
    for (const auto& [button, label] : buttons) {
        SCOPED_TRACE(label.toStdString());
        mixedTicket();
        vat6 += 1.5;
        vat21 += 4;
        total += 5.5 - vat6 - vat21;
        const int before = salesRows().size();
        click(button);
        // The subtotals stay, so each press books all the articles so far.
        EXPECT_EQ(rowsAfter(before), QStringList({QStringLiteral("41|%1|%2|6").arg(label).arg(-vat6),
                                                  QStringLiteral("41|%1|%2|21").arg(label).arg(-vat21)}));
        EXPECT_EQ(till->TotalTicket, total);
        EXPECT_EQ(till->Label4->text(), moneyText(total));
        EXPECT_EQ(till->TotalTVA6, vat6);
        EXPECT_TRUE(till->MLBAnulCom->isEnabled() && till->MLBAnulBois->isEnabled());
        EXPECT_EQ(till->DBGrid1->model()->rowCount(), before + 2);
    }
}

TEST_F(AccountsTest, FreeDrinksOnAnEmptyTicketBookNothing) {
    click(till->MLBtComite);
    EXPECT_TRUE(salesRows().isEmpty());
    EXPECT_EQ(till->Label4->text(), QStringLiteral("0,00 €"));
}

TEST_F(AccountsTest, RefereeFeeBoxBooksTheFeeKeepsTheAmountAndCancels) {
    TFArbitre* box = openFeeBox();
    EXPECT_EQ(box->size(), QSize(305, 93));
    EXPECT_TRUE(box->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(box->palette().color(QPalette::Window), QColor(Qt::red));
    EXPECT_EQ(box->Label1->text(), "Montant pour l'arbitrage");
    EXPECT_EQ(box->Label1->mapTo(box, QPoint()), QPoint(24, 40));
    EXPECT_EQ(QRect(box->MaskEdit1->mapTo(box, QPoint()), box->MaskEdit1->size()), QRect(160, 32, 121, 21));
    EXPECT_EQ(box->MaskEdit1->text(), "0.00");
    EXPECT_EQ(till->focusWidget(), till->Edit1);
    EXPECT_EQ(till->TotalTicket, 0.0);  // nothing until the fee is booked

    QTest::keyClicks(box->MaskEdit1, "25");  // replaces the selected amount
    QTest::keyClick(box->MaskEdit1, Qt::Key_Return);
    EXPECT_FALSE(box->isVisible());
    EXPECT_EQ(salesRows(), QStringList{"41|Frais d'arbitrage|-25|0"});
    EXPECT_EQ(till->TotalTicket, -25.0);
    EXPECT_EQ(till->Label4->text(), QStringLiteral("-25,00 €"));
    EXPECT_EQ(till->TotalTVA6 + till->TotalTVA21, 0.0);
    EXPECT_EQ(till->DBGrid1->model()->rowCount(), 1);

    click(till->MultiLineButton64);
    EXPECT_EQ(rowsAfter(1), QStringList{"41|Annulation Arbitrage|25|0"});
    EXPECT_EQ(till->Label4->text(), QStringLiteral("0,00 €"));
    EXPECT_EQ(till->focusWidget(), till->Edit1);

    EXPECT_EQ(openFeeBox()->MaskEdit1->text(), "25");
}

TEST_F(AccountsTest, ARefusedFeeBooksNothingAndEscLeavesWithoutAFee) {
    TFArbitre* box = program().FArbitre;
    const std::pair<const char*, const char*> refused[] = {
        {"abc", "'abc' n'est pas une valeur en virgule flottante correcte"},
        {"100000000", "Translate error. Value out of bounds"}};  // wider than PRIX
    for (const auto& [typed, message] : refused) {
        dialogs_.errors.clear();
        typeFee(typed);
        EXPECT_EQ(dialogs_.errors, QStringList{message});
        EXPECT_TRUE(box->isVisible());
        EXPECT_TRUE(salesRows().isEmpty());
        EXPECT_EQ(till->TotalTicket, 0.0);
    }
    QTest::keyClick(box->MaskEdit1, Qt::Key_Escape);
    EXPECT_FALSE(box->isVisible());
    EXPECT_TRUE(salesRows().isEmpty());
    EXPECT_EQ(openFeeBox()->MaskEdit1->text(), "100000000");  // kept for a correction
    QTest::keyClicks(box->MaskEdit1, "12,5");
    QTest::keyClick(box->MaskEdit1, Qt::Key_Return);
    press(till, 1);  // the till books on
    EXPECT_EQ(salesRows(), QStringList({"41|Frais d'arbitrage|-12.5|0", "41|Biere|2|21"}));
    EXPECT_TRUE(dialogs_.errors.size() == 1) << dialogs_.errors.join('\n').toStdString();
}

TEST_F(AccountsTest, CancelOrderCompensatesEveryArticleAndDisablesBothButtons) {
    mixedTicket();
    click(till->MLBAnulCom);
    EXPECT_EQ(rowsAfter(3), QStringList({"41|Annulation commande|-1.5|6", "41|Annulation commande|-4|21"}));
    EXPECT_EQ(till->TotalTicket, 0.0);
    EXPECT_EQ(till->TotalTVA6, 0.0);
    EXPECT_EQ(till->TotalTVA21, 0.0);
    EXPECT_FALSE(till->MLBAnulCom->isEnabled());
    EXPECT_FALSE(till->MLBAnulBois->isEnabled());
    EXPECT_EQ(till->focusWidget(), till->Edit1);
}

TEST_F(AccountsTest, CancelOrderAfterFreeDrinksMakesTheTotalNegative) {
    mixedTicket();
    click(till->MLBtnArbitre);
    click(till->MLBAnulCom);
    EXPECT_EQ(salesRows().size(), 7);
    EXPECT_EQ(till->TotalTicket, -5.5);
    EXPECT_EQ(till->Label4->text(), QStringLiteral("-5,50 €"));
}

TEST_F(AccountsTest, CancelDrinkBooksBackTheRowSelectedInTheGrid) {
    press(till, 1);
    click(till->MLBAnulBois);  // the last row posted is the one selected
    EXPECT_EQ(rowsAfter(1), QStringList{"41|Annulation Consomation|-2|21"});
    EXPECT_EQ(till->TotalTicket, 0.0);
    EXPECT_FALSE(till->MLBAnulBois->isEnabled());
    EXPECT_TRUE(till->MLBAnulCom->isEnabled());
    EXPECT_EQ(till->focusWidget(), till->Edit1);

    // A click in the grid chooses another row of the ticket.
    typeFee("25");
    press(till, 2);
    selectInGrid("Frais d'arbitrage");
    click(till->MLBAnulBois);
    EXPECT_EQ(salesRows().size(), 4);  // a fee is not a drink
    EXPECT_EQ(till->TotalTicket, -23.5);
    EXPECT_FALSE(till->MLBAnulBois->isEnabled());
    press(till, 2);
    selectInGrid("Biere");
    click(till->MLBAnulBois);
    EXPECT_EQ(rowsAfter(5), QStringList{"41|Annulation Consomation|-2|21"});
    EXPECT_EQ(till->TotalTicket, -24.0);
    EXPECT_EQ(till->TotalTVA21, -2.0);
}

TEST_F(AccountsTest, SalesListingLeavesTheTicketAsItWasAndFreesTheSalesFile) {
    mixedTicket();
    QStringList previews;
    {
        PreviewHookScope hook([&](TQuickRep& rep, TPreviewWindow&) {
            previews << rep.Name();
            // The pages are made: the journal holds no file while on screen.
            EXPECT_FALSE(program().FImpVente->ATVente->Active());
        });
        click(till->MLBtnZ);
    }
    EXPECT_EQ(previews, QStringList{"QRImpVente"});
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join('\n').toStdString();
    EXPECT_FALSE(program().FImpVente->ATVente->Active());
    EXPECT_EQ(salesRows().size(), 3);
    EXPECT_EQ(till->Numticket->text(), "41");
    EXPECT_EQ(till->TotalTicket, 5.5);
    EXPECT_EQ(till->FiltreVente, "Ticket = '41'");
    EXPECT_EQ(till->DBGrid1->model()->rowCount(), 3);
    press(till, 1);
    EXPECT_EQ(salesRows().last(), "41|Biere|2|21");

    // The reset can then have the sales file to itself.
    program().switchTo(till, program().FFond);
    QTest::mouseClick(program().FFond->SpeedButton2, Qt::LeftButton);
    ASSERT_EQ(dialogs_.messages.size(), 1);
    EXPECT_TRUE(dialogs_.messages[0].startsWith("Fichier copier sous le nom de ")) << dialogs_.messages[0].toStdString();
    EXPECT_TRUE(salesRows().isEmpty());
}

// Every kind of booking, read back by an independent reader from the bytes.
TEST_F(AccountsTest, EveryBookingKindStoresItsSevenFields) {
    press(till, 1);
    press(till, 2);
    click(till->MLBAnulBois);      // the Cola
    click(till->MLBtnArbitre);     // 21 only: the 6 was cancelled
    click(till->MLBtComite);
    click(till->MLBtnBenevole);
    click(till->MLBAnulCom);       // the Biere's 2.00 at 21
    click(till->MultiLineButton64);  // the total of -6.00
    typeFee("25");
    click(till->MultiLineButton64);
    click(till->MultiLineButton64);  // nothing left: a price of 0
    const char* script =
        "import dbfread\n"
        "for r in dbfread.DBF('Vente.dbf', raw=True):\n"
        "    print('|'.join(r[f].decode('cp1252').strip() for f in"
        " ('NOM', 'TICKET', 'LIBELLE', 'PRIX', 'TVA', 'DATE', 'TIME')))\n";
    const QStringList lines = pythonLines(dir_.path(), script);
    ASSERT_FALSE(HasFailure());
    const QStringList expected = {
        "Biere|2.00|21.00", "Cola|1.50|6.00", "Annulation Consomation|-1.50|6.00",
        "Consomation Arbitre|-2.00|21.00", QStringLiteral("Consomation Comité|-2.00|21.00"),
        QStringLiteral("Consomation Bénévole|-2.00|21.00"), "Annulation commande|-2.00|21.00",
        "Annulation Arbitrage|6.00|0.00", "Frais d'arbitrage|-25.00|0.00",
        "Annulation Arbitrage|25.00|0.00", "Annulation Arbitrage|0.00|0.00"};
    ASSERT_EQ(lines.size(), expected.size()) << lines.join('\n').toStdString();
    const QString today = QDate::currentDate().toString("yyyyMMdd");
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QRegularExpression row(
            QStringLiteral("^Caissier1\\|41\\|%1\\|%2\\|\\d\\d:\\d\\d$")
                .arg(QRegularExpression::escape(expected[i]), today));
        EXPECT_TRUE(row.match(lines[i]).hasMatch()) << lines[i].toStdString();
    }
    EXPECT_EQ(till->TotalTicket, 0.0);
}

}  // namespace
