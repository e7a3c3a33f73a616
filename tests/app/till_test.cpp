// The till window: its buttons loaded from the price list, its show steps
// and its layout.
#include "tests/support/till_fixture.h"

TEST_F(TillTest, FiftyEightArticlesRepeatTheLastOnButtons59And60) {
    prepare(numberedArticles(58));
    TFCaisse* till = openTill();
    EXPECT_EQ(till->MultiLineButton[1]->Caption(), "Article 1");
    EXPECT_EQ(till->MultiLineButton[58]->Caption(), "Article 58");
    for (size_t n : {59u, 60u}) {
        EXPECT_EQ(till->MultiLineButton[n]->Caption(), "Article 58");
        EXPECT_DOUBLE_EQ(till->PrixArticle[n], 29.0);
        EXPECT_DOUBLE_EQ(till->TVAArticle[n], 6.0);
        EXPECT_TRUE(till->MultiLineButton[n]->isEnabled());
        EXPECT_TRUE(till->MultiLineButton[n]->isVisible());
    }
    // Button 60 sells the 58th article under its caption.
    press(till, 60);
    EXPECT_EQ(salesRows(), QStringList({"41|Article 58|29|6"}));
}

TEST_F(TillTest, EmptyPriceListGivesEmptyButtonsAtZero) {
    prepare({});
    TFCaisse* till = openTill();
    for (size_t n = 1; n <= 60; ++n) {
        EXPECT_TRUE(till->MultiLineButton[n]->Caption().isEmpty());
        EXPECT_EQ(till->PrixArticle[n], 0.0);
        EXPECT_EQ(till->TVAArticle[n], 0.0);
    }
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join("|").toStdString();
}

TEST_F(TillTest, OrdreSortsByCharacterNotByNumber) {
    prepare({{"deux", 1, 6, "2"}, {"dix", 1, 6, "10"}, {"un", 1, 6, "1"}, {"vingt", 1, 6, "20"}});
    TFCaisse* till = openTill();
    QStringList order;
    for (size_t n = 1; n <= 5; ++n) order << till->MultiLineButton[n]->Caption();
    EXPECT_EQ(order, QStringList({"un", "dix", "deux", "vingt", "vingt"}));
}

TEST_F(TillTest, CashFloatWarningExactlyWhenItIsNotDatedToday) {
    const QString warning = QStringLiteral("Le fond de caisse n'a pas été encodé ce jour");
    prepare(numberedArticles(3));
    openTill();
    EXPECT_TRUE(dialogs_.messages.isEmpty());
    program_.reset();

    for (const QDate& date : {QDate::currentDate().addDays(-1), QDate()}) {
        setFloatDate(date);
        dialogs_.messages.clear();
        TFCaisse* till = openTill();
        EXPECT_EQ(dialogs_.messages, QStringList({warning}));
        // The till stays usable.
        press(till, 1);
        EXPECT_DOUBLE_EQ(till->TotalTicket, 0.5);
        program_.reset();
    }
}

TEST_F(TillTest, ShowPutsTheTicketAndItsRowsOnScreen) {
    prepare(numberedArticles(4));
    TFCaisse* till = openTill();
    EXPECT_EQ(till->Numticket->text(), "41");
    EXPECT_EQ(till->FiltreVente, "Ticket = '41'");
    EXPECT_EQ(till->BitBtn1->text(), "Impression Oui");
    EXPECT_FALSE(till->LblRES->isVisible());
    EXPECT_FALSE(till->MLBAnulBois->isEnabled());
    EXPECT_FALSE(till->MLBAnulCom->isEnabled());
    EXPECT_EQ(till->Label4->text(), QStringLiteral("0,00 €"));
    EXPECT_EQ(till->Label6->text(), "0.00");
    EXPECT_EQ(till->Edit1->text(), "0");
    EXPECT_EQ(till->focusWidget(), till->MultiLineButton[1]);
    press(till, 2, "2");
    // Leaving with "Quitter" and coming back: the rows of the ticket are
    // there, the shown total starts again at zero, selling works at once.
    till->close();
    EXPECT_FALSE(till->ATVente->Active());
    program().switchTo(program().FMenu, till);
    EXPECT_EQ(till->DBGrid1->model()->rowCount(), 2);
    EXPECT_EQ(till->TotalTicket, 0.0);
    press(till, 1);
    EXPECT_EQ(till->DBGrid1->model()->rowCount(), 3);
}

TEST_F(TillTest, ButtonsSitOnTheirGridInTabOrder) {
    prepare(numberedArticles(1));
    TFCaisse* till = openTill();
    EXPECT_EQ(till->MultiLineButton[1]->geometry(), QRect(8, 40, 105, 41));
    EXPECT_EQ(till->MultiLineButton[6]->geometry(), QRect(120, 88, 105, 41));
    EXPECT_EQ(till->MultiLineButton[48]->geometry(), QRect(344, 568, 105, 41));
    EXPECT_EQ(till->MultiLineButton[49]->geometry(), QRect(456, 40, 105, 41));
    EXPECT_EQ(till->MultiLineButton[60]->geometry(), QRect(568, 280, 105, 41));
    std::vector<int> order;
    QWidget* w = till->MultiLineButton[48];
    for (int i = 0; i < 12; ++i) {
        w = w->nextInFocusChain();
        for (int n = 1; n <= 60; ++n)
            if (w == till->MultiLineButton[static_cast<size_t>(n)]) order.push_back(n);
    }
    EXPECT_EQ(order, (std::vector<int>{49, 55, 50, 56, 51, 57, 52, 58, 53, 59, 54, 60}));
}

TEST(MultiLineButton, LongCaptionWrapsAndKeepsItsText) {
    TMultiLineButton b("b", QString(), nullptr);
    b.resize(105, 41);
    b.setCaption("Schweppes Agrumes citron vert");
    EXPECT_TRUE(b.text().contains('\n'));
    EXPECT_EQ(b.Caption(), "Schweppes Agrumes citron vert");
    b.setMultiLine(false);
    EXPECT_FALSE(b.text().contains('\n'));
    b.setMultiLine(true);
    b.setCaption("Cola");
    EXPECT_EQ(b.text(), "Cola");
    b.setCaption("Croque-monsieur");
    EXPECT_EQ(b.text(), "Croque-\nmonsieur");
    b.setCaption("Gin & Tonic");
    EXPECT_EQ(b.text(), "Gin && Tonic");  // drawn as '&', not a shortcut
}
