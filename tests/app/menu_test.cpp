// The main menu and its copies: every entry of every window does what its
// window wants, one switched window is visible at a time, and "Quitter"
// returns to the main window or, on the main window, ends the program.
#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "app/about_box.h"
#include "app/menu.h"
#include "backoffice/article.h"
#include "backoffice/fond.h"
#include "tests/support/program_fixture.h"
#include "tests/support/report_fixture.h"
#include "reports/rimpression_caisse.h"
#include "reports/vent_art.h"
#include "till/caisse.h"

namespace {

QAction* entry(QMainWindow* w, const char* component) {
    return w->menuBar()->findChild<QAction*>(QString::fromLatin1(component));
}

}  // namespace

class MenuTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        install();
        start();
        program().showWindow(program().FMenu);
    }

    // The switched windows that are visible now, by name.
    QStringList visible() {
        QStringList names;
        for (QWidget* w : switched())
            if (w->isVisible()) names << w->objectName();
        return names;
    }
    std::vector<QMainWindow*> switched() {
        Program& p = program();
        return {p.FMenu, p.FCaisse, p.FArticle, p.FFond, p.FRImpCaisse, p.FVentart};
    }
    // Shows `w` the way the menus do (from the main window).
    void reach(QMainWindow* w) {
        if (w != program().FMenu) program().switchTo(program().FMenu, w);
    }
    void choose(QMainWindow* w, const char* component) {
        QAction* a = entry(w, component);
        ASSERT_NE(a, nullptr) << component;
        a->trigger();
    }
};

TEST_F(MenuTest, MainMenuHasTheEntriesInOrderWithoutShortcuts) {
    QMenuBar* bar = program().FMenu->menuBar();
    QStringList seen;
    for (QAction* top : bar->actions()) {
        seen << top->text();
        for (QAction* a : top->menu()->actions()) {
            seen << (a->isSeparator() ? QString("-") : a->text());
            EXPECT_TRUE(a->shortcut().isEmpty());
        }
    }
    EXPECT_EQ(seen, QStringList({"Gestion", "Caisse", "Articles", "Fond caisse", "-", "Quitter",
                                 "Impression", "Articles", "Pts RES", "Caisse", "Vente / Art.",
                                 "Aide", "A propos ..."}));
}

TEST_F(MenuTest, EveryCopyHasItsEntriesPresentOrAbsent) {
    struct Expect {
        QMainWindow* window;
        QStringList present;
        QStringList absent;
    };
    Program& p = program();
    const Expect cases[] = {
        {p.FCaisse, {"Caisse2", "Articles1", "Fondcaisse1", "Quiter1", "Articles2", "PtsRES1", "Apropos1"},
         {"Caisse3", "VenteArt1"}},
        {p.FArticle, {"Caisse2", "Articles1", "Quiter1", "Apropos1"},
         {"Fondcaisse1", "Articles2", "PtsRES1", "Caisse3", "VenteArt1", "Impression1"}},
        {p.FFond, {"Caisse2", "Articles1", "Fondcaisse1", "Quiter1", "Articles2", "PtsRES1", "Apropos1"},
         {"Caisse3", "VenteArt1"}},
        {p.FRImpCaisse,
         {"Caisse2", "Articles1", "Fondcaisse1", "Quiter1", "Articles2", "PtsRES1", "Caisse3", "Apropos1"},
         {"VenteArt1"}},
        {p.FVentart,
         {"Caisse2", "Articles1", "Fondcaisse1", "Quiter1", "Articles2", "PtsRES1", "VenteArt1", "Apropos1"},
         {"Caisse3"}},
    };
    for (const Expect& c : cases) {
        for (const QString& name : c.present)
            EXPECT_NE(c.window->menuBar()->findChild<QObject*>(name), nullptr)
                << c.window->objectName().toStdString() << " lacks " << name.toStdString();
        for (const QString& name : c.absent)
            EXPECT_EQ(c.window->menuBar()->findChild<QObject*>(name), nullptr)
                << c.window->objectName().toStdString() << " has " << name.toStdString();
    }
}

TEST_F(MenuTest, SwitchEntriesShowOneWindowAtATime) {
    Program& p = program();
    struct Step {
        QMainWindow* from;
        const char* component;
        QMainWindow* to;  // nullptr: nothing happens
    };
    const Step steps[] = {
        {p.FMenu, "Caisse2", p.FCaisse},       {p.FMenu, "Articles1", p.FArticle},
        {p.FMenu, "Fondcaisse1", p.FFond},     {p.FMenu, "Caisse3", p.FRImpCaisse},
        {p.FMenu, "VenteArt1", p.FVentart},    {p.FCaisse, "Caisse2", nullptr},
        {p.FCaisse, "Articles1", p.FArticle},  {p.FCaisse, "Fondcaisse1", p.FFond},
        {p.FArticle, "Caisse2", p.FCaisse},    {p.FArticle, "Articles1", p.FCaisse},
        {p.FFond, "Caisse2", p.FCaisse},       {p.FFond, "Articles1", p.FArticle},
        {p.FFond, "Fondcaisse1", nullptr},     {p.FRImpCaisse, "Caisse2", p.FCaisse},
        {p.FRImpCaisse, "Articles1", p.FArticle}, {p.FRImpCaisse, "Fondcaisse1", p.FFond},
        {p.FRImpCaisse, "Caisse3", nullptr},   {p.FVentart, "Caisse2", nullptr},
        {p.FVentart, "Articles1", nullptr},    {p.FVentart, "Fondcaisse1", nullptr},
        {p.FVentart, "Articles2", nullptr},    {p.FVentart, "PtsRES1", nullptr},
        {p.FVentart, "VenteArt1", nullptr},    {p.FVentart, "Apropos1", nullptr},
    };
    for (const Step& s : steps) {
        for (QMainWindow* w : switched()) w->hide();
        program().showWindow(s.from);
        choose(s.from, s.component);
        const QString expected = (s.to ? s.to : s.from)->objectName();
        EXPECT_EQ(visible(), QStringList({expected}))
            << s.from->objectName().toStdString() << " / " << s.component;
        EXPECT_FALSE(p.AboutBox->isVisible()) << s.component;
    }
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join("|").toStdString();
}

TEST_F(MenuTest, QuitterReturnsToTheMainWindowOrEndsTheProgram) {
    Program& p = program();
    for (QMainWindow* w : {static_cast<QMainWindow*>(p.FCaisse), static_cast<QMainWindow*>(p.FArticle),
                           static_cast<QMainWindow*>(p.FFond), static_cast<QMainWindow*>(p.FRImpCaisse),
                           static_cast<QMainWindow*>(p.FVentart)}) {
        reach(w);
        choose(w, "Quiter1");
        EXPECT_EQ(visible(), QStringList({"FMenu"})) << w->objectName().toStdString();
        EXPECT_FALSE(p.ended());
    }
    choose(p.FMenu, "Quiter1");
    EXPECT_TRUE(p.ended());
    EXPECT_TRUE(dialogs_.confirmations.isEmpty());
}

TEST_F(MenuTest, AboutEntriesShowTheBoxOverTheWindowThatStaysVisible) {
    Program& p = program();
    for (QMainWindow* w : {static_cast<QMainWindow*>(p.FMenu), static_cast<QMainWindow*>(p.FCaisse),
                           static_cast<QMainWindow*>(p.FArticle), static_cast<QMainWindow*>(p.FFond),
                           static_cast<QMainWindow*>(p.FRImpCaisse)}) {
        for (QMainWindow* other : switched()) other->hide();
        program().showWindow(w);
        choose(w, "Apropos1");
        EXPECT_TRUE(p.AboutBox->isVisible()) << w->objectName().toStdString();
        EXPECT_EQ(visible(), QStringList({w->objectName()}));
        p.AboutBox->hide();
    }
}

TEST_F(MenuTest, PreviewEntriesShowTheirReportAndLeaveTheWindowVisible) {
    Program& p = program();
    QStringList previews;
    PreviewHookScope hook([&](TQuickRep& rep, TPreviewWindow&) { previews << rep.Name(); });
    for (QMainWindow* w : {static_cast<QMainWindow*>(p.FMenu), static_cast<QMainWindow*>(p.FCaisse),
                           static_cast<QMainWindow*>(p.FFond), static_cast<QMainWindow*>(p.FRImpCaisse)}) {
        for (QMainWindow* other : switched()) other->hide();
        program().showWindow(w);
        choose(w, "Articles2");
        choose(w, "PtsRES1");
        EXPECT_EQ(previews, QStringList({"QRImpArticle", "QRImpPtsRES"})) << w->objectName().toStdString();
        previews.clear();
        EXPECT_EQ(visible(), QStringList({w->objectName()}));
    }
}
