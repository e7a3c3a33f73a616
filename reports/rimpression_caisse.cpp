#include "reports/rimpression_caisse.h"

#include "app/main_menu.h"
#include "app/program.h"
#include "backoffice/article.h"
#include "backoffice/fond.h"
#include "reports/imp_article.h"
#include "reports/imp_pts_res.h"
#include "till/caisse.h"

TFRImpCaisse::TFRImpCaisse(Program& program)
    : TSwitchedForm(program, "FRImpCaisse", QStringLiteral("Réimpression du journal de caisse"),
                    450, 300) {
    Program* p = &program;
    buildMainMenu(this, {
        {MenuEntry::Caisse, [this, p] { p->switchTo(this, p->FCaisse); }},
        {MenuEntry::Articles, [this, p] { p->switchTo(this, p->FArticle); }},
        {MenuEntry::FondCaisse, [this, p] { p->switchTo(this, p->FFond); }},
        {MenuEntry::Quitter, [this] { close(); }},
        {MenuEntry::ImpArticles, [p] { p->FImpArticle->Preview(); }},
        {MenuEntry::ImpPtsRes, [p] { p->FImpPtsRES->Preview(); }},
        {MenuEntry::ImpCaisse, {}},
        {MenuEntry::APropos, [p] { p->showAbout(); }},
    });
}
