// Sales by article: the work table counted from the sales in label order,
// rebuilt at each activation, corrected in the grid, and the reorder list
// printed from it two articles per line.
#include <QAction>
#include <QDate>
#include <QLineEdit>
#include <QMenuBar>
#include <QTest>

#include "app/menu.h"
#include "common/file_version.h"
#include "controls/db_grid.h"
#include "controls/multi_line_button.h"
#include "host_fixture.h"
#include "reports/vent_art.h"

namespace {

Row sale(const QString& label, const QDate& date = QDate(2024, 3, 9)) {
    return {{"TICKET", "1"}, {"LIBELLE", label}, {"PRIX", 2.0}, {"TVA", 21.0}, {"DATE", date}};
}

std::vector<Row> sales(const QStringList& labels) {
    std::vector<Row> rows;
    for (const QString& l : labels) rows.push_back(sale(l));
    return rows;
}

// Labels "Article 01".."Article n", each sold once.
QStringList numbered(int n, int digits = 2) {
    QStringList labels;
    for (int i = 1; i <= n; ++i) labels << QStringLiteral("Article %1").arg(i, digits, 10, QLatin1Char('0'));
    return labels;
}

// The work table as "LIBELLE QTE DATE" lines, read through its handle (the
// window holds it exclusively).
QStringList workRows(TApolloTable& t) {
    QStringList rows;
    for (t.First(); !t.Eof(); t.Next())
        rows << QStringLiteral("%1 %2 %3")
                    .arg(t.FieldByName("LIBELLE")->AsString())
                    .arg(t.FieldByName("QTE")->AsFloat())
                    .arg(t.FieldByName("DATE")->AsDate().toString("d/M"));
    return rows;
}

}  // namespace

class VentArtTest : public ReportHostTest {
protected:
    void SetUp() override {
        ReportHostTest::SetUp();
        install(false);
    }
    // Shows the window from the main menu, as "Vente / Art." does.
    TFVentart* activate() {
        if (!program_) start();
        program().showWindow(program().FMenu);
        program().switchTo(program().FMenu, program().FVentart);
        return program().FVentart;
    }
    PageModel reorderList(TFVentart* w) {
        return previewOf([w] { QTest::mouseClick(w->MultiLineButton2, Qt::LeftButton); });
    }
};

TEST_F(VentArtTest, WorkTableHoldsOneRowPerRunOfEqualLabelsInLabelOrder) {
    struct Case {
        const char* name;
        std::vector<Row> sales;
        QStringList work;
    };
    const QDate d1(2024, 3, 1), d2(2024, 3, 2), d3(2024, 3, 3);
    const Case cases[] = {
        {"runs", sales({"C", "B", "C", "E", "B", "C"}), {"B 2 9/3", "C 3 9/3", "E 1 9/3"}},
        {"first once", sales({"Biere", "Coca", "Coca", "Coca"}), {"Biere 1 9/3", "Coca 3 9/3"}},
        // Same key, so together in record order; each change of case starts a row.
        {"case", sales({"Cafe", "CAFE", "Cafe", "Biere", "Cafe"}),
         {"Biere 1 9/3", "Cafe 1 9/3", "CAFE 1 9/3", "Cafe 2 9/3"}},
        {"dates", {sale("Vin", d2), sale("Eau", d3), sale("Vin", d1), sale("Eau", d1)},
         {"Eau 2 3/3", "Vin 2 2/3"}},
        {"no sales", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TApolloTable sales("sales"), work("work");
        sales.setTableName("Vente.DBF");
        work.setTableName("QteVente.DBF");
        sales.setExclusive(true);
        sales.Open();
        sales.Zap();
        sales.Close();
        sales.setExclusive(false);
        append("Vente.DBF", c.sales);
        sales.Open();
        sales.CreateIndex("ventart.ntx", "upper(Libelle)", false);
        work.setExclusive(true);
        work.Open();
        work.Zap();
        countSalesByLabel(sales, work);
        EXPECT_EQ(workRows(work), c.work);
    }
}

TEST_F(VentArtTest, EachActivationCountsTheSalesMadeSinceAndShowsThemInTheGrid) {
    append("Vente.DBF", sales({"Coca", "Biere", "Coca"}));
    TFVentart* w = activate();
    EXPECT_EQ(w->size(), QSize(395, 500));
    EXPECT_EQ(w->MultiLineButton1->font().family(), "Times New Roman");
    EXPECT_EQ(w->MultiLineButton1->font().pointSize(), 14);
    EXPECT_TRUE(w->QteVenteConstruite);
    EXPECT_EQ(workRows(*w->ATQteVente), QStringList({"Biere 1 9/3", "Coca 2 9/3"}));
    TDBGridModel* grid = w->DBGrid1->gridModel();
    ASSERT_EQ(grid->rowCount(), 2);
    EXPECT_EQ(grid->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "QTE");
    EXPECT_EQ(grid->data(grid->index(1, 1), Qt::DisplayRole).toString(), "2");

    w->menuBar()->findChild<QAction*>("Quiter1")->trigger();
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(program().FMenu->isVisible());
    append("Vente.DBF", sales({"Coca", "Eau"}));  // sold at the till meanwhile
    activate();
    EXPECT_EQ(workRows(*w->ATQteVente), QStringList({"Biere 1 9/3", "Coca 3 9/3", "Eau 1 9/3"}));
    EXPECT_EQ(grid->rowCount(), 3);
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join("|").toStdString();
}

TEST_F(VentArtTest, ACountCorrectedInTheGridPrintsInTheReorderList) {
    append("Vente.DBF", sales({"Coca", "Biere", "Coca"}));
    TFVentart* w = activate();
    TDBGrid* grid = w->DBGrid1;
    struct Edit {
        QString typed;
        QString error;  // empty: accepted
    };
    const Edit edits[] = {
        {"douze", QString::fromUtf8("'douze' n'est pas une valeur flottante correcte pour le champ 'QTE'")},
        {"", QString::fromUtf8("'' n'est pas une valeur flottante correcte pour le champ 'QTE'")},
        {"12", {}},
    };
    for (const Edit& e : edits) {
        dialogs_.errors.clear();
        const QModelIndex cell = grid->model()->index(1, 1);
        grid->setCurrentIndex(cell);
        QTest::keyClick(grid, Qt::Key_F2);
        QLineEdit* editor = nullptr;  // the one open now; closed ones wait to be deleted
        for (QLineEdit* e : grid->viewport()->findChildren<QLineEdit*>())
            if (e->isVisible()) editor = e;
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        QTest::keyClick(editor, Qt::Key_Backspace);
        QTest::keyClicks(editor, e.typed);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();  // the grid takes the text once back in its loop
        EXPECT_EQ(dialogs_.errors, e.error.isEmpty() ? QStringList() : QStringList({e.error}));
        EXPECT_EQ(workRows(*w->ATQteVente).value(1), e.error.isEmpty() ? "Coca 12 9/3" : "Coca 2 9/3");
    }
    const PageModel m = reorderList(w);
    ASSERT_FALSE(programFileVersion().isEmpty());
    ASSERT_EQ(m.pageCount(), 1);
    EXPECT_EQ(m.pages[0].textsOf("QRDBText1"), QStringList({"Biere"}));
    EXPECT_EQ(m.pages[0].textsOf("QRDBText5"), QStringList({"12"}));
    EXPECT_EQ(m.pages[0].textsOf("QRDBText3"), QStringList({"Coca"}));
}

TEST_F(VentArtTest, ReorderListPrintsTwoArticlesPerLine) {
    struct Case {
        int rows;
        std::vector<int> lines;    // per page
        QStringList secondColumn;  // labels of the second column, all pages
    };
    const Case cases[] = {
        {0, {1}, {}},
        {4, {2}, {"Article 02", "Article 04"}},
        {5, {3}, {"Article 02", "Article 04"}},
        {53, {26, 1}, {}},  // 52 articles fill page 1
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rows);
        program_.reset();
        {
            TApolloTable t("sales");
            t.setTableName("Vente.DBF");
            t.setExclusive(true);
            t.Open();
            t.Zap();
        }
        append("Vente.DBF", sales(numbered(c.rows)));
        saveAs = path("reorder.pdf");
        const PageModel m = reorderList(activate());
        ASSERT_EQ(m.pageCount(), static_cast<int>(c.lines.size()));
        EXPECT_EQ(pdfPageCount(saveAs), m.pageCount());
        QStringList first = allTextsOf(m, "QRDBText1"), second = allTextsOf(m, "QRDBText3");
        EXPECT_EQ(first.size() + second.size(), c.rows);
        if (!c.secondColumn.isEmpty()) {
            EXPECT_EQ(second, c.secondColumn);
        }
        EXPECT_EQ(first.value(0), c.rows ? "Article 01" : "");
        EXPECT_EQ(allTextsOf(m, "QRDBText2").size(), first.size());
        for (size_t i = 0; i < c.lines.size(); ++i) {
            const ReportPage& p = m.pages[i];
            EXPECT_EQ(p.count("QRShape1"), c.lines[i]);
            EXPECT_EQ(p.count("QRShape4"), c.lines[i]) << "second column frames";
            EXPECT_EQ(p.bandNames().first(), "QRBand1");
            EXPECT_EQ(p.bandNames().last(), "QRBand3");
            EXPECT_EQ(p.textsOf("QRSysData1"), QStringList({QString::number(i + 1)}));
            EXPECT_EQ(p.textsOf("QRDBText7"), c.rows ? QStringList({"9/03/2024"}) : QStringList());
            EXPECT_EQ(p.textsOf("QRLabel2"), QStringList({programFileVersion()}));
        }
    }
}

TEST_F(VentArtTest, SalesListingByArticleTotalsEachPageAtItsFoot) {
    // 100 rows of 2,00, the last at 6 %, the others at 21 %: page 1 holds
    // 33 lines (99 rows), page 2 the last row; each footer sums its own page.
    std::vector<Row> rows;
    for (const QString& label : numbered(100, 3)) rows.push_back(sale(label));
    rows[99]["TVA"] = 6.0;
    append("Vente.DBF", rows);
    TApolloTable config("config");
    config.setTableName("config.dbf");
    config.Open();
    config.Edit();
    config.FieldByName("FONDCAISSE")->setAsFloat(50);
    config.Post();
    TFVentart* w = activate();
    saveAs = path("ventart.pdf");
    const PageModel m =
        previewOf([w] { QTest::mouseClick(w->MultiLineButton1, Qt::LeftButton); });
    ASSERT_EQ(m.pageCount(), 2);
    EXPECT_EQ(pdfPageCount(saveAs), 2);
    struct PageTotals {
        int lines;
        QString first;  // label of the page's first row
        const char* sales;
        const char* vat21;
        const char* vat6;
        const char* till;
    };
    const PageTotals expected[] = {
        {33, "Article 001", "198,00 €", "198,00 €", "0,00 €", "248,00 €"},
        {1, "Article 100", "2,00 €", "0,00 €", "2,00 €", "52,00 €"},
    };
    for (int i = 0; i < 2; ++i) {
        const ReportPage& p = m.pages[static_cast<size_t>(i)];
        const PageTotals& e = expected[i];
        EXPECT_EQ(p.count("QRShape1"), e.lines);
        EXPECT_EQ(p.textsOf("QRDBText1").value(0), e.first);
        EXPECT_EQ(p.textsOf("QRLabel1"), QStringList({"Listing des articles vendu"}));
        EXPECT_EQ(p.textsOf("QRLabel2"), QStringList({QString::fromUtf8(e.sales)}));
        EXPECT_EQ(p.textsOf("QRLabel9"), QStringList({QString::fromUtf8(e.vat21)}));
        EXPECT_EQ(p.textsOf("QRLabel8"), QStringList({QString::fromUtf8(e.vat6)}));
        EXPECT_EQ(p.textsOf("QRLabel5"), QStringList({QString::fromUtf8(e.till)}));
        EXPECT_EQ(p.textsOf("QRLabel14"), QStringList({"Fond de caisse"}));
        EXPECT_EQ(p.textsOf("QRLabel15"), QStringList({QString::fromUtf8("50,00 €")}));
        EXPECT_EQ(p.textsOf("QRLabel13"), QStringList({programFileVersion()}));
        // The totals band sits on the bottom margin: 297 - 10 - 55.6.
        ASSERT_NE(p.band("QRBand3"), nullptr);
        EXPECT_NEAR(p.band("QRBand3")->top, 231.4, 1e-6);
    }
    EXPECT_EQ(allTextsOf(m, "QRDBText1").size() + allTextsOf(m, "QRDBText4").size() +
                  allTextsOf(m, "QRDBText6").size(),
              100);
}

TEST_F(VentArtTest, SalesListingByArticleCountsRunsInItsLineLabel) {
    // Lines A A A | B B, with the count label as its handlers leave it.
    append("Vente.DBF", sales({"B", "A", "A", "B", "A"}));
    TFVentart* w = activate();
    const PageModel m =
        previewOf([w] { QTest::mouseClick(w->MultiLineButton1, Qt::LeftButton); });
    ASSERT_EQ(m.pageCount(), 1);
    const ReportPage& p = m.pages[0];
    EXPECT_EQ(p.textsOf("QRDBText1"), QStringList({"A", "B"}));
    EXPECT_EQ(p.textsOf("QRDBText6"), QStringList({"A"}));
    EXPECT_EQ(p.textsOf("QRLQte1"), QStringList({"3", "4"}));
    for (const PagePrimitive& item : p.items) {
        if (item.element == "QRLQte1") {
            EXPECT_NEAR(item.box.right(), 10 + 173.4, 1e-6);
        }
    }
}
