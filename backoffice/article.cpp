#include "backoffice/article.h"

#include "ui/main_menu.h"

TFArticle::TFArticle(TProgram& program)
    : TSwitchedForm(program, "FArticle", QStringLiteral("Gestion des articles"), 539, 315) {
    // "Articles" of this window leads to the till, like "Caisse"; it has
    // no "Impression" menu.
    MenuActions menu = program.mainMenuActions(this);
    menu[MenuEntry::Articles] = menu[MenuEntry::Caisse];
    setAbsent(menu, {MenuEntry::FondCaisse, MenuEntry::ImpArticles, MenuEntry::ImpPtsRes,
                     MenuEntry::ImpCaisse, MenuEntry::VenteArt});
    buildMainMenu(this, menu);
}
