// The preview window and what its toolbar does: page turning, printing
// (a second generation, here into a PDF file), the printer dialog's
// choices, cancelling a print run, and saving the pages as PDF.
#include <QScrollArea>
#include <QtMath>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>

#include "store/app_error.h"
#include "reports/engine/preview_window.h"
#include "reports/engine/report_printer.h"
#include "tests/support/report_fixture.h"

namespace {

const QStringList kToolTips = {
    QStringLiteral("Zoom ajusté"),      QStringLiteral("Zoom 100%"),
    QStringLiteral("Zoom sur largeur"), QStringLiteral("Première page"),
    QStringLiteral("Page précédente"),  QStringLiteral("Page suivante"),
    QStringLiteral("Dernière page"),    QStringLiteral("Configuration imprimante"),
    QStringLiteral("Imprimer"),         QStringLiteral("Enregistrer l'état"),
    QStringLiteral("Charger un état")};

void trigger(TPreviewWindow& w, const QString& toolTip) {
    QAction* a = w.action(toolTip);
    ASSERT_NE(a, nullptr) << toolTip.toStdString();
    a->trigger();
}

// Clicks a visible window's button from the event loop, as a person would.
void clickLater(QObject* context, const QString& windowTitle, const QString& button) {
    QTimer::singleShot(0, context, [=] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->isVisible() || w->windowTitle() != windowTitle) continue;
            for (QPushButton* b : w->findChildren<QPushButton*>())
                if (b->text() == button) b->click();
        }
    });
}

bool havePdfInfo() { return !QStringLiteral(SDE_PDFINFO).isEmpty(); }

}  // namespace

using PreviewTest = ReportTest;

TEST_F(PreviewTest, TheHookGetsTheShownWindowAndAfterPreviewFollowsItsClosing) {
    addNumberedSales(11);
    ReceiptReport r(&sales_);
    int afterPreview = 0;
    r.rep.AfterPreview = [&](TQuickRep&) { ++afterPreview; };
    QPointer<TPreviewWindow> window;
    PreviewHookScope scope([&](TQuickRep& rep, TPreviewWindow& w) {
        window = &w;
        EXPECT_EQ(&rep, &r.rep);
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(w.windowTitle(), QStringLiteral("Prévisualisation d'impression"));
        EXPECT_EQ(w.size(), QSize(652, 579));
        for (const QString& tip : kToolTips) EXPECT_NE(w.action(tip), nullptr) << tip.toStdString();
        EXPECT_EQ(w.closeButton()->text(), QStringLiteral("&Fermer"));
        EXPECT_EQ(w.model().pageCount(), 2);
        EXPECT_EQ(afterPreview, 0);

        EXPECT_EQ(w.pageStatus(), QStringLiteral("Page 1 sur 2"));
        EXPECT_FALSE(w.action(QStringLiteral("Page précédente"))->isEnabled());
        trigger(w, QStringLiteral("Page suivante"));
        EXPECT_EQ(w.pageStatus(), QStringLiteral("Page 2 sur 2"));
        EXPECT_FALSE(w.action(QStringLiteral("Dernière page"))->isEnabled());
        trigger(w, QStringLiteral("Première page"));
        EXPECT_EQ(w.pageStatus(), QStringLiteral("Page 1 sur 2"));
        trigger(w, QStringLiteral("Dernière page"));
        EXPECT_EQ(w.currentPage(), 2);

        // The opening zoom fits the whole page in the room the window
        // gives it once laid out, not in the scroll area's first size.
        QCoreApplication::processEvents();
        const QSize room = w.findChild<QScrollArea*>()->viewport()->size();
        EXPECT_NEAR(std::min((room.width() - 24) / 105.0, (room.height() - 24) / 148.5), w.pixelsPerMm(), 0.01);
        EXPECT_GT(room.height(), 400);
        EXPECT_EQ(w.findChild<QScrollArea*>()->widget()->height(), qCeil(148.5 * w.pixelsPerMm()) + 24);
        // The layout may give the page its room after the window got its
        // size (as on X11): the fitted zoom follows the room itself.
        auto* area = w.findChild<QScrollArea*>();
        area->resize(area->width() / 2, area->height() / 2);
        const QSize half = area->viewport()->size();
        EXPECT_NEAR(std::min((half.width() - 24) / 105.0, (half.height() - 24) / 148.5), w.pixelsPerMm(), 0.01);
        EXPECT_EQ(area->widget()->height(), qCeil(148.5 * w.pixelsPerMm()) + 24) << "the page drawn at that zoom";
        area->resize(room + (area->size() - half));
        trigger(w, QStringLiteral("Zoom ajusté"));
        const double fit = w.pixelsPerMm();
        trigger(w, QStringLiteral("Zoom sur largeur"));
        EXPECT_GT(w.pixelsPerMm(), fit) << "a receipt is narrow: its width zoom is larger";
        trigger(w, QStringLiteral("Zoom 100%"));
        EXPECT_EQ(w.zoomStatus(), QStringLiteral("100 %"));
        EXPECT_FALSE(w.grab().isNull());  // paints the page on screen
    });

    r.rep.Preview();

    EXPECT_EQ(afterPreview, 1);
    EXPECT_TRUE(window.isNull()) << "the window is gone once Preview returns";
}

TEST_F(PreviewTest, WithoutAHookPreviewWaitsUntilThePersonClosesTheWindow) {
    addNumberedSales(2);
    ReceiptReport r(&sales_);
    int afterPreview = 0;
    r.rep.AfterPreview = [&](TQuickRep&) { ++afterPreview; };
    QObject scope;
    bool closedFromTheLoop = false;
    QTimer::singleShot(0, &scope, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<TPreviewWindow*>(w); p && p->isVisible()) {
                EXPECT_EQ(afterPreview, 0);
                closedFromTheLoop = true;
                p->closeButton()->click();
            }
    });

    // Should the click above miss, the test fails rather than hang.
    QTimer::singleShot(10000, &scope, [] {
        ADD_FAILURE() << "the preview was still open";
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<TPreviewWindow*>(w)) w->close();
    });

    r.rep.Preview();

    EXPECT_TRUE(closedFromTheLoop);
    EXPECT_EQ(afterPreview, 1);
}

// Printing from the preview prints the pages it shows: no hook runs again,
// whatever the table holds by then.
TEST_F(PreviewTest, PrintingFromThePreviewPrintsThePagesItShows) {
    if (!havePdfInfo()) GTEST_SKIP() << "pdfinfo is missing";
    addNumberedSales(11);
    ReceiptReport r(&sales_);
    int reportHooks = 0, headerHooks = 0, footerHooks = 0, textHooks = 0, afterPrint = 0;
    r.rep.BeforePrint = [&](TQuickRep&, bool&) { ++reportHooks; };
    r.rep.AfterPrint = [&](TQuickRep&) { ++afterPrint; };
    r.header->BeforePrint = [&](TQRBand&, bool&) { ++headerHooks; };
    r.footer->AfterPrint = [&](TQRBand&, bool) { ++footerHooks; };
    r.detail->element(QStringLiteral("QRDBText1"))->OnPrint = [&](TQRPrintable&, QString&) {
        ++textHooks;
    };
    const QString pdf = path(QStringLiteral("printed.pdf"));
    r.rep.PrinterSettings().outputFileName = pdf;
    PreviewHookScope scope([&](TQuickRep&, TPreviewWindow& w) {
        EXPECT_EQ(textHooks, 11);
        trigger(w, QStringLiteral("Imprimer"));
        EXPECT_TRUE(w.lastPrint().started);
        EXPECT_FALSE(w.lastPrint().cancelled);
        EXPECT_EQ(w.lastPrint().pagesPrinted, 2);
    });

    r.rep.Preview();

    EXPECT_EQ(reportHooks, 1);
    EXPECT_EQ(headerHooks, 2);
    EXPECT_EQ(footerHooks, 2);
    EXPECT_EQ(textHooks, 11);
    EXPECT_EQ(afterPrint, 1);
    EXPECT_EQ(pdfPageCount(pdf), 2);
}

TEST_F(PreviewTest, PrinterDialogChoicesStayWithTheReportForLaterPrints) {
    if (!havePdfInfo()) GTEST_SKIP() << "pdfinfo is missing";
    addNumberedSales(25);  // three pages
    ReceiptReport r(&sales_);
    const QString pdf = path(QStringLiteral("range.pdf"));
    r.rep.PrinterSettings().outputFileName = pdf;
    bool confirm = false;
    int pagesOffered = 0;
    PrinterDialogRunner previous =
        setPrinterDialogRunner([&](QPrinter& printer, int pageCount, QWidget*) {
            pagesOffered = pageCount;
            EXPECT_EQ(printer.copyCount(), confirm ? 1 : 2) << "starts from the report's copies";
            printer.setCopyCount(confirm ? 2 : 5);
            printer.setPrintRange(QPrinter::PageRange);
            printer.setFromTo(2, 3);
            return confirm;
        });
    r.rep.PrinterSettings().copies = 2;
    PreviewHookScope scope([&](TQuickRep& rep, TPreviewWindow& w) {
        trigger(w, QStringLiteral("Configuration imprimante"));  // cancelled
        EXPECT_EQ(rep.PrinterSettings().copies, 2);
        EXPECT_EQ(rep.PrinterSettings().fromPage, 0);
        rep.PrinterSettings().copies = 1;
        confirm = true;
        trigger(w, QStringLiteral("Configuration imprimante"));
        trigger(w, QStringLiteral("Imprimer"));
    });

    r.rep.Preview();
    setPrinterDialogRunner(previous);

    EXPECT_EQ(pagesOffered, 3);
    EXPECT_EQ(r.rep.PrinterSettings().copies, 2);
    EXPECT_EQ(r.rep.PrinterSettings().fromPage, 2);
    EXPECT_EQ(r.rep.PrinterSettings().toPage, 3);
    EXPECT_EQ(r.rep.PrinterSettings().outputFileName, pdf);
    // Pages 2 and 3, twice: a PDF file cannot make copies, so each is painted.
    EXPECT_EQ(pdfPageCount(pdf), 4);
}

TEST_F(PreviewTest, AnnulerStopsThePrintRunAndAfterPrintStillFollows) {
    addNumberedSales(35);  // four pages
    ReceiptReport r(&sales_);
    int afterPrint = 0;
    r.rep.AfterPrint = [&](TQuickRep&) { ++afterPrint; };
    r.rep.PrinterSettings().outputFileName = path(QStringLiteral("cancelled.pdf"));
    QObject scope;
    clickLater(&scope, QStringLiteral("Impression en cours"), QStringLiteral("Annuler"));

    const TQRPrintResult result = r.rep.Print();

    EXPECT_TRUE(result.started);
    EXPECT_TRUE(result.cancelled);
    EXPECT_LT(result.pagesPrinted, 4);
    EXPECT_EQ(afterPrint, 1);
}

TEST_F(PreviewTest, SavedStateOfATwoPageReportIsATwoPagePdf) {
    if (!havePdfInfo()) GTEST_SKIP() << "pdfinfo is missing";
    addNumberedSales(11);
    ReceiptReport r(&sales_);
    RecordingDialogsScope dialogs;
    PreviewHookScope scope([&](TQuickRep&, TPreviewWindow& w) {
        EXPECT_FALSE(w.action(QStringLiteral("Charger un état"))->isEnabled());
        dialogs.saveAnswer = path(QStringLiteral("etat"));  // ".pdf" is added
        trigger(w, QStringLiteral("Enregistrer l'état"));
        dialogs.saveAnswer.clear();  // the person cancels
        trigger(w, QStringLiteral("Enregistrer l'état"));
        dialogs.saveAnswer = path(QStringLiteral("missing/etat.pdf"));
        trigger(w, QStringLiteral("Enregistrer l'état"));
    });

    r.rep.Preview();

    QString pageSize;
    EXPECT_EQ(pdfPageCount(path(QStringLiteral("etat.pdf")), &pageSize), 2);
    EXPECT_TRUE(pageSize.startsWith(QLatin1String("298 x 421"))) << pageSize.toStdString();  // 105 x 148.5 mm
    EXPECT_EQ(dialogs.saveTitles.value(0),
              QStringLiteral("Enregistrer l'état | Fichiers PDF (*.pdf)"));
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_TRUE(dialogs.errors[0].contains(QLatin1String("missing/etat.pdf")));
}

// The table gone since the pages were made does not stop the print; a
// printer that refuses the job is said, and the preview stays usable.
TEST_F(PreviewTest, APrintRefusedByThePrinterIsShownAndThePreviewStaysUsable) {
    addNumberedSales(2);
    ReceiptReport r(&sales_);
    r.rep.PrinterSettings().outputFileName = path(QStringLiteral("missing/never.pdf"));
    RecordingDialogsScope dialogs;
    PreviewHookScope scope([&](TQuickRep& rep, TPreviewWindow& w) {
        rep.BeforePrint = [](TQuickRep&, bool&) {
            throw AppError(QStringLiteral("Unable to open table."));
        };
        trigger(w, QStringLiteral("Imprimer"));
        EXPECT_FALSE(w.lastPrint().started);
        EXPECT_EQ(w.pageStatus(), QStringLiteral("Page 1 sur 1"));
        rep.PrinterSettings().outputFileName = path(QStringLiteral("printed.pdf"));
        trigger(w, QStringLiteral("Imprimer"));
        EXPECT_EQ(w.lastPrint().pagesPrinted, 1);
    });

    r.rep.Preview();

    EXPECT_EQ(dialogs.errors, QStringList(QStringLiteral("L'imprimante n'a pas accepté l'impression")));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("missing/never.pdf"))));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("printed.pdf"))));
}

// The preview knows pages, not reports: its printer buttons call back
// whoever made the pages, with the pages shown and the preview as the
// parent; a button without a callback is disabled and does nothing.
TEST_F(PreviewTest, PrinterButtonsCallBackWhoeverMadeThePages) {
    addNumberedSales(11);
    ReceiptReport r(&sales_);
    const PageModel pages = r.rep.Prepare();
    struct Case {
        bool print, setup;
        QString printError;
    };
    const Case cases[] = {{true, true, {}}, {true, false, QStringLiteral("Bac vide")},
                          {false, true, {}}, {false, false, {}}};
    for (const Case& c : cases) {
        RecordingDialogsScope dialogs;
        int printed = 0, offered = 0;
        QWidget* printParent = nullptr;
        QWidget* setupParent = nullptr;
        PreviewCallbacks callbacks;
        if (c.print)
            callbacks.print = [&](const PageModel& shown, QWidget* parent) {
                ++printed;
                printParent = parent;
                EXPECT_EQ(shown.pageCount(), 2);
                return TQRPrintResult{.started = true, .pagesPrinted = 7, .error = c.printError};
            };
        if (c.setup)
            callbacks.setupPrinter = [&](int pageCount, QWidget* parent) {
                offered = pageCount;
                setupParent = parent;
            };
        TPreviewWindow w(pages, callbacks);

        EXPECT_EQ(w.action(QStringLiteral("Imprimer"))->isEnabled(), c.print);
        EXPECT_EQ(w.action(QStringLiteral("Configuration imprimante"))->isEnabled(), c.setup);
        w.printReport();
        w.setupPrinter();
        EXPECT_EQ(printed, c.print ? 1 : 0);
        EXPECT_EQ(printParent, c.print ? &w : nullptr);
        EXPECT_EQ(w.lastPrint().pagesPrinted, c.print ? 7 : 0);
        EXPECT_EQ(dialogs.errors, c.printError.isEmpty() ? QStringList() : QStringList(c.printError));
        EXPECT_EQ(offered, c.setup ? 2 : 0);
        EXPECT_EQ(setupParent, c.setup ? &w : nullptr);
    }
}
