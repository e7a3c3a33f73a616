#include "reports/rimpression_caisse.h"

#include "app/main_menu.h"

TFRImpCaisse::TFRImpCaisse(Program& program)
    : TSwitchedForm(program, "FRImpCaisse", QStringLiteral("Réimpression du journal de caisse"),
                    450, 300) {
    MenuActions menu = mainMenuActions(program, this);
    setInert(menu, {MenuEntry::ImpCaisse});
    setAbsent(menu, {MenuEntry::VenteArt});
    buildMainMenu(this, menu);
}
