#include "app/program.h"

#include "app/about_box.h"
#include "app/menu.h"
#include "backoffice/article.h"
#include "backoffice/fond.h"
#include "backoffice/pts_res.h"
#include "backoffice/ticket.h"
#include "reports/imp_article.h"
#include "reports/imp_artcom.h"
#include "reports/imp_pts_res.h"
#include "reports/imp_ticket.h"
#include "reports/imp_vent_art.h"
#include "reports/imp_vente.h"
#include "reports/rimpression_caisse.h"
#include "reports/vent_art.h"
#include "till/arbitre.h"
#include "till/caisse.h"

Program::Program() = default;

// Windows go in the reverse order of their making: a report host may print
// a table of a window made before it.
Program::~Program() {
    while (!windows_.empty()) windows_.pop_back();
}

template <class W>
W* Program::make(W*& slot) {
    std::unique_ptr<W> window;
    if constexpr (std::is_constructible_v<W, Program&>) {
        window = std::make_unique<W>(*this);
    } else {
        window = std::make_unique<W>();
    }
    slot = window.get();
    windows_.push_back(std::move(window));
    return slot;
}

void Program::create() {
    make(FMenu);
    make(FCaisse);
    make(FTicket);
    make(FArticle);
    make(FImpVentart);
    make(AboutBox);
    make(FFond);
    make(FArbitre);
    make(FImpArticle);
    make(FImpTicket);
    make(FPtsRES);
    make(FImpPtsRES);
    make(FRImpCaisse);
    make(FVentart);
    make(FImpVente);
    make(FImpartcom);
}

void Program::switchTo(QWidget* from, QWidget* to) {
    from->hide();
    showWindow(to);
}

void Program::showWindow(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
}

void Program::showAbout() { showWindow(AboutBox); }

void Program::end() {
    if (ended_) return;
    ended_ = true;
    emit finished();
}
