#include "backoffice/fond.h"

#include "app/main_menu.h"
#include "app/program.h"
#include "backoffice/article.h"
#include "reports/imp_article.h"
#include "reports/imp_pts_res.h"
#include "till/caisse.h"

TFFond::TFFond(Program& program)
    : TSwitchedForm(program, "FFond", QStringLiteral("Gestion du fond de caisse"), 467, 252) {
    ATConfig = new TApolloTable("ATConfig", this);
    ATConfig->setTableName("config.DBF");
    ATVente = new TApolloTable("ATVente", this);
    ATVente->setTableName("vente.dbf");
    DSConfig = new TDataSource(this);
    DSConfig->setDataSet(ATConfig);
    DSVente = new TDataSource(this);
    DSVente->setDataSet(ATVente);

    Program* p = &program;
    buildMainMenu(this, {
        {MenuEntry::Caisse, [this, p] { p->switchTo(this, p->FCaisse); }},
        {MenuEntry::Articles, [this, p] { p->switchTo(this, p->FArticle); }},
        {MenuEntry::FondCaisse, {}},
        {MenuEntry::Quitter, [this] { close(); }},
        {MenuEntry::ImpArticles, [p] { p->FImpArticle->Preview(); }},
        {MenuEntry::ImpPtsRes, [p] { p->FImpPtsRES->Preview(); }},
        {MenuEntry::APropos, [p] { p->showAbout(); }},
    });

    creationStep([this] {
        ATConfig->Open();
        ATVente->Open();
    });
}
