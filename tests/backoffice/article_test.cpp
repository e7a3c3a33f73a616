// The article window driven as a person would: the search box, the fields,
// the price buttons and the navigator, what lands in the article file and
// its two index files, and what the till and the article list show after.
#include <QAction>
#include <QMenuBar>

#include <algorithm>

#include "backoffice/article.h"
#include "backoffice_fixture.h"
#include "reports/engine/preview_window.h"
#include "reports/engine/quick_rep.h"
#include "tests/support/report_fixture.h"
#include "ui/report_host.h"

// Readable failures: texts print as texts.
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

const std::vector<ArticleRow> kDrinks = {{"Limonade", 1.6, 21, "03"},
                                         {"Lait", 1.2, 6, "02"},
                                         {"Coca", 2.0, 21, "01"}};

// A field's text replaced by what is typed.
void retype(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

class ArticleTest : public BackofficeTest {
protected:
    // The main window's "Gestion" > "Articles".
    TFArticle* openArticles(const std::vector<ArticleRow>& articles) {
        prepare(articles);
        start();
        program().showWindow(program().FMenu);
        menuAction(program().FMenu, "Articles1")->trigger();
        TFArticle* w = program().FArticle;
        EXPECT_TRUE(w->isVisible());
        QApplication::setActiveWindow(w);
        return w;
    }
    static QAction* menuAction(QMainWindow* w, const char* name) {
        return w->menuBar()->findChild<QAction*>(QLatin1String(name));
    }
    void click(TFArticle* w, TNavigateBtn b) { QTest::mouseClick(w->DBNavigator1->button(b), Qt::LeftButton); }

    // The article file's records as its bytes say, in record order:
    // "LIBELLE|PRIX|TVA|ORDRE", a deleted one marked with a leading '*'.
    QStringList storedArticles() {
        QFile f(path("consomation.DBF"));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray d = f.readAll();
        auto le = [&](int at, int size) {
            quint32 v = 0;
            for (int i = size - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(d[at + i]);
            return static_cast<int>(v);
        };
        const int count = le(4, 4), header = le(8, 2), size = le(10, 2);
        QStringList rows;
        for (int r = 0; r < count; ++r) {
            const QByteArray rec = d.mid(header + r * size, size);
            QStringList fields;
            for (auto [at, width] : {std::pair{1, 30}, {31, 10}, {41, 5}, {46, 2}})
                fields << QString::fromLatin1(rec.mid(at, width)).trimmed();
            rows << (rec.startsWith('*') ? "*" : "") + fields.join('|');
        }
        return rows;
    }
    // The record numbers in the order of an index file, walked through a
    // handle of its own; and the order a sort of the live rows gives
    // (equal keys in record order).
    QList<long> indexOrder(const QString& index) {
        TApolloTable t("check");
        t.setTableName("consomation.DBF");
        t.Open();
        t.OpenIndex(index);
        QList<long> order;
        for (t.First(); !t.Eof(); t.Next()) order << t.RecNo();
        return order;
    }
    QList<long> sortedOrder(int field) {
        const QStringList rows = storedArticles();
        QList<long> order;
        for (int i = 0; i < rows.size(); ++i)
            if (!rows[i].startsWith('*')) order << i + 1;
        std::stable_sort(order.begin(), order.end(), [&](long a, long b) {
            return rows[a - 1].section('|', field, field).toUpper() <
                   rows[b - 1].section('|', field, field).toUpper();
        });
        return order;
    }
    std::string navigatorState(TFArticle* w) {
        std::string s;
        for (int i = 0; i < kNavigateButtons; ++i)
            s += w->DBNavigator1->button(static_cast<TNavigateBtn>(i))->isEnabled() ? '1' : '0';
        return s;
    }
    QStringList fields(TFArticle* w) {
        return {w->DBEdit1->text(), w->DBEdit2->text(), w->DBComboBox1->currentText(), w->DBEdit3->text()};
    }
};

TEST_F(ArticleTest, OpensFromTheMenuOnTheFirstArticleByNameWithBothIndexesOnce) {
    TFArticle* w = openArticles(kDrinks);
    EXPECT_EQ(w->windowTitle(), "Gestion des articles");
    EXPECT_EQ(w->size(), QSize(539, 315));
    EXPECT_TRUE(w->DBLookupComboPlus1->hasFocus());
    EXPECT_EQ(w->DBLookupComboPlus1->text(), "Coca");
    EXPECT_EQ(fields(w), QStringList({"Coca", "2,00", "21,00", "01"}));
    // Back from the till through this window's own "Articles": activation
    // again, each index file still open once, the name index the order.
    menuAction(w, "Articles1")->trigger();
    EXPECT_TRUE(program().FCaisse->isVisible());
    menuAction(program().FCaisse, "Articles1")->trigger();
    QApplication::setActiveWindow(w);
    EXPECT_EQ(w->ATConsomation->IndexFiles(), QStringList({"ordre.ntx", "consomation.ntx"}));
    EXPECT_EQ(w->ATConsomation->IndexName(), "consomation.ntx");
    // The tab order: navigator, name, price, search box, price buttons, VAT, order.
    const std::vector<QWidget*> order = {w->DBNavigator1, w->DBEdit1,  w->DBEdit2,  w->DBLookupComboPlus1,
                                         w->BitBtn1,      w->BitBtn2,  w->BitBtn3,  w->BitBtn4,
                                         w->DBComboBox1,  w->DBEdit3,  w->DBNavigator1};
    w->DBNavigator1->setFocus();
    for (size_t i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), order[i]) << "tab " << i;
    }
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join('|').toStdString();
}

TEST_F(ArticleTest, TheSearchBoxMovesToTheNameAndTheFieldsFollow) {
    TFArticle* w = openArticles(kDrinks);
    for (auto [keys, name, shown] : {std::tuple{"l", "Lait", QStringList({"Lait", "1,20", "6,00", "02"})},
                                     std::tuple{"li", "Limonade", QStringList({"Limonade", "1,60", "21,00", "03"})}}) {
        QTest::keyClick(w->DBLookupComboPlus1, Qt::Key_Escape);
        type(w->DBLookupComboPlus1, keys);
        EXPECT_EQ(w->DBLookupComboPlus1->text(), name);
        EXPECT_EQ(fields(w), shown);
    }
    // The navigator shows each name in the search box too.
    click(w, TNavigateBtn::nbPrior);
    EXPECT_EQ(w->DBLookupComboPlus1->text(), "Lait");
}

struct PriceCase {
    const char* name;
    std::vector<ArticleRow> articles;
    std::function<void(TFArticle*)> before;  // on the first article by name
    int button;                               // 1 to 4
    QStringList stored;
};

class PriceButtonTest : public ArticleTest, public ::testing::WithParamInterface<PriceCase> {};

INSTANTIATE_TEST_SUITE_P(
    Buttons, PriceButtonTest,
    ::testing::Values(
        PriceCase{"EmptyTable", {}, nullptr, 3, {"|2.00|21.00|"}},
        PriceCase{"InsertedAndNamed", kDrinks,
                  [](TFArticle* w) {
                      QTest::mouseClick(w->DBNavigator1->button(TNavigateBtn::nbInsert), Qt::LeftButton);
                      retype(w->DBEdit1, "Cidre");
                  },
                  2, {"Limonade|1.60|21.00|03", "Lait|1.20|6.00|02", "Coca|2.00|21.00|01", "Cidre|1.60|21.00|"}},
        PriceCase{"VatSixBecomesTwentyOne", kDrinks, [](TFArticle* w) { type(w->DBLookupComboPlus1, "la"); }, 1,
                  {"Limonade|1.60|21.00|03", "Lait|1.50|21.00|02", "Coca|2.00|21.00|01"}},
        PriceCase{"TypedPriceGivesWayTypedOrderStays", kDrinks,
                  [](TFArticle* w) {
                      retype(w->DBEdit2, "3");
                      retype(w->DBEdit3, "9");
                  },
                  4, {"Limonade|1.60|21.00|03", "Lait|1.20|6.00|02", "Coca|2.50|21.00|9"}}),
    [](const ::testing::TestParamInfo<PriceCase>& info) { return std::string(info.param.name); });

TEST_P(PriceButtonTest, SavesPriceAndVatAtOnce) {
    const PriceCase& c = GetParam();
    TFArticle* w = openArticles(c.articles);
    if (c.before) c.before(w);
    QTest::mouseClick(std::array{w->BitBtn1, w->BitBtn2, w->BitBtn3, w->BitBtn4}[static_cast<size_t>(c.button - 1)],
                      Qt::LeftButton);
    EXPECT_EQ(w->ATConsomation->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(storedArticles(), c.stored);
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join('|').toStdString();
}

struct VatCase {
    QChar separator;
    const char* choice;  // an item of the list, or a typed text
    bool typed;
    const char* stored;
};

class VatListTest : public ArticleTest, public ::testing::WithParamInterface<VatCase> {};

INSTANTIATE_TEST_SUITE_P(Rates, VatListTest,
                         ::testing::Values(VatCase{'.', "0.00", false, "0.00"}, VatCase{'.', "6.00", false, "6.00"},
                                           VatCase{',', "0.00", false, "0.00"}, VatCase{',', "6,5", true, "6.50"},
                                           VatCase{',', "12.5", true, "12.50"}, VatCase{'.', "", true, ""}));

TEST_P(VatListTest, TheChosenOrTypedRateIsStored) {
    const VatCase& c = GetParam();
    FormatSettings s;
    s.decimalSeparator = c.separator;
    setFormatSettings(s);
    TFArticle* w = openArticles({{"Coca", 2.0, 21, "01"}});
    EXPECT_EQ(w->DBComboBox1->currentText(), QString("21") + c.separator + "00");
    if (c.typed) {
        w->DBComboBox1->setFocus();
        w->DBComboBox1->lineEdit()->selectAll();
        QTest::keyClick(w->DBComboBox1, Qt::Key_Delete);
        QTest::keyClicks(w->DBComboBox1, c.choice);
    } else {
        const int item = w->DBComboBox1->findText(c.choice);
        ASSERT_GE(item, 0);
        w->DBComboBox1->setFocus();
        if (w->DBComboBox1->currentIndex() == item)  // off the item and back to it
            QTest::keyClick(w->DBComboBox1, item == 0 ? Qt::Key_Down : Qt::Key_Up);
        while (w->DBComboBox1->currentIndex() != item)
            QTest::keyClick(w->DBComboBox1, item > w->DBComboBox1->currentIndex() ? Qt::Key_Down : Qt::Key_Up);
    }
    EXPECT_EQ(w->ATConsomation->State(), TDataSetState::dsEdit);
    click(w, TNavigateBtn::nbPost);
    EXPECT_EQ(storedArticles(), QStringList({QString("Coca|2.00|") + c.stored + "|01"}));
}

TEST_F(ArticleTest, DeleteAsksFirstAndOnlyMarksTheRow) {
    TFArticle* w = openArticles(kDrinks);
    type(w->DBLookupComboPlus1, "la");
    dialogs_.confirmAnswer = false;
    click(w, TNavigateBtn::nbDelete);
    EXPECT_EQ(dialogs_.confirmations, QStringList({"Supprimer l'enregistrement ?"}));
    EXPECT_EQ(storedArticles().value(1), "Lait|1.20|6.00|02");
    dialogs_.confirmAnswer = true;
    click(w, TNavigateBtn::nbDelete);
    EXPECT_EQ(storedArticles(), QStringList({"Limonade|1.60|21.00|03", "*Lait|1.20|6.00|02", "Coca|2.00|21.00|01"}));
    EXPECT_EQ(w->DBLookupComboPlus1->text(), "Limonade");  // the next by name
    EXPECT_EQ(walkList(w->DBLookupComboPlus1), QStringList({"Coca", "Limonade"}));

    // Gone from the till at its next show, and from the article list.
    menuAction(w, "Caisse2")->trigger();
    TFCaisse* till = program().FCaisse;
    EXPECT_EQ(till->MultiLineButton[1]->text(), "Coca");
    EXPECT_EQ(till->MultiLineButton[2]->text(), "Limonade");
    EXPECT_EQ(till->MultiLineButton[3]->text(), "Limonade");
    std::vector<PageModel> lists;
    PreviewHookScope hook([&](TQuickRep&, TPreviewWindow& p) { lists.push_back(p.model()); });
    program().report(TProgram::Window::ImpArticle).Preview();
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(lists[0].pages.at(0).textsOf("QRDBText1"), QStringList({"Coca", "Limonade"}));
}

TEST_F(ArticleTest, NavigatorFollowsTheHandle) {
    prepare({});
    start();
    TFArticle* w = program().FArticle;
    EXPECT_EQ(navigatorState(w), "00000000");  // not opened before its first show
    program().showWindow(program().FMenu);
    menuAction(program().FMenu, "Articles1")->trigger();
    EXPECT_EQ(navigatorState(w), "00101001");  // an empty view
    QTest::mouseClick(w->BitBtn1, Qt::LeftButton);
    click(w, TNavigateBtn::nbInsert);
    retype(w->DBEdit1, "Biere");
    click(w, TNavigateBtn::nbPost);
    // Previous and next stay available until a move runs into an end of the
    // view, as the handle's Bof and Eof say.
    click(w, TNavigateBtn::nbPrior);
    EXPECT_EQ(navigatorState(w), "11111001");
    click(w, TNavigateBtn::nbPrior);
    EXPECT_EQ(navigatorState(w), "01111001");  // the start of the view
    click(w, TNavigateBtn::nbNext);
    click(w, TNavigateBtn::nbNext);
    EXPECT_EQ(navigatorState(w), "10111001");  // the end of the view
    click(w, TNavigateBtn::nbEdit);
    EXPECT_EQ(navigatorState(w), "10110111");
    click(w, TNavigateBtn::nbCancel);
    EXPECT_EQ(w->ATConsomation->State(), TDataSetState::dsBrowse);
}

TEST_F(ArticleTest, MovingWritesAChangedRowAndNothingForAnUnchangedOne) {
    TFArticle* w = openArticles(kDrinks);
    auto bytes = [&] {
        QFile f(path("consomation.DBF"));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    };
    const QByteArray before = bytes();
    click(w, TNavigateBtn::nbEdit);
    click(w, TNavigateBtn::nbNext);
    EXPECT_EQ(w->ATConsomation->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(bytes(), before);  // not even the date of the last update
    retype(w->DBEdit2, "1,75");  // typing starts editing Lait
    EXPECT_EQ(w->ATConsomation->State(), TDataSetState::dsEdit);
    click(w, TNavigateBtn::nbNext);
    EXPECT_EQ(storedArticles().value(1), "Lait|1.75|6.00|02");
    retype(w->DBEdit1, "Limonade maison");
    type(w->DBLookupComboPlus1, "c");  // the search box moves too
    EXPECT_EQ(storedArticles().value(0), "Limonade maison|1.60|21.00|03");
}

TEST_F(ArticleTest, RefusedTextsKeepTheRowInEdit) {
    TFArticle* w = openArticles(kDrinks);
    retype(w->DBEdit2, "1,5x");
    click(w, TNavigateBtn::nbNext);
    EXPECT_EQ(dialogs_.errors.join('\n').toStdString(),
              "'1,5x' n'est pas une valeur flottante correcte pour le champ 'PRIX'");
    EXPECT_EQ(w->ATConsomation->State(), TDataSetState::dsEdit);
    EXPECT_EQ(w->DBEdit1->text(), "Coca");  // the row did not move
    EXPECT_EQ(w->DBEdit2->text(), "1,5x");
    // A price too wide for its field: the layer's error on saving.
    dialogs_.errors.clear();
    retype(w->DBEdit2, "123456789");
    click(w, TNavigateBtn::nbPost);
    EXPECT_EQ(dialogs_.errors, QStringList({"Translate error. Value out of bounds"}));
    EXPECT_EQ(w->ATConsomation->State(), TDataSetState::dsEdit);
    EXPECT_EQ(storedArticles().value(2), "Coca|2.00|21.00|01");
    // Closing saves the row being edited (no hidden window keeps a pending
    // change); the main window comes back.
    retype(w->DBEdit2, "2,20");
    menuAction(w, "Quiter1")->trigger();
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(program().FMenu->isVisible());
    EXPECT_EQ(storedArticles().value(2), "Coca|2.20|21.00|01");
}

TEST_F(ArticleTest, BothIndexesFollowEditsInsertsAndDeletions) {
    TFArticle* w = openArticles(numberedArticles(12));
    for (int i = 0; i < 5; ++i) {  // new articles between the others
        click(w, TNavigateBtn::nbInsert);
        retype(w->DBEdit1, QStringLiteral("article %1b").arg(i * 2));
        retype(w->DBEdit3, QStringLiteral("%1").arg(i * 3));
        QTest::mouseClick(w->BitBtn2, Qt::LeftButton);
    }
    QTest::keyClick(w->DBLookupComboPlus1, Qt::Key_Escape);
    type(w->DBLookupComboPlus1, "article 7");
    retype(w->DBEdit1, "Zinzin");  // moves to the end by name
    retype(w->DBEdit3, "00");      // and to the start by order
    click(w, TNavigateBtn::nbPost);
    for (int i = 0; i < 4; ++i) {  // every other article from the first
        click(w, TNavigateBtn::nbNext);
        click(w, TNavigateBtn::nbDelete);
    }
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join('|').toStdString();
    EXPECT_EQ(storedArticles().size(), 17);
    EXPECT_EQ(indexOrder("consomation.ntx"), sortedOrder(0));
    EXPECT_EQ(indexOrder("ordre.ntx"), sortedOrder(3));
    EXPECT_EQ(indexOrder("ordre.ntx").size(), 13);
}

TEST_F(ArticleTest, TheTillShowsTheSavedPriceListAtItsNextShow) {
    TFArticle* w = openArticles(kDrinks);
    type(w->DBLookupComboPlus1, "li");
    QTest::mouseClick(w->BitBtn4, Qt::LeftButton);
    retype(w->DBEdit3, "00");
    click(w, TNavigateBtn::nbPost);
    menuAction(w, "Articles1")->trigger();  // this window's "Articles" leads to the till
    TFCaisse* till = program().FCaisse;
    ASSERT_TRUE(till->isVisible());
    EXPECT_EQ(till->MultiLineButton[1]->text(), "Limonade");
    EXPECT_EQ(till->PrixArticle[1], 2.5);
    EXPECT_EQ(till->TVAArticle[1], 21);
    EXPECT_EQ(till->MultiLineButton[2]->text(), "Coca");
}

}  // namespace

namespace {

TEST_F(ArticleTest, BackFromTheAboutBoxOnTheFirstArticleBackFromAMessageWhereItWas) {
    TFArticle* w = openArticles(kDrinks);
    type(w->DBLookupComboPlus1, "li");
    QTest::keyClick(w->DBLookupComboPlus1, Qt::Key_Return);
    program().showAbout(program().FArticle);
    QApplication::setActiveWindow(program().window(TProgram::Window::About));
    QApplication::setActiveWindow(w);
    EXPECT_EQ(w->DBLookupComboPlus1->text(), "Coca");  // activation again
    type(w->DBLookupComboPlus1, "li");
    QTest::keyClick(w->DBLookupComboPlus1, Qt::Key_Return);
    QWidget box;  // a message box, which is none of the program's windows
    box.show();
    QApplication::setActiveWindow(&box);
    QApplication::setActiveWindow(w);
    EXPECT_EQ(w->DBLookupComboPlus1->text(), "Limonade");
}

TEST_F(ArticleTest, TheNavigatorIsWorkedWithTheKeyboardToo) {
    TFArticle* w = openArticles(kDrinks);
    w->DBNavigator1->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w->DBNavigator1, Qt::Key_Space);  // previous, unavailable on the first row
    EXPECT_EQ(w->DBEdit1->text(), "Coca");
    QTest::keyClick(w->DBNavigator1, Qt::Key_Right);
    QTest::keyClick(w->DBNavigator1, Qt::Key_Space);
    EXPECT_EQ(w->DBEdit1->text(), "Lait");
    QTest::keyClick(w->DBNavigator1, Qt::Key_Right);
    EXPECT_EQ(w->DBNavigator1->focusedButton(), TNavigateBtn::nbInsert);
    QTest::keyClick(w->DBNavigator1, Qt::Key_Space);
    EXPECT_EQ(w->ATConsomation->State(), TDataSetState::dsInsert);
}

}  // namespace
