// What every window knows of the program object: the sixteen windows, the
// moves between them and the actions of the main menu. The program object in
// app/ makes the windows and implements this; a window reaches another only
// through it, never through app/.
//
// A window may use the typed pointers of the windows whose folder it may
// include (a report host reads the till); to show or preview a window of a
// higher folder (the till shows the receipt) it uses window() and report().
#pragma once

#include "ui/main_menu.h"

class QMainWindow;
class QWidget;
class TReportHost;

class TFMenu;
class TFCaisse;
class TFTicket;
class TFArticle;
class TFImpVentart;
class TAboutBox;
class TFFond;
class TFArbitre;
class TFImpArticle;
class TFImpTicket;
class TFPtsRES;
class TFImpPtsRES;
class TFRImpCaisse;
class TFVentart;
class TFImpVente;
class TFImpartcom;

class TProgram {
public:
    // The windows in their order of creation.
    enum class Window {
        Menu, Caisse, Ticket, Article, ImpVentart, About, Fond, Arbitre,
        ImpArticle, ImpTicket, PtsRES, ImpPtsRES, RImpCaisse, Ventart, ImpVente, Impartcom
    };

    virtual ~TProgram() = default;

    // A window as a widget, or nullptr before it is made.
    virtual QWidget* window(Window w) const = 0;
    // One of the six report hosts (ImpVentart, ImpArticle, ImpTicket,
    // ImpPtsRES, ImpVente, Impartcom); std::logic_error for another window.
    virtual TReportHost& report(Window w) const = 0;

    // Hides `from`, then shows `to`: the target runs its show steps.
    virtual void switchTo(QWidget* from, QWidget* to) = 0;
    // Shows a window, or brings it to the front when it is already shown.
    virtual void showWindow(QWidget* window) = 0;
    void showWindow(Window w) { showWindow(window(w)); }
    // Shows `window` over `owner`, which stays usable behind it: the window
    // manager keeps it above its owner (transient for it), not modal.
    virtual void showOver(QWidget* window, QWidget* owner) = 0;
    void showOver(Window w, QWidget* owner) { showOver(window(w), owner); }
    // Shows the about box over `owner`, the window whose menu asked for it.
    virtual void showAbout(QWidget* owner) = 0;
    // The main window was closed: the program ends.
    virtual void end() = 0;

    // Every entry of the main menu acting as on the main window, for
    // `window`: the switches hide `window` first, "Quitter" closes it. Each
    // window's copy of the menu trims this.
    virtual MenuActions mainMenuActions(QMainWindow* window) = 0;

    TFMenu* FMenu = nullptr;
    TFCaisse* FCaisse = nullptr;
    TFTicket* FTicket = nullptr;
    TFArticle* FArticle = nullptr;
    TFImpVentart* FImpVentart = nullptr;
    TAboutBox* AboutBox = nullptr;
    TFFond* FFond = nullptr;
    TFArbitre* FArbitre = nullptr;
    TFImpArticle* FImpArticle = nullptr;
    TFImpTicket* FImpTicket = nullptr;
    TFPtsRES* FPtsRES = nullptr;
    TFImpPtsRES* FImpPtsRES = nullptr;
    TFRImpCaisse* FRImpCaisse = nullptr;
    TFVentart* FVentart = nullptr;
    TFImpVente* FImpVente = nullptr;
    TFImpartcom* FImpartcom = nullptr;
};
