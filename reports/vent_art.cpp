#include "reports/vent_art.h"

#include "app/main_menu.h"

TFVentart::TFVentart(Program& program)
    : TSwitchedForm(program, "FVentart", QStringLiteral("Impression des ventes par articles"),
                    395, 500) {
    // Only "Quitter" acts on this window's menu.
    buildMainMenu(this, {
        {MenuEntry::Caisse, {}},
        {MenuEntry::Articles, {}},
        {MenuEntry::FondCaisse, {}},
        {MenuEntry::Quitter, [this] { close(); }},
        {MenuEntry::ImpArticles, {}},
        {MenuEntry::ImpPtsRes, {}},
        {MenuEntry::VenteArt, {}},
        {MenuEntry::APropos, {}},
    });
    QteVenteConstruite = false;
}
