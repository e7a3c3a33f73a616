#include "reports/vent_art.h"

#include "ui/main_menu.h"

TFVentart::TFVentart(TProgram& program)
    : TSwitchedForm(program, "FVentart", QStringLiteral("Impression des ventes par articles"),
                    395, 500) {
    // Only "Quitter" acts on this window's menu.
    MenuActions menu = program.mainMenuActions(this);
    setInert(menu, {MenuEntry::Caisse, MenuEntry::Articles, MenuEntry::FondCaisse,
                    MenuEntry::ImpArticles, MenuEntry::ImpPtsRes, MenuEntry::VenteArt,
                    MenuEntry::APropos});
    setAbsent(menu, {MenuEntry::ImpCaisse});
    buildMainMenu(this, menu);
    QteVenteConstruite = false;
}
