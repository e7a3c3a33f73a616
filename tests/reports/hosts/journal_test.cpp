// The sales journal as the till and the reprint window preview it: three
// sale rows per line, 43 lines a page, the totals with the VAT split and
// the till amount, read from the page model of the preview.
#include <QTemporaryDir>

#include "common/file_version.h"
#include "reports/engine/preview_window.h"
#include "reports/imp_vente.h"
#include "tests/support/program_fixture.h"
#include "tests/support/report_fixture.h"

struct JournalRow {
    QString label;
    double price;
    double vat;
    QDate date = QDate(2024, 3, 9);
};

class JournalTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        install(true);
        setFloat(100);
        previous_ = TQuickRep::setPreviewHook([this](TQuickRep& rep, TPreviewWindow& w) {
            previews.push_back(w.model());
            if (onPreview) onPreview(rep, w);
        });
    }
    void TearDown() override {
        TQuickRep::setPreviewHook(previous_);
        ProgramTest::TearDown();
    }
    void setFloat(double amount) {
        TApolloTable c("ATConfig");
        c.setTableName("config.dbf");
        c.Open();
        c.Edit();
        c.FieldByName("FONDCAISSE")->setAsFloat(amount);
        c.Post();
    }
    static void addRows(const QString& file, const std::vector<JournalRow>& rows) {
        TApolloTable v("fill");
        v.setTableName(file);
        v.Open();
        for (const JournalRow& r : rows) {
            v.Insert();
            v.FieldByName("TICKET")->setAsString("1");
            v.FieldByName("LIBELLE")->setAsString(r.label);
            v.FieldByName("PRIX")->setAsFloat(r.price);
            v.FieldByName("TVA")->setAsFloat(r.vat);
            v.FieldByName("DATE")->setAsDate(r.date);
            v.Post();
        }
        v.Close();
    }
    // A new program over an emptied sales table, for the next case.
    void fresh() {
        program_.reset();
        previews.clear();
        TApolloTable v("zap");
        v.setTableName("Vente.dbf");
        v.setExclusive(true);
        v.Open();
        v.Zap();
        v.Close();
    }
    // Rows "A1".."An" at 1.00 and 21 %, one day further every line of three.
    static std::vector<JournalRow> numbered(int n) {
        std::vector<JournalRow> rows;
        for (int i = 0; i < n; ++i)
            rows.push_back({QStringLiteral("A%1").arg(i + 1), 1.0, 21, QDate(2024, 1, 1).addDays(i / 3)});
        return rows;
    }
    // The journal as the till's listing asks for it.
    const PageModel& journal() {
        if (!program_) start();
        program().report(TProgram::Window::ImpVente).Preview();
        EXPECT_FALSE(program().FImpVente->ATVente->Active());  // closed after the preview
        return previews.back();
    }
    static QString caption(const ReportPage& page, const char* element) {
        const QStringList t = page.textsOf(QLatin1String(element));
        return t.size() == 1 ? t[0] : QStringLiteral("<%1 texts>").arg(t.size());
    }
    static const PagePrimitive* item(const ReportPage& page, const char* element) {
        for (const PagePrimitive& p : page.items)
            if (p.element == QLatin1String(element)) return &p;
        return nullptr;
    }

    std::vector<PageModel> previews;
    std::function<void(TQuickRep&, TPreviewWindow&)> onPreview;
    TQuickRep::PreviewHook previous_;
};

TEST_F(JournalTest, ThreeRowsALineAndTheLastLineHoldsWhatIsLeft) {
    const struct {
        int rows;
        QStringList first, second, third;
    } cases[] = {
        {7, {"A1", "A4", "A7"}, {"A2", "A5"}, {"A3", "A6"}},
        {6, {"A1", "A4"}, {"A2", "A5"}, {"A3", "A6"}},
        {2, {"A1"}, {"A2"}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rows);
        fresh();
        addRows("Vente.dbf", numbered(c.rows));
        const PageModel& m = journal();
        ASSERT_EQ(m.pageCount(), 1);
        const ReportPage& p = m.pages[0];
        EXPECT_EQ(p.textsOf("QRDBText1"), c.first);
        EXPECT_EQ(p.textsOf("QRDBText4"), c.second);
        EXPECT_EQ(p.textsOf("QRDBText6"), c.third);
        EXPECT_EQ(p.textsOf("QRDBText2").size(), c.first.size());
        EXPECT_EQ(p.textsOf("QRDBText3").size(), c.third.size());
        EXPECT_EQ(p.count("QRShape1"), c.first.size());  // one frame set per line
        EXPECT_EQ(caption(p, "QRLabel9"), QString("%1,00 €").arg(c.rows));
    }
}

// 43 lines under the page header; the 55.6 mm summary needs the room of
// 10 lines, so a last page of more than 33 lines sends it to a new page,
// which starts with the page header. The header date is that of the first
// row of its page.
TEST_F(JournalTest, FortyThreeLinesAPageAndTheSummaryWhereItFits) {
    const struct {
        int rows;
        int pages;
        int linesOnFirst;
        int summaryPage;
    } cases[] = {{99, 1, 33, 1}, {100, 2, 34, 2}, {129, 2, 43, 2}, {130, 2, 43, 2}, {259, 3, 43, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rows);
        fresh();
        addRows("Vente.dbf", numbered(c.rows));
        const PageModel& m = journal();
        ASSERT_EQ(m.pageCount(), c.pages);
        EXPECT_EQ(m.pages[0].count("QRShape1"), c.linesOnFirst);
        int rowsSeen = 0;
        for (const ReportPage& p : m.pages) {
            EXPECT_NE(p.band("QRBand1"), nullptr);
            EXPECT_EQ(p.band("QRBand3") != nullptr, p.number == c.summaryPage);
            rowsSeen += p.textsOf("QRDBText2").size() + p.textsOf("QRDBText5").size() +
                        p.textsOf("QRDBText3").size();
            // The first row of the page is row 3 x 43 x (page - 1) + 1.
            const int firstLine = 43 * (p.number - 1);
            if (firstLine * 3 < c.rows) {
                EXPECT_EQ(caption(p, "QRDBText7"), QDate(2024, 1, 1).addDays(firstLine).toString("d/MM/yyyy"));
            }
            EXPECT_EQ(caption(p, "QRSysData1"), QString::number(p.number));
        }
        EXPECT_EQ(rowsSeen, c.rows);
        EXPECT_EQ(caption(m.pages.back(), "QRLabel2"), QString("%1,00 €").arg(c.rows));
    }
}

TEST_F(JournalTest, AnEmptyTableGivesOneLineOfEmptyFramesAndZeroSums) {
    const PageModel& m = journal();
    ASSERT_EQ(m.pageCount(), 1);
    const ReportPage& p = m.pages[0];
    EXPECT_EQ(p.bandNames(), QStringList({"QRBand1", "QRBand2", "QRBand3"}));
    for (const char* frame : {"QRShape1", "QRShape2", "QRShape3", "QRShape4", "QRShape5", "QRShape6"})
        EXPECT_EQ(p.count(frame), 1) << frame;
    for (const char* text : {"QRDBText1", "QRDBText2", "QRDBText3", "QRDBText4", "QRDBText5", "QRDBText6"})
        EXPECT_EQ(p.count(text), 0) << text;
    for (const char* sum : {"QRLabel2", "QRLabel8", "QRLabel9", "QRLabel11"}) EXPECT_EQ(caption(p, sum), "0,00 €") << sum;
    EXPECT_EQ(caption(p, "QRLabel5"), "100,00 €");
    EXPECT_EQ(caption(p, "QRLabel15"), "100,00 €");
    EXPECT_EQ(caption(p, "QRLHTVA6"), " HTVA 6% = 0,00 €");
    EXPECT_EQ(caption(p, "QRLHTVA21"), " HTVA 21% = 0,00 €");
}

// A referee fee (VAT 0, paid out of the till) and a rate the journal does
// not split (12 %) against the same sales without them.
TEST_F(JournalTest, RefereeFeesAndOtherRatesInTheTotals) {
    const std::vector<JournalRow> sales = {{"Biere", 10, 21}, {"Cola", 5.3, 6}, {"Vin", 4, 12}};
    const struct {
        bool fee;
        const char* salesAmount;
        const char* till;
        const char* fees;
    } cases[] = {{false, "19,30 €", "119,30 €", "0,00 €"}, {true, "19,30 €", "104,30 €", "15,00 €"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fee);
        fresh();
        std::vector<JournalRow> rows = sales;
        if (c.fee) rows.push_back({"Arbitre", -15, 0});
        addRows("Vente.dbf", rows);
        const ReportPage& p = journal().pages.back();
        EXPECT_EQ(caption(p, "QRLabel2"), c.salesAmount);
        EXPECT_EQ(caption(p, "QRLabel5"), c.till);
        EXPECT_EQ(caption(p, "QRLabel11"), c.fees);
        EXPECT_EQ(caption(p, "QRLabel8"), "5,30 €");
        EXPECT_EQ(caption(p, "QRLabel9"), "10,00 €");
        EXPECT_EQ(caption(p, "QRLHTVA6"), " HTVA 6% = 5,00 €");
        EXPECT_EQ(caption(p, "QRLHTVA21"), " HTVA 21% = 8,26 €");
        EXPECT_EQ(caption(p, "QRLabel15"), "100,00 €");
    }
}

TEST_F(JournalTest, CaptionsFontsAndPlacesOnThePage) {
    addRows("Vente.dbf", numbered(4));
    const PageModel& m = journal();
    const ReportPage& p = m.pages[0];
    EXPECT_EQ(m.paper, QSizeF(210, 297));
    const struct {
        const char* element;
        double left, top;  // mm on the paper: margin 10 + band top + element top
        const char* text;
    } places[] = {
        {"QRLabel1", 77.7, 22.7, "Listing des ventes du"},
        {"QRDBText7", 151.8, 23.8, "1/01/2024"},
        {"QRLabel12", 151.8, 12.1, "Pages"},
        {"QRSysData1", 166.6, 12.1, "1"},
        {"QRDBText1", 12.1, 37.3, "A1"},
        {"QRDBText2", 56.6, 37.3, "1"},
        {"QRDBText4", 73.5, 37.3, "A2"},
        {"QRDBText5", 122.2, 37.3, "1"},
        {"QRDBText6", 139.1, 37.3, "A3"},
        {"QRDBText3", 187.8, 37.3, "1"},
        {"QRDBText1", 12.1, 43.1, "A4"},
        {"QRLabel3", 12.1, 47.8 + 23.3, "Montant des ventes"},
        {"QRLabel6", 12.1, 47.8 + 10.6, "Montant 6% TVAC"},
        {"QRLabel7", 12.1, 47.8 + 16.9, "Montant 21% TVAC"},
        {"QRLabel10", 73.5, 47.8 + 23.3, "Frais d'arbitrage"},
        {"QRLabel4", 149.7, 47.8 + 16.9, "Montant en caisse"},
        {"QRLabel14", 149.7, 47.8 + 10.6, "Fond de caisse"},
        {"QRLabel16", 12.1, 47.8 + 46.6,
         "Vente distributeur boison à 6 %  :  .............................................."},
        {"QRLabel17", 12.1, 47.8 + 36.0,
         "Montant réel en caisse  :  .............................................."},
    };
    for (const auto& e : places) {
        SCOPED_TRACE(e.element);
        const QStringList texts = p.textsOf(e.element);
        const PagePrimitive* at = nullptr;
        for (const PagePrimitive& it : p.items)
            if (!at && it.element == QLatin1String(e.element) && it.text == QString::fromUtf8(e.text)) at = &it;
        ASSERT_NE(at, nullptr) << texts.join('|').toStdString();
        EXPECT_NEAR(at->box.left(), e.left, 0.01);
        EXPECT_NEAR(at->box.top(), e.top, 0.01);
    }
    // Title 20 pt, date 16 pt, the rest 10 pt; the version 6 pt bold,
    // right-aligned on 188.6 mm.
    EXPECT_EQ(m.fonts[item(p, "QRLabel1")->font].size, 20);
    EXPECT_EQ(m.fonts[item(p, "QRDBText7")->font].size, 16);
    EXPECT_EQ(m.fonts[item(p, "QRLabel3")->font].size, 10);
    const PagePrimitive* version = item(p, "QRLabel13");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text, programFileVersion());
    EXPECT_FALSE(version->text.isEmpty());
    EXPECT_EQ(version->alignment, taRightJustify);
    EXPECT_NEAR(version->box.right(), 198.6, 0.01);
    EXPECT_TRUE(m.fonts[version->font].bold);
    EXPECT_EQ(m.fonts[version->font].size, 6);
    const PagePrimitive* logo = item(p, "QRImage1");
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(logo->box, QRectF(10, 10, 32.0, 23.8));
}

// Printing from the preview prints the pages shown; the next journal
// gives the same totals, not the sums doubled.
TEST_F(JournalTest, PrintingFromThePreviewGivesTheSameTotals) {
    addRows("Vente.dbf", {{"Biere", 2.5, 21}, {"Cola", 2, 6}, {"Arbitre", -15, 0}, {"Vin", 3, 12}});
    QTemporaryDir out;
    onPreview = [&](TQuickRep& rep, TPreviewWindow& w) {
        rep.PrinterSettings().outputFileName = out.filePath("journal.pdf");
        w.printReport();
        EXPECT_TRUE(w.lastPrint().started) << w.lastPrint().error.toStdString();
    };
    const ReportPage& first = journal().pages.back();
    EXPECT_EQ(caption(first, "QRLabel5"), "92,50 €");
    EXPECT_EQ(pdfPageCount(out.filePath("journal.pdf")), 1);
    // A second journal starts from zero too.
    EXPECT_EQ(journal().pages.back().texts(), first.texts());
}
