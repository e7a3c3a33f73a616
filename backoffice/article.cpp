#include "backoffice/article.h"

#include "app/main_menu.h"
#include "app/program.h"
#include "till/caisse.h"

TFArticle::TFArticle(Program& program)
    : TSwitchedForm(program, "FArticle", QStringLiteral("Gestion des articles"), 539, 315) {
    // "Articles" of this window leads to the till, like "Caisse".
    Program* p = &program;
    buildMainMenu(this, {
        {MenuEntry::Caisse, [this, p] { p->switchTo(this, p->FCaisse); }},
        {MenuEntry::Articles, [this, p] { p->switchTo(this, p->FCaisse); }},
        {MenuEntry::Quitter, [this] { close(); }},
        {MenuEntry::APropos, [p] { p->showAbout(); }},
    });
}
