#include "backoffice/fond.h"

#include "ui/main_menu.h"

TFFond::TFFond(TProgram& program)
    : TSwitchedForm(program, "FFond", QStringLiteral("Gestion du fond de caisse"), 467, 252) {
    ATConfig = new TApolloTable("ATConfig", this);
    ATConfig->setTableName("config.DBF");
    ATVente = new TApolloTable("ATVente", this);
    ATVente->setTableName("vente.dbf");
    DSConfig = new TDataSource(this);
    DSConfig->setDataSet(ATConfig);
    DSVente = new TDataSource(this);
    DSVente->setDataSet(ATVente);

    MenuActions menu = program.mainMenuActions(this);
    setInert(menu, {MenuEntry::FondCaisse});
    setAbsent(menu, {MenuEntry::ImpCaisse, MenuEntry::VenteArt});
    buildMainMenu(this, menu);

    creationStep([this] {
        ATConfig->Open();
        ATVente->Open();
    });
}
