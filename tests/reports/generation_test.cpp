// Generation of reports into the page model: pages, band placement, the
// empty table, and what handlers that move the table or disable elements do
// to the printed texts.
#include "tests/support/report_fixture.h"

namespace {

const QString kPageFooter = QStringLiteral("QRBand3");

// The bottom edge of a band on a page; -1 when the band is not there.
double bottomOf(const ReportPage& page, const QString& band) {
    const PlacedBand* b = page.band(band);
    return b ? b->top + b->height : -1;
}

QStringList texts(std::initializer_list<const char*> list) {
    QStringList out;
    for (const char* s : list) out << QString::fromUtf8(s);
    return out;
}

}  // namespace

using GenerationTest = ReportTest;

TEST_F(GenerationTest, EmptyTableGivesOnePageWithEmptyFramesSummaryAndFooterButNoColumnHeader) {
    sales_.Open();
    ReceiptReport r(&sales_);
    r.rep.addBand(QStringLiteral("QRBand4"), rbColumnHeader, 6)
        ->addLabel(QStringLiteral("QRLabel9"), 2.1, 1, QStringLiteral("Article"));
    r.rep.addBand(QStringLiteral("QRBand5"), rbSummary, 10)
        ->addLabel(QStringLiteral("QRLabel8"), 2.1, 1, QStringLiteral("Fin du ticket"));
    int dataHooks = 0;
    for (const char* name : {"QRDBText1", "QRDBText2"})
        r.detail->element(QString::fromLatin1(name))->OnPrint = [&](TQRPrintable&, QString&) {
            ++dataHooks;
        };

    const PageModel m = r.rep.Prepare();

    ASSERT_EQ(m.pageCount(), 1);
    const ReportPage& p = m.pages[0];
    EXPECT_EQ(p.bandNames(), texts({"QRBand1", "QRBand2", "QRBand5", "QRBand3"}));
    EXPECT_EQ(p.count(QStringLiteral("QRShape1")), 1);
    EXPECT_EQ(p.count(QStringLiteral("QRShape2")), 1);
    EXPECT_EQ(p.count(QStringLiteral("QRDBText1")) + p.count(QStringLiteral("QRDBText2")), 0);
    EXPECT_EQ(dataHooks, 0);
    EXPECT_TRUE(p.textsOf(QStringLiteral("QRDBText3")).isEmpty()) << "no ticket number";
    EXPECT_EQ(p.textsOf(QStringLiteral("QRLabel8")), texts({"Fin du ticket"}));
    EXPECT_DOUBLE_EQ(p.band(QStringLiteral("QRBand5"))->top, p.band(QStringLiteral("QRBand2"))->top + 8.7);
    EXPECT_NEAR(bottomOf(p, kPageFooter), 148.5 - 5, 1e-9);
}

TEST_F(GenerationTest, EmptyTableUnderATitlePrintsTheTitleAndOneLineOfFrames) {
    sales_.Open();
    TQuickRep rep(QStringLiteral("QRImpArticle"));
    rep.setDataSet(&sales_);
    rep.addBand(QStringLiteral("QRBand1"), rbTitle, 10.6)
        ->addLabel(QStringLiteral("QRLabel1"), 45.8, 2.1, QStringLiteral("Liste des articles de la caisse"));
    rep.addBand(QStringLiteral("QRBand2"), rbColumnHeader, 10.6)
        ->addLabel(QStringLiteral("QRLabel2"), 4.2, 2.1, QStringLiteral("Libelle"));
    auto* detail = rep.addBand(QStringLiteral("QRBArticles"), rbDetail, 7.1);
    detail->addShape(QStringLiteral("QRShape1"), 2.1, 0, 51.1, 6.6);
    detail->addDBText(QStringLiteral("QRDBText1"), 4.2, 0.5, &sales_, QStringLiteral("LIBELLE"));

    const PageModel m = rep.Prepare();

    ASSERT_EQ(m.pageCount(), 1);
    EXPECT_EQ(m.pages[0].bandNames(), texts({"QRBand1", "QRBArticles"}));
    EXPECT_EQ(m.pages[0].count(QStringLiteral("QRShape1")), 1);
}

TEST_F(GenerationTest, TenItemLinesFillAReceiptPageAndTheEleventhStartsTheNextWithItsHeader) {
    addNumberedSales(10);
    ReceiptReport r(&sales_);
    static_cast<TQRSysData*>(r.footer->element(QStringLiteral("QRSysData1")))
        ->setText(QStringLiteral("Page "));
    ASSERT_EQ(r.rep.Prepare().pageCount(), 1);

    addSales({{QStringLiteral("11"), QStringLiteral("Article 11"), 1.5}});
    QStringList rowWhileFooterPrints;
    r.footer->BeforePrint = [&](TQRBand&, bool&) {
        rowWhileFooterPrints << sales_.FieldByName("LIBELLE")->AsString();
    };
    const PageModel m = r.rep.Prepare();

    ASSERT_EQ(m.pageCount(), 2);
    EXPECT_EQ(m.pages[0].count(QStringLiteral("QRDBText1")), 10);
    EXPECT_EQ(m.pages[1].textsOf(QStringLiteral("QRDBText1")), texts({"Article 11"}));
    // Each header shows the row current when it prints: the page's first.
    EXPECT_EQ(m.pages[0].textsOf(QStringLiteral("QRDBText3")), texts({"1"}));
    EXPECT_EQ(m.pages[1].textsOf(QStringLiteral("QRDBText3")), texts({"11"}));
    EXPECT_EQ(m.pages[1].bandNames().first(), QStringLiteral("QRBand1"));
    for (const ReportPage& p : m.pages) {
        EXPECT_NEAR(bottomOf(p, kPageFooter), 143.5, 1e-9) << "page " << p.number;
        EXPECT_EQ(p.textsOf(QStringLiteral("QRSysData1")),
                  QStringList(QStringLiteral("Page %1").arg(p.number)));
    }
    // The line that did not fit is the current row while page 1 ends.
    EXPECT_EQ(rowWhileFooterPrints, texts({"Article 11", "Article 11"}));
}

TEST_F(GenerationTest, TitleOnlyOnPageOneAndColumnHeaderAtTheTopOfEveryPage) {
    addNumberedSales(50);
    TQuickRep rep(QStringLiteral("QRImpPtsRES"));
    rep.setDataSet(&sales_);
    rep.Page().orientation = poLandscape;  // printable 277 x 190 mm
    rep.addBand(QStringLiteral("QRBand1"), rbTitle, 10.6);
    rep.addBand(QStringLiteral("QRBand2"), rbColumnHeader, 10.6);
    rep.addBand(QStringLiteral("QRBArticles"), rbDetail, 7.1)
        ->addDBText(QStringLiteral("QRDBText1"), 4.2, 0.5, &sales_, QStringLiteral("LIBELLE"));

    const PageModel m = rep.Prepare();

    EXPECT_EQ(m.paper, QSizeF(297, 210));
    ASSERT_EQ(m.pageCount(), 3);
    EXPECT_EQ(m.pages[0].count(QStringLiteral("QRDBText1")), 23);
    EXPECT_EQ(m.pages[1].count(QStringLiteral("QRDBText1")), 25);
    EXPECT_EQ(m.pages[2].count(QStringLiteral("QRDBText1")), 2);
    EXPECT_EQ(m.pages[0].bandNames().mid(0, 2), texts({"QRBand1", "QRBand2"}));
    for (int i = 1; i < 3; ++i) {
        EXPECT_EQ(m.pages[i].bandNames().first(), QStringLiteral("QRBand2"));
        EXPECT_EQ(m.pages[i].band(QStringLiteral("QRBand1")), nullptr);
        EXPECT_DOUBLE_EQ(m.pages[i].band(QStringLiteral("QRBand2"))->top, 10);
    }
}

TEST_F(GenerationTest, EveryPageOpensWithThePageHeaderThenTheColumnHeader) {
    addNumberedSales(30);
    TQuickRep rep(QStringLiteral("QRImpArtcommande"));
    rep.setDataSet(&sales_);
    rep.addBand(QStringLiteral("QRBand1"), rbPageHeader, 30.4);
    rep.addBand(QStringLiteral("QRBand4"), rbColumnHeader, 10);
    rep.addBand(QStringLiteral("QRBand2"), rbDetail, 8.7);
    rep.addBand(QStringLiteral("QRBand3"), rbPageFooter, 18.8);

    const PageModel m = rep.Prepare();

    ASSERT_EQ(m.pageCount(), 2);  // 25 lines of 8.7 mm fit between the bands
    for (const ReportPage& p : m.pages) {
        EXPECT_EQ(p.bandNames().mid(0, 3), texts({"QRBand1", "QRBand4", "QRBand2"}));
        EXPECT_NEAR(p.band(QStringLiteral("QRBand4"))->top, 10 + 30.4, 1e-9);
        EXPECT_NEAR(bottomOf(p, kPageFooter), 287, 1e-9);
    }
    EXPECT_EQ(m.pages[0].bandNames().count(QStringLiteral("QRBand2")), 25);
}

TEST_F(GenerationTest, SummaryFollowsTheLastLineOrOpensANewPageWhenItDoesNotFit) {
    // A page holds 43 lines of 5.8 mm under a 26.2 mm header; the 55.6 mm
    // summary still fits under 33 of them, not under 34.
    auto build = [&](TQuickRep& rep) {
        rep.setDataSet(&sales_);
        rep.addBand(QStringLiteral("QRBand1"), rbPageHeader, 26.2);
        rep.addBand(QStringLiteral("QRBand2"), rbDetail, 5.8);
        rep.addBand(QStringLiteral("QRBand3"), rbSummary, 55.6);
    };
    addNumberedSales(33);
    TQuickRep fits(QStringLiteral("QRImpVente"));
    build(fits);
    PageModel m = fits.Prepare();
    ASSERT_EQ(m.pageCount(), 1);
    EXPECT_NEAR(m.pages[0].band(QStringLiteral("QRBand3"))->top, 10 + 26.2 + 33 * 5.8, 1e-9);

    addSales({{QStringLiteral("34"), QStringLiteral("Article 34"), 1}});
    TQuickRep spills(QStringLiteral("QRImpVente"));
    build(spills);
    m = spills.Prepare();
    ASSERT_EQ(m.pageCount(), 2);
    EXPECT_EQ(m.pages[1].bandNames(), texts({"QRBand1", "QRBand3"}));
}

TEST_F(GenerationTest, WithoutLastPageFooterOnlyTheEarlierPagesGetAFooter) {
    addNumberedSales(15);
    ReceiptReport r(&sales_);
    r.rep.Options().lastPageFooter = false;
    const PageModel m = r.rep.Prepare();
    ASSERT_EQ(m.pageCount(), 2);
    EXPECT_NE(m.pages[0].band(kPageFooter), nullptr);
    EXPECT_EQ(m.pages[1].band(kPageFooter), nullptr);
}

// The sales journal's way of printing three sale rows per line: the price
// hooks of the first two columns count their row and move the table on.
class ThreePerLineTest : public ReportTest {
protected:
    void build() {
        rep.setDataSet(&sales_);
        auto* d = rep.addBand(QStringLiteral("QRBand2"), rbDetail, 5.8);
        auto text = [&](const char* name, double left, const char* field) {
            auto* t = d->addDBText(QString::fromLatin1(name), left, 1.1, &sales_,
                                   QString::fromLatin1(field));
            lineTexts.push_back(t);
            return t;
        };
        d->addShape(QStringLiteral("QRShape1"), 0, 0, 44.7, 5.8);
        text("QRDBText1", 2.1, "LIBELLE");
        text("QRDBText2", 46.6, "PRIX")->OnPrint = [this](TQRPrintable&, QString&) { advance(); };
        text("QRDBText4", 63.5, "LIBELLE");
        text("QRDBText5", 112.2, "PRIX")->OnPrint = [this](TQRPrintable&, QString&) { advance(); };
        text("QRDBText3", 177.8, "PRIX")->OnPrint = [this](TQRPrintable&, QString&) { count(); };
        text("QRDBText6", 129.1, "LIBELLE");
        rep.addBand(QStringLiteral("QRBand3"), rbSummary, 10)->AfterPrint = [this](TQRBand&, bool) {
            for (auto* t : lineTexts) t->setEnabled(true);
        };
    }
    void closeLine() {
        for (auto* t : lineTexts) t->setEnabled(false);
    }
    bool count() {
        if (sales_.Eof()) {
            closeLine();
            return false;
        }
        counted << sales_.FieldByName("LIBELLE")->AsString();
        return true;
    }
    void advance() {
        if (!count()) return;
        sales_.Next();
        if (sales_.Eof()) closeLine();
    }

    TQuickRep rep{QStringLiteral("QRImpVente")};
    std::vector<TQRDBText*> lineTexts;
    QStringList counted;
};

TEST_F(ThreePerLineTest, SevenRowsGiveTwoFullLinesAndOneRowAlone) {
    std::vector<SaleRow> rows;
    for (int i = 1; i <= 7; ++i) rows.push_back({QString::number(i), QStringLiteral("A%1").arg(i), double(i)});
    addSales(rows);
    build();

    const PageModel m = rep.Prepare();

    const ReportPage& p = m.pages.at(0);
    EXPECT_EQ(p.count(QStringLiteral("QRShape1")), 3) << "three lines";
    // A price prints the row it was taken from even though its own hook
    // then moved the table; the texts after it print the next row.
    EXPECT_EQ(p.textsOf(QStringLiteral("QRDBText1")), texts({"A1", "A4", "A7"}));
    EXPECT_EQ(p.textsOf(QStringLiteral("QRDBText2")), texts({"1", "4", "7"}));
    EXPECT_EQ(p.textsOf(QStringLiteral("QRDBText4")), texts({"A2", "A5"}));
    EXPECT_EQ(p.textsOf(QStringLiteral("QRDBText5")), texts({"2", "5"}));
    EXPECT_EQ(p.textsOf(QStringLiteral("QRDBText3")), texts({"3", "6"}));
    EXPECT_EQ(p.textsOf(QStringLiteral("QRDBText6")), texts({"A3", "A6"}));
    EXPECT_EQ(counted, texts({"A1", "A2", "A3", "A4", "A5", "A6", "A7"}));
    for (auto* t : lineTexts) EXPECT_TRUE(t->Enabled()) << "enabled again after the summary";
}

TEST_F(ThreePerLineTest, SixRowsGiveExactlyTwoFullLines) {
    std::vector<SaleRow> rows;
    for (int i = 1; i <= 6; ++i) rows.push_back({QString::number(i), QStringLiteral("A%1").arg(i), double(i)});
    addSales(rows);
    build();

    const PageModel m = rep.Prepare();

    EXPECT_EQ(m.pages.at(0).count(QStringLiteral("QRShape1")), 2);
    EXPECT_EQ(m.pages.at(0).textsOf(QStringLiteral("QRDBText6")), texts({"A3", "A6"}));
    EXPECT_EQ(counted.size(), 6);
}

TEST_F(GenerationTest, DisabledElementPrintsNothingSkipsItsHookAndStaysDisabledUntilEnabled) {
    addNumberedSales(4);
    ReceiptReport r(&sales_);
    TQRPrintable* label = r.detail->element(QStringLiteral("QRDBText1"));
    QStringList hooked;
    label->OnPrint = [&](TQRPrintable&, QString& text) { hooked << text; };
    // Disabled by the band's handler after row 2, enabled again on row 4.
    r.detail->AfterPrint = [&](TQRBand&, bool) {
        if (sales_.FieldByName("TICKET")->AsString() == QLatin1String("2")) label->setEnabled(false);
    };
    r.detail->BeforePrint = [&](TQRBand&, bool&) {
        if (sales_.FieldByName("TICKET")->AsString() == QLatin1String("4")) label->setEnabled(true);
    };
    r.header->BeforePrint = [&](TQRBand& band, bool&) {
        band.element(QStringLiteral("QRLabel1"))->setEnabled(false);
    };

    const PageModel m = r.rep.Prepare();

    EXPECT_EQ(m.pages[0].textsOf(QStringLiteral("QRDBText1")),
              texts({"Article 1", "Article 2", "Article 4"}));
    EXPECT_EQ(hooked, texts({"Article 1", "Article 2", "Article 4"}));
    EXPECT_EQ(m.pages[0].count(QStringLiteral("QRLabel1")), 0);
    EXPECT_EQ(m.pages[0].count(QStringLiteral("QRShape1")), 4) << "the rest of the band prints";
}

TEST_F(GenerationTest, HookTextReplacesThePrintedTextAndAnEmptyOneIsNotPrinted) {
    addNumberedSales(2);
    ReceiptReport r(&sales_);
    r.detail->element(QStringLiteral("QRDBText1"))->OnPrint = [](TQRPrintable&, QString& text) {
        text = text.endsWith(QLatin1Char('2')) ? QString() : text.toUpper();
    };
    const PageModel m = r.rep.Prepare();
    EXPECT_EQ(m.pages[0].textsOf(QStringLiteral("QRDBText1")), texts({"ARTICLE 1"}));
}

TEST_F(GenerationTest, DataTextsPrintTheFieldsDisplayTexts) {
    addSales({{QStringLiteral("12"), QStringLiteral("Coca"), 2.5, QDate(2024, 3, 9)},
              {QStringLiteral("13"), QStringLiteral("Eau"), 2.0, QDate(2024, 12, 31)},
              {QStringLiteral("14"), QStringLiteral("Frais d'arbitrage"), -15, QDate(2024, 1, 2)}});
    TQuickRep rep(QStringLiteral("QRImpPtsRES"));
    rep.setDataSet(&sales_);
    auto* d = rep.addBand(QStringLiteral("QRBand2"), rbDetail, 7.1);
    d->addDBText(QStringLiteral("QRDBText1"), 2, 0.5, &sales_, QStringLiteral("PRIX"));
    d->addDBText(QStringLiteral("QRDBText3"), 30, 0.5, &sales_, QStringLiteral("DATE"));
    auto* amount = d->addDBText(QStringLiteral("QRDBText2"), 76.2, 0.5, &sales_, QStringLiteral("PRIX"));
    amount->setMask(QStringLiteral("0.00  €"));
    amount->setAlignment(taRightJustify);
    amount->setRightEdge(97.4);

    const PageModel m = rep.Prepare();

    const ReportPage& p = m.pages.at(0);
    EXPECT_EQ(p.textsOf(QStringLiteral("QRDBText1")), texts({"2,5", "2", "-15"}));
    EXPECT_EQ(p.textsOf(QStringLiteral("QRDBText3")), texts({"9/03/2024", "31/12/2024", "2/01/2024"}));
    EXPECT_EQ(p.textsOf(QStringLiteral("QRDBText2")), texts({"2,50  €", "2,00  €", "-15,00  €"}));
    // Auto-sized and right-aligned: the right edge stays, the width follows the text.
    std::vector<const PagePrimitive*> boxes;
    for (const PagePrimitive& item : p.items)
        if (item.element == QLatin1String("QRDBText2")) boxes.push_back(&item);
    ASSERT_EQ(boxes.size(), 3u);
    for (const PagePrimitive* b : boxes) EXPECT_NEAR(b->box.right(), 10 + 97.4, 1e-9);
    EXPECT_LT(boxes[2]->box.left(), boxes[0]->box.left());
    EXPECT_GT(boxes[0]->box.width(), 5.0);
}

TEST_F(GenerationTest, ReportBeforePrintOpensTheTableBeforeTheFirstRowIsRead) {
    addNumberedSales(3);
    sales_.Close();
    ReceiptReport r(&sales_);
    int calls = 0;
    r.rep.BeforePrint = [&](TQuickRep&, bool&) {
        ++calls;
        sales_.Open();
    };
    const PageModel m = r.rep.Prepare();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(m.pages.at(0).count(QStringLiteral("QRDBText1")), 3);
}

TEST_F(GenerationTest, BandWhoseHandlerClearsTheFlagTakesNoSpace) {
    addNumberedSales(3);
    ReceiptReport r(&sales_);
    std::vector<bool> printed;
    r.detail->BeforePrint = [&](TQRBand&, bool& print) {
        print = sales_.FieldByName("TICKET")->AsString() != QLatin1String("2");
    };
    r.detail->AfterPrint = [&](TQRBand&, bool p) { printed.push_back(p); };
    const PageModel m = r.rep.Prepare();
    EXPECT_EQ(printed, (std::vector<bool>{true, false, true}));
    const ReportPage& p = m.pages.at(0);
    EXPECT_NEAR(p.band(QStringLiteral("QRBand2"), 1)->top, p.band(QStringLiteral("QRBand2"), 0)->top + 8.7, 1e-9);
}
