// The ticket search and its search box: the list of ticket numbers, the
// incremental search key by key, the list's keys and clicks, and the till
// showing the chosen ticket.
#include "backoffice_fixture.h"
#include "store/table_layouts.h"

class TicketSearchTest : public BackofficeTest {
protected:
    void SetUp() override {
        BackofficeTest::SetUp();
        prepare({{"Biere", 2.50, 21, "01"}});
        // Tickets 1 to 12, three of them with several rows, out of order.
        addSales({"3", "1", "12", "2", "4", "5", "12", "6", "7", "8", "9", "10", "11", "3", "12"});
        till = openTill();
        search = openTicketSearch(till);
        box = search->DBLookupComboPlus1;
    }
    TFCaisse* till = nullptr;
    TFTicket* search = nullptr;
    TDBLookupComboPlus* box = nullptr;
};

TEST_F(TicketSearchTest, ShowOpensTheSalesInTicketOrderAndTheListHoldsEachTicketOnce) {
    EXPECT_EQ(search->windowTitle(), QStringLiteral("Recherche  d'un ticket"));
    EXPECT_EQ(box->width(), 121);
    EXPECT_TRUE(search->ATTicket->Active());
    EXPECT_EQ(search->ATTicket->IndexName(), IndexFile::kTickets);
    // The row that opening made current: the first in file order, as the
    // ticket order is only set afterwards.
    EXPECT_EQ(box->text(), "3");
    EXPECT_EQ(walkList(box), QStringList({"1", "10", "11", "12", "2", "3", "4", "5", "6", "7", "8", "9"}));
    // The open list shows eight rows and follows the lookup table's order.
    QTest::keyClick(box, Qt::Key_Down);
    ASSERT_TRUE(box->listVisible());
    EXPECT_EQ(box->list()->rowText(0), "2");  // the list ends on the current row, the last
    QTest::keyClick(box, Qt::Key_Home);
    EXPECT_EQ(box->list()->shownRows(), 8);
    EXPECT_EQ(box->list()->rowText(0), "1");
    EXPECT_EQ(box->list()->rowText(7), "5");
    // Right-aligned under the box.
    const QRect boxOnScreen(box->mapToGlobal(QPoint(0, 0)), box->size());
    EXPECT_EQ(box->list()->geometry().right(), boxOnScreen.right());
    EXPECT_EQ(box->list()->geometry().top(), boxOnScreen.bottom() + 1);
}

TEST_F(TicketSearchTest, TypingSelectsTheFirstTicketThatBeginsWithTheKeys) {
    struct Case {
        const char* keys;
        const char* shown;
        const char* searchText;
        int highlighted;  // characters highlighted after the matched part
    };
    const Case cases[] = {
        {"1", "1", "1", 0},
        {"12", "12", "12", 0},
        {"2", "2", "2", 0},
        {"99", "9", "99", 0},     // nothing begins with 99: the selection stays on 9
        {"991", "9", "99", 0},    // a further key is ignored
        {"99\b", "9", "9", 0},    // Backspace returns to the search for 9
        {"99\b\b", "", "", 0},    // an empty search shows nothing
        {"x", "1", "x", 0},       // no match at all: the first row stays
        {"x\b1", "1", "1", 0},
        {"1\b2", "2", "2", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        box->setText(QString());
        type(box, QString::fromLatin1(c.keys));
        EXPECT_TRUE(box->listVisible());  // the first key opens the list
        EXPECT_EQ(box->text(), c.shown);
        EXPECT_EQ(box->searchText(), c.searchText);
        EXPECT_EQ(box->list()->rowText(box->list()->highlighted()), QString(c.shown).isEmpty() ? "1" : c.shown);
        QTest::keyClick(box, Qt::Key_Escape);
        EXPECT_FALSE(box->listVisible());
        EXPECT_FALSE(box->searchStarted());
    }
}

TEST_F(TicketSearchTest, LeftRightAndDeleteDoNothingAndKeysAreNeverInserted) {
    type(box, "1");
    for (Qt::Key k : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Delete}) QTest::keyClick(box, k);
    EXPECT_EQ(box->text(), "1");
    EXPECT_EQ(box->searchText(), "1");
    type(box, "1");
    EXPECT_EQ(box->text(), "11");  // the found value, not "1" followed by the key
    EXPECT_EQ(search->ATTicketTICKET->AsString(), "11");
}

TEST_F(TicketSearchTest, ArrowKeysOpenTheListThenMoveAndEmptyTheSearchText) {
    type(box, "1");
    QTest::keyClick(box, Qt::Key_Escape);
    EXPECT_FALSE(box->listVisible());
    QTest::keyClick(box, Qt::Key_Down);  // opens without moving
    EXPECT_TRUE(box->listVisible());
    EXPECT_EQ(box->text(), "1");
    EXPECT_EQ(search->ATTicketTICKET->AsString(), "1");
    QTest::keyClick(box, Qt::Key_Down);  // moves
    EXPECT_EQ(box->text(), "10");
    EXPECT_EQ(search->ATTicketTICKET->AsString(), "10");
    type(box, "1");
    EXPECT_EQ(box->searchText(), "1");
    struct Case {
        Qt::Key key;
        const char* shown;
    };
    const Case moves[] = {{Qt::Key_End, "9"},      {Qt::Key_Up, "8"},    {Qt::Key_PageUp, "11"},
                          {Qt::Key_PageDown, "8"}, {Qt::Key_Home, "1"}, {Qt::Key_Up, "1"}};
    for (const Case& m : moves) {
        QTest::keyClick(box, m.key);
        EXPECT_EQ(box->text(), m.shown);
        EXPECT_EQ(box->searchText(), "");
        EXPECT_EQ(box->list()->rowText(box->list()->highlighted()), m.shown);
    }
    // Enter closes the list and the window.
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_FALSE(search->isVisible());
    EXPECT_FALSE(box->listVisible());
}

TEST_F(TicketSearchTest, MouseTogglesTheListAndAClickOnARowChoosesIt) {
    type(box, "1");  // the list opens on ticket 1
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_FALSE(search->isVisible());
    search = openTicketSearch(till);
    EXPECT_EQ(box->text(), "1");  // reopened in ticket order
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_TRUE(box->listVisible());
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_FALSE(box->listVisible());
    QTest::mouseClick(box->button(), Qt::LeftButton);
    ASSERT_TRUE(box->listVisible());
    TDBLUPlusList* list = box->list();
    ASSERT_EQ(list->rowText(3), "12");
    QTest::mouseClick(list, Qt::LeftButton, {}, list->rowRect(3).center());
    EXPECT_FALSE(box->listVisible());
    EXPECT_EQ(box->text(), "12");
    EXPECT_EQ(search->ATTicketTICKET->AsString(), "12");
    EXPECT_TRUE(search->isVisible());
}

TEST_F(TicketSearchTest, EnterShowsTheChosenTicketAtTheTillWhichStillBooksOnItsOwn) {
    type(box, "12");
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_FALSE(search->isVisible());
    EXPECT_FALSE(search->ATTicket->Active());  // the sales file is free again
    EXPECT_EQ(till->FiltreVente, "Ticket = '12'");
    QAbstractItemModel* grid = till->DBGrid1->model();
    ASSERT_EQ(grid->rowCount(), 3);
    for (int r = 0; r < 3; ++r) EXPECT_EQ(grid->index(r, 0).data().toString(), "Vente 12");
    EXPECT_EQ(till->Numticket->text(), "41");
    EXPECT_EQ(till->TotalTicket, 0.0);

    press(till, 1);
    EXPECT_EQ(grid->rowCount(), 3);  // booked under 41, not shown
    EXPECT_EQ(salesRows().last(), "41|Biere|2.5|21");

    // Closing unchanged by the close box applies the ticket shown at activation.
    search = openTicketSearch(till);
    EXPECT_EQ(box->text(), "1");  // reopened in ticket order
    search->close();
    EXPECT_EQ(till->FiltreVente, "Ticket = '1'");
    EXPECT_EQ(grid->rowCount(), 1);
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join('\n').toStdString();
}

class EmptyTicketSearchTest : public BackofficeTest {};

TEST_F(EmptyTicketSearchTest, AnEmptySalesTableGivesAnEmptyBoxAndNothingFails) {
    prepare({{"Biere", 2.50, 21, "01"}});
    TFCaisse* till = openTill();
    TFTicket* search = openTicketSearch(till);
    TDBLookupComboPlus* box = search->DBLookupComboPlus1;
    EXPECT_EQ(box->text(), "");
    type(box, "1\b");
    QTest::keyClick(box, Qt::Key_Down);
    QTest::keyClick(box, Qt::Key_Down);
    EXPECT_EQ(box->list()->shownRows(), 0);
    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(till->FiltreVente, "Ticket = ''");
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join('\n').toStdString();
}
