// The menu MainMenu1 that the main window carries and that five other windows
// copy: the same entries under the same component names, some of them left
// out and some doing nothing, as each window wants.
#pragma once

#include <QString>
#include <functional>
#include <initializer_list>
#include <map>

class QMainWindow;

enum class MenuEntry {
    Caisse,      // Gestion / "Caisse"          (Caisse2)
    Articles,    // Gestion / "Articles"        (Articles1)
    FondCaisse,  // Gestion / "Fond caisse"     (Fondcaisse1)
    Quitter,     // Gestion / "Quitter"         (Quiter1)
    ImpArticles, // Impression / "Articles"     (Articles2)
    ImpPtsRes,   // Impression / "Pts RES"      (PtsRES1)
    ImpCaisse,   // Impression / "Caisse"       (Caisse3)
    VenteArt,    // Impression / "Vente / Art." (VenteArt1)
    APropos,     // Aide / "A propos ..."       (Apropos1)
};

// An entry missing from the map is absent from the menu; an entry mapped to
// an empty function is there and does nothing when chosen. A menu whose
// entries are all absent is left out ("Impression" of the article window).
using MenuActions = std::map<MenuEntry, std::function<void()>>;

void buildMainMenu(QMainWindow* window, const MenuActions& actions);

// Makes the entries present but inert, or removes them from the menu.
void setInert(MenuActions& actions, std::initializer_list<MenuEntry> entries);
void setAbsent(MenuActions& actions, std::initializer_list<MenuEntry> entries);
