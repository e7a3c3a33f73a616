// The receipt of a ticket, as the closing shows it: its pages, lines, total
// and card payment labels, read from the page model of the preview.
#include <QProcess>

#include "reports/engine/preview_window.h"
#include "reports/engine/quick_rep.h"
#include "reports/imp_ticket.h"
#include "tests/support/till_fixture.h"

class ReceiptTest : public TillTest {
protected:
    void SetUp() override {
        TillTest::SetUp();
        previous_ = TQuickRep::setPreviewHook([this](TQuickRep& rep, TPreviewWindow& w) {
            previews.push_back(w.model());
            if (onPreview) onPreview(rep, w);
        });
        prepare({{"Biere", 2.50, 21, "01"}, {"Remboursement", -1.20, 21, "02"}});
    }
    void TearDown() override {
        TQuickRep::setPreviewHook(previous_);
        TillTest::TearDown();
    }
    // Closes the ticket with the receipt switch on; the preview's model is kept.
    const PageModel& closeWithReceipt(TFCaisse* till) {
        QTest::mouseClick(till->MLBtCaisse, Qt::LeftButton);
        EXPECT_EQ(previews.size(), 1u);
        return previews.back();
    }

    std::vector<PageModel> previews;
    std::function<void(TQuickRep&, TPreviewWindow&)> onPreview;
    TQuickRep::PreviewHook previous_;
};

TEST_F(ReceiptTest, TenLinesFitOnePageAndTheEleventhStartsPageTwo) {
    TFCaisse* till = openTill();
    press(till, 1, "10");
    PageModel one = closeWithReceipt(till);
    ASSERT_EQ(one.pageCount(), 1);
    EXPECT_EQ(one.pages[0].count("QRDBText1"), 10);

    press(till, 1, "11");
    previews.clear();
    PageModel two = closeWithReceipt(till);
    ASSERT_EQ(two.pageCount(), 2);
    EXPECT_EQ(two.pages[0].count("QRDBText1"), 10);
    EXPECT_EQ(two.pages[1].count("QRDBText1"), 1);
    for (const ReportPage& page : two.pages) {
        EXPECT_EQ(page.textsOf("QRLabel1"), QStringList({QStringLiteral("Ticket n°")}));
        EXPECT_EQ(page.textsOf("QRDBText3"), QStringList({"42"}));
        EXPECT_EQ(page.textsOf("QRLabel7"), QStringList({QStringLiteral("27,50 €")}));
        // The footer sits on the bottom margin: 148.5 - 5 - 18.8.
        ASSERT_NE(page.band("QRBand3"), nullptr);
        EXPECT_NEAR(page.band("QRBand3")->top, 124.7, 0.01);
    }
}

TEST_F(ReceiptTest, CashAndCardTicketsPrintTheirLabels) {
    TFCaisse* till = openTill();
    press(till, 1);
    const ReportPage cash = closeWithReceipt(till).pages.at(0);
    EXPECT_EQ(cash.count("QRLRes"), 0);
    EXPECT_EQ(cash.count("QRLabel2"), 0);
    EXPECT_EQ(cash.count("QRLabel4"), 0);  // an empty card number prints nothing
    EXPECT_EQ(cash.count("QRLabel3"), 0);

    press(till, 1);
    till->NomRES = "Dupont";
    till->NumCarteRES = "RES-0042";
    till->PaiementRES = true;
    previews.clear();
    const ReportPage card = closeWithReceipt(till).pages.at(0);
    EXPECT_EQ(card.textsOf("QRLRes"), QStringList({"Paiement en RES"}));
    EXPECT_EQ(card.textsOf("QRLabel3"), QStringList({"Dupont"}));
    EXPECT_EQ(card.textsOf("QRLabel2"), QStringList({"Signature"}));
    EXPECT_EQ(card.textsOf("QRLabel4"), QStringList({"RES-0042"}));
}

TEST_F(ReceiptTest, EmptyTicketGivesOneLineOfEmptyFrames) {
    TFCaisse* till = openTill();
    const ReportPage page = closeWithReceipt(till).pages.at(0);
    EXPECT_EQ(page.count("QRShape1"), 1);
    EXPECT_EQ(page.count("QRShape2"), 1);
    EXPECT_EQ(page.count("QRDBText1"), 0);
    EXPECT_EQ(page.count("QRDBText3"), 0);  // no ticket number, no date
    EXPECT_EQ(page.textsOf("QRLabel7"), QStringList({QStringLiteral("0,00 €")}));
}

TEST_F(ReceiptTest, NegativeRowPrintsItsPriceAndElementsSitWhereTheLayoutSays) {
    TFCaisse* till = openTill();
    press(till, 1);
    press(till, 2);
    const PageModel model = closeWithReceipt(till);
    const ReportPage& page = model.pages.at(0);
    EXPECT_EQ(page.textsOf("QRDBText2"), QStringList({"2,5", "-1,2"}));
    EXPECT_EQ(page.textsOf("QRLabel7"), QStringList({QStringLiteral("1,30 €")}));
    EXPECT_EQ(model.paper, QSizeF(105, 148.5));
    // Positions on the paper: margins 10 top and 5 left, then the band.
    auto boxOf = [&](const QString& element) {
        for (const PagePrimitive& p : page.items)
            if (p.element == element) return p.box;
        return QRectF();
    };
    EXPECT_NEAR(boxOf("QRImage1").left(), 5 - 6.3, 0.01);
    EXPECT_NEAR(boxOf("QRImage1").width(), 32.0, 0.01);
    EXPECT_NEAR(boxOf("QRImage1").height(), 23.8, 0.01);
    EXPECT_NEAR(boxOf("QRLabel1").left(), 5 + 19.1, 0.01);
    EXPECT_NEAR(boxOf("QRLabel1").top(), 10 + 8.5, 0.01);
    EXPECT_NEAR(boxOf("QRShape1").top(), 10 + 26.2, 0.01);
    EXPECT_NEAR(boxOf("QRShape2").left(), 5 + 61.4, 0.01);
    EXPECT_NEAR(boxOf("QRDBText2").left(), 5 + 63.5, 0.01);
    EXPECT_NEAR(boxOf("QRDBText5").left(), 5 + 78.3, 0.01);
    EXPECT_NEAR(boxOf("QRLabel6").top(), 124.7 + 2.1, 0.01);
}

TEST_F(ReceiptTest, SavedPdfOfATwoPageReceiptHasTwoPages) {
    const QString pdf = path("recu.pdf");
    dialogs_.files.push_back(pdf);
    onPreview = [](TQuickRep&, TPreviewWindow& w) { w.action(QStringLiteral("Enregistrer l'état"))->trigger(); };
    TFCaisse* till = openTill();
    press(till, 1, "11");
    QTest::mouseClick(till->MLBtCaisse, Qt::LeftButton);
    QProcess info;
    info.start("pdfinfo", {pdf});
    if (!info.waitForStarted()) GTEST_SKIP() << "pdfinfo is not installed";
    ASSERT_TRUE(info.waitForFinished(30000));
    EXPECT_TRUE(QString::fromUtf8(info.readAllStandardOutput()).contains(QRegularExpression("Pages:\\s+2\\n")));
}

TEST_F(ReceiptTest, PrintJobIsNamedAfterTheTicket) {
    QString title;
    onPreview = [&](TQuickRep& rep, TPreviewWindow&) { title = rep.PrinterSettings().title; };
    TFCaisse* till = openTill();
    press(till, 1, "2");
    const PageModel& model = closeWithReceipt(till);
    ASSERT_EQ(model.pageCount(), 1);
    const QString ticket = model.pages[0].textsOf("QRDBText3").value(0);
    ASSERT_FALSE(ticket.isEmpty());
    EXPECT_EQ(title, QStringLiteral("Ticket de caisse n° %1").arg(ticket));
}
