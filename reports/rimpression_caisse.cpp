#include "reports/rimpression_caisse.h"

#include "ui/main_menu.h"

TFRImpCaisse::TFRImpCaisse(TProgram& program)
    : TSwitchedForm(program, "FRImpCaisse", QStringLiteral("Réimpression du journal de caisse"),
                    450, 300) {
    MenuActions menu = program.mainMenuActions(this);
    setInert(menu, {MenuEntry::ImpCaisse});
    setAbsent(menu, {MenuEntry::VenteArt});
    buildMainMenu(this, menu);
}
