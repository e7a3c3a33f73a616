// Payment and ticket closing: the change due, the receipt switch, the
// ticket number's advance and the card payment row of every closing.
#include "common/conversions.h"
#include "reports/engine/preview_window.h"
#include "reports/engine/quick_rep.h"
#include "tests/support/till_fixture.h"

class ClosingTest : public TillTest {
protected:
    void SetUp() override {
        TillTest::SetUp();
        previous_ = TQuickRep::setPreviewHook([this](TQuickRep&, TPreviewWindow&) { ++previews; });
        prepare({{"Biere", 2.50, 21, "01"}});
    }
    void TearDown() override {
        TQuickRep::setPreviewHook(previous_);
        TillTest::TearDown();
    }
    void typeReceived(TFCaisse* till, const QString& amount) {
        till->Edit1->setFocus();
        till->Edit1->selectAll();
        QTest::keyClicks(till->Edit1, amount);
    }
    QString storedTicket() {
        TApolloTable c("c");
        c.setTableName("config.dbf");
        c.Open();
        return c.FieldByName("NUMTICKET")->AsString();
    }
    // The card payment rows as "NOM|DATEACHAT|MONTANT".
    QStringList payments() {
        TApolloTable p("p");
        p.setTableName("Ptsres.DBF");
        p.Open();
        QStringList rows;
        for (p.First(); !p.Eof(); p.Next())
            rows << QStringLiteral("%1|%2|%3")
                        .arg(p.FieldByName("NOM")->AsString(),
                             p.FieldByName("DATEACHAT")->AsDate().toString(Qt::ISODate))
                        .arg(p.FieldByName("MONTANT")->AsFloat());
        return rows;
    }

    int previews = 0;
    TQuickRep::PreviewHook previous_;
};

TEST_F(ClosingTest, ChangeDueOnEnterAndOnLeavingTheField) {
    TFCaisse* till = openTill();
    press(till, 1, "3");  // 7.50; the focus is now in the amount received
    EXPECT_EQ(till->Edit1->selectedText(), "0");
    typeReceived(till, "10");
    QTest::keyClick(till->Edit1, Qt::Key_Return);
    EXPECT_EQ(till->Label6->text(), QStringLiteral("2,50 €"));
    typeReceived(till, "5");
    QTest::keyClick(till->Edit1, Qt::Key_Return);
    EXPECT_EQ(till->Label6->text(), QStringLiteral("-2,50 €"));
    // Leaving with a short amount keeps what was shown; a larger one shows it.
    typeReceived(till, "20");
    QTest::keyClick(till->Edit1, Qt::Key_Return);
    typeReceived(till, "5");
    till->ENombre->setFocus();
    EXPECT_EQ(till->Label6->text(), QStringLiteral("12,50 €"));
    typeReceived(till, "8.5");  // the '.' is taken as well as ','
    till->ENombre->setFocus();
    EXPECT_EQ(till->Label6->text(), QStringLiteral("1,00 €"));
    // Leaving it empty makes it "0"; Enter on an empty field is an error.
    till->Edit1->clear();
    till->Edit1->setFocus();
    QTest::keyClick(till->Edit1, Qt::Key_Return);
    EXPECT_EQ(dialogs_.errors, QStringList({"'' n'est pas une valeur en virgule flottante correcte"}));
    till->ENombre->setFocus();
    EXPECT_EQ(till->Edit1->text(), "0");
    EXPECT_EQ(dialogs_.errors.size(), 1);
    typeReceived(till, "dix");
    QTest::keyClick(till->Edit1, Qt::Key_Return);
    EXPECT_EQ(dialogs_.errors.last(), "'dix' n'est pas une valeur en virgule flottante correcte");
    EXPECT_EQ(till->Label6->text(), QStringLiteral("1,00 €"));
}

TEST_F(ClosingTest, ClosingClearsTheTillAndWritesThePayment) {
    TFCaisse* till = openTill();
    press(till, 1, "3");
    typeReceived(till, "10");
    QTest::keyClick(till->Edit1, Qt::Key_Return);
    till->LblRES->setVisible(true);
    QTest::mouseClick(till->MLBtCaisse, Qt::LeftButton);
    EXPECT_EQ(previews, 1);  // the switch is on after every show
    EXPECT_EQ(storedTicket(), "42");
    EXPECT_EQ(till->Numticket->text(), "42");
    EXPECT_EQ(till->FiltreVente, "Ticket = '42'");
    EXPECT_EQ(till->DBGrid1->model()->rowCount(), 0);
    EXPECT_EQ(till->Edit1->text(), "");
    EXPECT_EQ(till->Label6->text(), "0.00");
    EXPECT_EQ(till->Label4->text(), QStringLiteral("0,00 €"));
    EXPECT_FALSE(till->MLBAnulBois->isEnabled());
    EXPECT_FALSE(till->MLBAnulCom->isEnabled());
    EXPECT_FALSE(till->LblRES->isVisible());
    EXPECT_EQ(till->TotalTicket, 0.0);
    EXPECT_EQ(till->TotalTVA21, 0.0);
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    EXPECT_EQ(payments(), QStringList({"|" + today + "|7.5"}));
}

TEST_F(ClosingTest, SwitchOffClosesAtOnceAndAnEmptyTicketStillAdvances) {
    TFCaisse* till = openTill();
    QTest::mouseClick(till->BitBtn1, Qt::LeftButton);
    EXPECT_EQ(till->BitBtn1->text(), "Impression Non");
    EXPECT_FALSE(till->ImpressionTicket);
    QTest::mouseClick(till->MLBtCaisse, Qt::LeftButton);
    EXPECT_EQ(previews, 0);
    EXPECT_EQ(storedTicket(), "42");
    EXPECT_EQ(payments(), QStringList({"|" + QDate::currentDate().toString(Qt::ISODate) + "|0"}));
    QTest::mouseClick(till->BitBtn1, Qt::LeftButton);
    EXPECT_EQ(till->BitBtn1->text(), "Impression Oui");
}

TEST_F(ClosingTest, TicketNumbersAdvanceAndWrapAfterTheLastThatFits) {
    const std::pair<const char*, const char*> cases[] = {
        {"41", "42"}, {"999", "1000"}, {" 7", "8"}, {"000123", "124"}, {"999999", "1"}, {"", "1"}};
    for (auto [stored, next] : cases) {
        setTicket(stored);
        TFCaisse* till = openTill();
        QTest::mouseClick(till->BitBtn1, Qt::LeftButton);
        QTest::mouseClick(till->MLBtCaisse, Qt::LeftButton);
        EXPECT_EQ(storedTicket(), next) << '"' << stored << '"';
        EXPECT_EQ(till->Numticket->text(), next);
        program_.reset();
    }
}

TEST_F(ClosingTest, NonIntegerTicketNumberStopsTheClosingAndChangesNothing) {
    setTicket("12x");
    TFCaisse* till = openTill();
    press(till, 1);
    QTest::mouseClick(till->MLBtCaisse, Qt::LeftButton);
    EXPECT_EQ(previews, 1);  // the receipt came first
    EXPECT_EQ(dialogs_.errors, QStringList({QStringLiteral("'12x' n'est pas une valeur entière correcte")}));
    EXPECT_EQ(storedTicket(), "12x");
    EXPECT_TRUE(payments().isEmpty());
    EXPECT_DOUBLE_EQ(till->TotalTicket, 2.5);  // the ticket stays open
    EXPECT_EQ(till->ATConfig->State(), TDataSetState::dsBrowse);
}

// Dialogs whose error box takes the focus as a real one does: the window
// it opens becomes the active window.
class FocusTakingDialogs : public RecordingDialogs {
public:
    void showError(const QString& text) override {
        RecordingDialogs::showError(text);
        box.show();
        QApplication::setActiveWindow(&box);
        QApplication::setActiveWindow(opener);  // dismissed: the till is active again
    }
    QWidget box;
    QWidget* opener = nullptr;
};

TEST_F(ClosingTest, LettersInTheAmountGiveOneMessageEvenWhenTheBoxTakesTheFocus) {
    TFCaisse* till = openTill();
    FocusTakingDialogs boxes;
    boxes.opener = till;
    setDialogs(&boxes);
    typeReceived(till, "abc");
    QTest::keyClick(till->Edit1, Qt::Key_Return);
    EXPECT_EQ(boxes.errors, QStringList(ConvertText::kNotFloat.arg("abc")));
    // Leaving the field for another control of the till still runs its rule.
    till->ENombre->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(boxes.errors.size(), 2);
    setDialogs(&dialogs_);
}

TEST_F(ClosingTest, DisabledCancelButtonsLookDisabled) {
    TFCaisse* till = openTill();
    const QColor standard = QApplication::palette(till->MLBAnulBois).color(QPalette::Disabled, QPalette::ButtonText);
    for (TMultiLineButton* b : {till->MLBAnulCom, till->MLBAnulBois}) {
        ASSERT_FALSE(b->isEnabled());
        EXPECT_EQ(b->palette().color(QPalette::Disabled, QPalette::ButtonText), standard);
        EXPECT_NE(b->palette().color(QPalette::Active, QPalette::ButtonText), standard)
            << "the enabled caption keeps its own colour";
    }
}
