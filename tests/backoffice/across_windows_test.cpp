// Where windows meet: a ticket looked up before a sale, a window left with a
// value that cannot be saved, a reset that failed half-way, a ticket stored
// with a leading blank, a booking on a till that was closed, the windows
// that open over the till, and journal previews left on screen.
#include <QAction>
#include <QMenuBar>
#include <QProcess>
#include <QTemporaryDir>
#include <QWindow>

#include "backoffice/article.h"
#include "backoffice/fond.h"
#include "backoffice/sales_reset.h"
#include "backoffice_fixture.h"
#include "common/conversions.h"
#include "reports/engine/preview_window.h"
#include "reports/imp_vente.h"
#include "reports/rimpression_caisse.h"
#include "till/arbitre.h"

namespace {

QAction* menuEntry(QMainWindow* w, const char* component) {
    return w->menuBar()->findChild<QAction*>(QLatin1String(component));
}

void typeInto(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

// How many sale rows labelled `label` the first page of a journal lists.
qsizetype listed(const PageModel& pages, const QString& label) {
    return pages.pages.empty() ? 0 : pages.pages[0].texts().count(label);
}

// The text of a PDF file, as Debian's pdftotext reads it.
QString pdfText(const QString& file) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {file, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

}  // namespace

class AcrossWindowsTest : public BackofficeTest {
protected:
    void SetUp() override {
        BackofficeTest::SetUp();
        previous_ = TQuickRep::setPreviewHook([this](TQuickRep& rep, TPreviewWindow& w) {
            if (onPreview) onPreview(rep, w);
        });
    }
    void TearDown() override {
        TQuickRep::setPreviewHook(previous_);
        BackofficeTest::TearDown();
    }
    void click(QAbstractButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    // Closes the ticket without the receipt.
    void closeTicket(TFCaisse* till) {
        if (till->ImpressionTicket) click(till->BitBtn1);
        click(till->MLBtCaisse);
    }
    // The ticket search: `number` typed, then Enter.
    void lookUp(TFCaisse* till, const QString& number) {
        TFTicket* search = openTicketSearch(till);
        type(search->DBLookupComboPlus1, number);
        QTest::keyClick(search->DBLookupComboPlus1, Qt::Key_Return);
        QApplication::setActiveWindow(till);
    }
    double lastPayment() {
        TApolloTable p("p");
        p.setTableName("Ptsres.DBF");
        p.Open();
        p.Last();
        return p.FieldByName("MONTANT")->AsFloat();
    }

    std::function<void(TQuickRep&, TPreviewWindow&)> onPreview;
    TQuickRep::PreviewHook previous_;
};

// After a lookup the grid shows another ticket, and the rows booked now are
// outside its filter: every total still grows by the price just stored.
TEST_F(AcrossWindowsTest, TotalsAfterATicketLookupFollowTheRowsJustBooked) {
    struct Case {
        const char* name;
        std::function<void(TFCaisse*)> book;
        double total;
    };
    const Case cases[] = {
        {"two presses at 3.50",
         [this](TFCaisse* c) { press(c, 2, "2"); }, 7.00},
        {"free drinks",
         [this](TFCaisse* c) {
             press(c, 2);
             press(c, 3);
             click(c->MLBtComite);
         },
         0.00},
        {"referee fee, then its cancellation",
         [this](TFCaisse* c) {
             press(c, 2);
             click(c->MultiLineButton63);
             typeInto(program().FArbitre->MaskEdit1, "25");
             QTest::keyClick(program().FArbitre->MaskEdit1, Qt::Key_Return);
             EXPECT_EQ(c->Label4->text(), moneyText(-21.50));
             click(c->MultiLineButton64);
         },
         0.00},
        {"order cancelled", [this](TFCaisse* c) {
             press(c, 2, "2");
             press(c, 3);
             click(c->MLBAnulCom);
         },
         0.00},
        // The selected row is the looked-up ticket's 2.00: booked back.
        {"drink cancelled", [this](TFCaisse* c) {
             press(c, 2);
             click(c->MLBAnulBois);
         },
         1.50},
    };
    prepare({{"Biere", 2.00, 21, "01"}, {"Vin", 3.50, 21, "02"}, {"Eau", 1.50, 6, "03"}});
    TFCaisse* till = openTill();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        press(till, 1, "2");
        closeTicket(till);
        const QString closed = QString::number(till->Numticket->text().toInt() - 1);
        lookUp(till, closed);
        ASSERT_EQ(till->FiltreVente, ticketFilter(closed));
        c.book(till);
        EXPECT_EQ(till->Label4->text(), moneyText(c.total));
        closeTicket(till);
        EXPECT_DOUBLE_EQ(lastPayment(), c.total);
    }
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join('|').toStdString();
}

// A value that cannot be saved keeps its window: the menu's switch and the
// close box are refused with one message, the focus is back on the field,
// and no lock is left to block the till's closings.
TEST_F(AcrossWindowsTest, AWindowWhoseRowCannotBeSavedIsNotLeft) {
    prepare({{"Biere", 2.00, 21, "01"}});
    start();
    program().showWindow(program().FMenu);
    program().switchTo(program().FMenu, program().FFond);
    TFFond* fond = program().FFond;
    QApplication::setActiveWindow(fond);
    typeInto(fond->DBEdit1, "abc");
    menuEntry(fond, "Caisse2")->trigger();
    fond->close();
    EXPECT_EQ(dialogs_.errors,
              QStringList(2, "'abc' n'est pas une valeur flottante correcte pour le champ 'FONDCAISSE'"));
    EXPECT_TRUE(fond->isVisible());
    EXPECT_FALSE(program().FCaisse->isVisible());
    EXPECT_FALSE(program().FMenu->isVisible());
    EXPECT_EQ(fond->focusWidget(), fond->DBEdit1);
    EXPECT_EQ(fond->DBEdit1->text(), "abc");
    // Corrected, the switch goes through; every closing advances the number.
    typeInto(fond->DBEdit1, "150");
    menuEntry(fond, "Caisse2")->trigger();
    TFCaisse* till = program().FCaisse;
    ASSERT_TRUE(till->isVisible());
    EXPECT_FALSE(fond->ATConfig->Editing());
    closeTicket(till);
    closeTicket(till);
    EXPECT_EQ(till->Numticket->text(), "43");
    EXPECT_EQ(dialogs_.errors.size(), 2);

    // The article window: a price being typed is saved on leaving, so the
    // till sells at it; a price that does not read keeps the window.
    menuEntry(till, "Articles1")->trigger();
    TFArticle* articles = program().FArticle;
    QApplication::setActiveWindow(articles);
    typeInto(articles->DBEdit2, "x");
    menuEntry(articles, "Caisse2")->trigger();
    EXPECT_TRUE(articles->isVisible());
    EXPECT_EQ(articles->focusWidget(), articles->DBEdit2);
    EXPECT_EQ(dialogs_.errors.size(), 3);
    typeInto(articles->DBEdit2, "3");
    menuEntry(articles, "Caisse2")->trigger();
    ASSERT_TRUE(till->isVisible());
    EXPECT_FALSE(articles->ATConsomation->Editing());
    EXPECT_EQ(till->PrixArticle[1], 3.0);
}

// Emptying failed after the copy: the archive stays, and a later reset
// that finds it identical to the sales takes it as its copy.
TEST_F(AcrossWindowsTest, AResetThatFailedAfterItsCopyCanBeTriedAgain) {
    prepare({{"Biere", 2.00, 21, "01"}});
    TFCaisse* till = openTill();
    press(till, 1, "3");
    closeTicket(till);
    const QString archive = archiveFileName(dateText(QDate::currentDate()));
    // The till's handle cannot write: the exclusive open works, the zap not.
    till->ATVente->Close();
    till->ATVente->setReadOnly(true);
    program().switchTo(till, program().FFond);
    TFFond* fond = program().FFond;
    click(fond->SpeedButton2);
    ASSERT_EQ(dialogs_.errors.size(), 1);
    EXPECT_TRUE(dialogs_.errors[0].contains(ResetText::kNotEmptied + archive));
    EXPECT_TRUE(exists(archive));
    EXPECT_EQ(salesRows().size(), 3);
    till->ATVente->Close();
    till->ATVente->setReadOnly(false);
    click(fond->SpeedButton2);
    EXPECT_EQ(dialogs_.messages.last(), ResetText::kCopied + archive);
    EXPECT_TRUE(salesRows().isEmpty());
    EXPECT_EQ(dialogs_.errors.size(), 1);
    // An archive that holds other bytes is another period's: left alone.
    program().switchTo(fond, till);
    press(till, 1);
    program().switchTo(till, fond);
    click(fond->SpeedButton2);
    EXPECT_EQ(dialogs_.messages.last(), ResetText::kExists);
    EXPECT_EQ(salesRows().size(), 1);
}

// A ticket stored with a leading blank is found under its stored text.
TEST_F(AcrossWindowsTest, TheTicketSearchKeepsALeadingBlank) {
    prepare({{"Biere", 2.00, 21, "01"}});
    addSales({" 7", "8"});
    TFCaisse* till = openTill();
    TFTicket* search = openTicketSearch(till);
    EXPECT_EQ(search->DBLookupComboPlus1->text(), " 7");
    QTest::keyClick(search->DBLookupComboPlus1, Qt::Key_Return);
    EXPECT_EQ(till->FiltreVente, "Ticket = ' 7'");
    QStringList shown;
    for (till->ATVente->First(); !till->ATVente->Eof(); till->ATVente->Next())
        shown << till->ATVente->FieldByName("LIBELLE")->AsString();
    EXPECT_EQ(shown, QStringList{"Vente  7"});
}

// The till left with "Quitter" has its tables closed: a booking says so.
TEST_F(AcrossWindowsTest, ABookingOnTheClosedSalesTableSaysTheTableIsClosed) {
    prepare({{"Biere", 2.00, 21, "01"}});
    TFCaisse* till = openTill();
    click(till->MultiLineButton63);
    menuEntry(till, "Quiter1")->trigger();
    typeInto(program().FArbitre->MaskEdit1, "25");
    QTest::keyClick(program().FArbitre->MaskEdit1, Qt::Key_Return);
    EXPECT_EQ(dialogs_.errors, QStringList{"ATVente: " + ApolloText::kClosed});
    EXPECT_TRUE(salesRows().isEmpty());
}

// The member window, the ticket search, the referee box and the about box
// stay above the window that opened them, without being modal.
TEST_F(AcrossWindowsTest, WindowsOpenedOverTheTillStayAboveIt) {
    prepare({{"Biere", 2.00, 21, "01"}});
    TFCaisse* till = openTill();
    const std::pair<QAbstractButton*, QWidget*> opened[] = {
        {till->BitBtn2, program().FPtsRES},
        {till->MLBtnTicket, program().FTicket},
        {till->MultiLineButton63, program().FArbitre},
    };
    for (const auto& [button, window] : opened) {
        click(button);
        ASSERT_TRUE(window->isVisible()) << window->objectName().toStdString();
        EXPECT_EQ(window->windowHandle()->transientParent(), till->windowHandle());
        EXPECT_FALSE(window->isModal());
        window->hide();
    }
    QWidget* about = program().window(TProgram::Window::About);
    menuEntry(till, "Apropos1")->trigger();
    EXPECT_EQ(about->windowHandle()->transientParent(), till->windowHandle());
    about->hide();
    menuEntry(till, "Articles1")->trigger();
    menuEntry(program().FArticle, "Apropos1")->trigger();
    EXPECT_EQ(about->windowHandle()->transientParent(), program().FArticle->windowHandle());
}

// A journal left on screen prints the pages it shows, whatever happened
// since; the till's listing lists the current sales even while a reprint of
// an archive is on screen.
TEST_F(AcrossWindowsTest, AJournalLeftOnScreenPrintsWhatItShows) {
    prepare({{"Biere", 2.00, 21, "01"}});
    TFCaisse* till = openTill();
    press(till, 1, "2");
    closeTicket(till);
    const QString archive = archiveFileName(dateText(QDate::currentDate()));
    QTemporaryDir out;
    std::vector<qsizetype> shown;  // rows of each journal on screen
    onPreview = [&](TQuickRep& rep, TPreviewWindow& w) {
        shown.push_back(listed(w.model(), "Biere"));
        if (shown.size() > 1) return;
        // The sales reset while the journal is on screen, then its print.
        program().switchTo(till, program().FFond);
        click(program().FFond->SpeedButton2);
        rep.PrinterSettings().outputFileName = out.filePath("journal.pdf");
        w.printReport();
        EXPECT_EQ(w.lastPrint().pagesPrinted, 1);
        EXPECT_EQ(listed(rep.Prepare(), "Biere"), 0);  // the table is empty now
    };
    click(till->MLBtnZ);
    EXPECT_EQ(dialogs_.messages.last(), ResetText::kCopied + archive);
    EXPECT_EQ(shown, std::vector<qsizetype>{2});
    const QString printed = pdfText(out.filePath("journal.pdf"));
    EXPECT_EQ(printed.count("Biere"), 2) << printed.toStdString();

    // A reprint of the archive on screen; meanwhile the till lists today's.
    program().switchTo(program().FFond, till);
    press(till, 1);
    program().switchTo(till, program().FRImpCaisse);
    TFRImpCaisse* reprint = program().FRImpCaisse;
    reprint->Edit1->setText(path(archive));
    click(reprint->MLBValide);
    shown.clear();
    onPreview = [&](TQuickRep&, TPreviewWindow& w) {
        shown.push_back(listed(w.model(), "Biere"));
        if (shown.size() > 1) return;
        program().switchTo(reprint, till);
        click(till->MLBtnZ);
    };
    click(reprint->MLBImpression);
    EXPECT_EQ(shown, std::vector<qsizetype>({2, 1}));
    EXPECT_FALSE(program().FImpVente->ATVente->Active());
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join('|').toStdString();
}
