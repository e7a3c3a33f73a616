#include "reports/vent_art.h"

#include "app/main_menu.h"

TFVentart::TFVentart(Program& program)
    : TSwitchedForm(program, "FVentart", QStringLiteral("Impression des ventes par articles"),
                    395, 500) {
    // Only "Quitter" acts on this window's menu.
    MenuActions menu = mainMenuActions(program, this);
    setInert(menu, {MenuEntry::Caisse, MenuEntry::Articles, MenuEntry::FondCaisse,
                    MenuEntry::ImpArticles, MenuEntry::ImpPtsRes, MenuEntry::VenteArt,
                    MenuEntry::APropos});
    setAbsent(menu, {MenuEntry::ImpCaisse});
    buildMainMenu(this, menu);
    QteVenteConstruite = false;
}
