// The card payments list and the article list, as their menu entries
// preview them: order, amount mask, lines per page, the title on page 1
// and the column header on every page, the empty table, the saved PDF.
#include <QDate>

#include "app/menu.h"
#include "reports/imp_article.h"
#include "reports/imp_pts_res.h"
#include "host_fixture.h"

namespace {

// A listing whose title prints on page 1 only and whose column header
// tops every page: `lines` holds the detail lines expected on each page.
void expectListingPages(const PageModel& m, const std::vector<int>& lines) {
    ASSERT_EQ(m.pageCount(), static_cast<int>(lines.size()));
    for (size_t i = 0; i < lines.size(); ++i) {
        const ReportPage& p = m.pages[i];
        int detail = 0;
        for (const PlacedBand& b : p.bands) detail += b.name == "QRBArticles";
        EXPECT_EQ(detail, lines[i]) << "page " << i + 1;
        EXPECT_EQ(p.count("QRLabel1"), i == 0 ? 1 : 0) << "title, page " << i + 1;
        EXPECT_NE(p.band("QRBand2"), nullptr) << "column header, page " << i + 1;
        EXPECT_EQ(p.count("QRShape1"), lines[i]);
    }
}

Row payment(const QString& name, double amount, const QString& card = "RES-1") {
    return {{"NOM", name}, {"MONTANT", amount}, {"DATEACHAT", QDate(2024, 3, 9)},
            {"NUMRES", card}, {"ADRESSE", "Rue du Stade 1"}, {"LOCALITE", "Namur"}};
}

Row article(const QString& label, double price, double vat, const QString& ordre) {
    return {{"LIBELLE", label}, {"PRIX", price}, {"TVA", vat}, {"ORDRE", ordre}};
}

}  // namespace

class ListingTest : public ReportHostTest {
protected:
    void SetUp() override {
        ReportHostTest::SetUp();
        install(false);
    }
    PageModel paymentsList() { return previewOf([this] { program().FImpPtsRES->Preview(); }); }
    PageModel articleList() { return previewOf([this] { program().FImpArticle->Preview(); }); }
};

TEST_F(ListingTest, CardPaymentAmountsFollowTheDecimalSeparator) {
    append("Ptsres.DBF", {payment("A", 12.5), payment("B", -3), payment("C", 1234.567),
                          payment("D", 0)});
    start();
    struct Case {
        QChar separator;
        QStringList texts;
    };
    const Case cases[] = {
        {u',', {"12,50  €", "-3,00  €", "1234,57  €", "0,00  €"}},
        {u'.', {"12.50  €", "-3.00  €", "1234.57  €", "0.00  €"}},
    };
    for (const Case& c : cases) {
        FormatSettings s;
        s.decimalSeparator = c.separator;
        setFormatSettings(s);
        const PageModel m = paymentsList();
        ASSERT_EQ(m.pageCount(), 1);
        const ReportPage& p = m.pages[0];
        EXPECT_EQ(p.textsOf("QRDBText2"), c.texts);
        // Right-aligned on 97.4 mm from the band's corner, inside the margin.
        for (const PagePrimitive& item : p.items)
            if (item.element == "QRDBText2") {
                EXPECT_NEAR(item.box.right(), 10 + 97.4, 1e-6);
            }
    }
}

TEST_F(ListingTest, CardPaymentsComeInNameOrderEmptyNamesFirst) {
    append("Ptsres.DBF", {payment("martin", 2), payment("", 3), payment("Dupont", 4),
                          payment("Zorro", 5), payment("", 6)});
    start();
    const PageModel m = paymentsList();
    ASSERT_EQ(m.pageCount(), 1);
    // An empty name prints no text, but its line and amount do.
    EXPECT_EQ(m.pages[0].textsOf("QRDBText1"), QStringList({"Dupont", "martin", "Zorro"}));
    EXPECT_EQ(m.pages[0].textsOf("QRDBText2").mid(0, 2),
              QStringList({QString::fromUtf8("3,00  €"), QString::fromUtf8("6,00  €")}));
    EXPECT_EQ(m.pages[0].textsOf("QRDBText3").value(0), "9/03/2024");
    EXPECT_EQ(m.paper, QSizeF(297, 210));
}

TEST_F(ListingTest, ListingsFillTheirPagesAndSaveAsManyPdfPages) {
    struct Case {
        const char* name;
        int rows;
        std::vector<int> lines;  // per page
    };
    // Card payments, landscape: 23 lines under the title and column header,
    // 25 on later pages. Articles, portrait: 36, then 37.
    const Case payments{"payments", 49, {23, 25, 1}};
    const Case articles{"articles", 74, {36, 37, 1}};
    std::vector<Row> rows;
    for (int i = 0; i < payments.rows; ++i)
        rows.push_back(payment(QStringLiteral("Membre %1").arg(i, 3, 10, QLatin1Char('0')), i));
    append("Ptsres.DBF", rows);
    rows.clear();
    // Written in reverse: the list follows the button order.
    for (int i = articles.rows; i >= 1; --i)
        rows.push_back(article(QStringLiteral("Article %1").arg(i), i, 21,
                               QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'))));
    append("consomation.DBF", rows);
    start();

    for (const Case& c : {payments, articles}) {
        SCOPED_TRACE(c.name);
        saveAs = path(QString::fromLatin1(c.name) + ".pdf");
        const PageModel m = c.name == payments.name ? paymentsList() : articleList();
        expectListingPages(m, c.lines);
        EXPECT_EQ(pdfPageCount(saveAs), static_cast<int>(c.lines.size()));
    }
    const QStringList labels = allTextsOf(previews.back(), "QRDBText1");
    ASSERT_EQ(labels.size(), articles.rows);
    EXPECT_EQ(labels.first(), "Article 1");
    EXPECT_EQ(labels.last(), "Article 74");
    EXPECT_EQ(allTextsOf(previews.back(), "QRDBText2").value(1), "2");
}

TEST_F(ListingTest, EmptyTablesGiveTheTitleAndOneLineOfEmptyFrames) {
    start();
    struct Case {
        PageModel model;
        int frames;
    };
    const Case cases[] = {{paymentsList(), 6}, {articleList(), 4}};
    for (const Case& c : cases) {
        ASSERT_EQ(c.model.pageCount(), 1);
        const ReportPage& p = c.model.pages[0];
        EXPECT_EQ(p.bandNames(), QStringList({"QRBand1", "QRBArticles"}));
        int frames = 0;
        for (const PagePrimitive& item : p.items) {
            frames += item.kind == PrimitiveKind::Rectangle;
            if (item.kind == PrimitiveKind::Text) {
                EXPECT_EQ(item.element, "QRLabel1");
            }
        }
        EXPECT_EQ(frames, c.frames);
    }
}

TEST_F(ListingTest, ADeletedArticleIsNotListed) {
    append("consomation.DBF", {article("Cafe", 1.5, 6, "01"), article("Coca", 2, 21, "02"),
                               article("Eau", 1.2, 6, "03")});
    {
        TApolloTable t("deleter");
        t.setTableName("consomation.DBF");
        t.Open();
        t.Next();
        t.Delete();
    }
    start();
    const PageModel m = articleList();
    ASSERT_EQ(m.pageCount(), 1);
    EXPECT_EQ(m.pages[0].textsOf("QRDBText1"), QStringList({"Cafe", "Eau"}));
    EXPECT_EQ(m.pages[0].textsOf("QRDBText3"), QStringList({"6", "6"}));
    EXPECT_EQ(m.pages[0].textsOf("QRDBText4"), QStringList({"01", "03"}));
}
