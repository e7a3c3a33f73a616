// The program object: creates the sixteen windows, one instance each, in
// their fixed order, owns them until the end, and moves between them. A test
// builds a whole program on a data folder, drives it and drops it.
#pragma once

#include <QObject>
#include <memory>

class QWidget;
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

class Program : public QObject {
    Q_OBJECT
public:
    Program();
    ~Program() override;

    // Creates the windows in order, each running its creation step (the
    // data folder is the working folder). An error of a table that a window
    // opens as it is loaded is let through: start-up stops.
    void create();

    // Hides `from`, then shows `to`: the target runs its show steps.
    void switchTo(QWidget* from, QWidget* to);
    // Shows a window, or brings it to the front when it is already shown.
    void showWindow(QWidget* window);
    // Shows the about box on top of the current window.
    void showAbout();

    // The main window was closed: the program ends.
    bool ended() const { return ended_; }
    void end();

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

signals:
    void finished();

private:
    template <class W>
    W* make(W*& slot);

    std::vector<std::unique_ptr<QWidget>> windows_;  // in creation order
    bool ended_ = false;
};
