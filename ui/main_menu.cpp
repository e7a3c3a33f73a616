#include "ui/main_menu.h"

#include <QAction>
#include <QMainWindow>
#include <QMenuBar>

#include "common/dialogs.h"

namespace {

struct EntryText {
    MenuEntry entry;
    const char* component;
    const char* caption;
};

struct MenuText {
    const char* component;
    const char* caption;
    std::initializer_list<EntryText> entries;
};

// Separator of "Gestion": its own component, Caisse1, between the entries.
const MenuText kMenus[] = {
    {"GESTION1", "Gestion",
     {{MenuEntry::Caisse, "Caisse2", "Caisse"},
      {MenuEntry::Articles, "Articles1", "Articles"},
      {MenuEntry::FondCaisse, "Fondcaisse1", "Fond caisse"},
      {MenuEntry::Quitter, "Quiter1", "Quitter"}}},
    {"Impression1", "Impression",
     {{MenuEntry::ImpArticles, "Articles2", "Articles"},
      {MenuEntry::ImpPtsRes, "PtsRES1", "Pts RES"},
      {MenuEntry::ImpCaisse, "Caisse3", "Caisse"},
      {MenuEntry::VenteArt, "VenteArt1", "Vente / Art."}}},
    {"Aide1", "Aide", {{MenuEntry::APropos, "Apropos1", "A propos ..."}}},
};

// Plain captions: the entries have no accelerator letters, so '&' is not
// used and Qt must not invent any.
QString plain(const char* text) { return QString::fromUtf8(text); }

}  // namespace

void buildMainMenu(QMainWindow* window, const MenuActions& actions) {
    QMenuBar* bar = window->menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    for (const MenuText& menuText : kMenus) {
        bool any = false;
        for (const EntryText& e : menuText.entries) any = any || actions.count(e.entry);
        if (!any) continue;
        QMenu* menu = bar->addMenu(plain(menuText.caption));
        menu->setObjectName(plain(menuText.component));
        for (const EntryText& e : menuText.entries) {
            auto found = actions.find(e.entry);
            if (found == actions.end()) continue;
            if (e.entry == MenuEntry::Quitter) menu->addSeparator()->setObjectName("Caisse1");
            QAction* action = menu->addAction(plain(e.caption));
            action->setObjectName(plain(e.component));
            action->setMenuRole(QAction::NoRole);
            if (std::function<void()> handler = found->second) {
                QObject::connect(action, &QAction::triggered, window, guarded(handler));
            }
        }
    }
}

void setInert(MenuActions& actions, std::initializer_list<MenuEntry> entries) {
    for (MenuEntry e : entries) actions[e] = {};
}

void setAbsent(MenuActions& actions, std::initializer_list<MenuEntry> entries) {
    for (MenuEntry e : entries) actions.erase(e);
}
