#include "app/program.h"

#include <QApplication>
#include <QFileInfo>
#include <QWindow>
#include <stdexcept>

#include "app/about_box.h"
#include "app/menu.h"
#include "common/dialogs.h"
#include "store/apollo_table.h"
#include "backoffice/article.h"
#include "backoffice/fond.h"
#include "backoffice/pts_res.h"
#include "backoffice/ticket_search.h"
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
#include "ui/form.h"

Program::Program() = default;

// Windows go in the reverse order of their making: a report host may print
// a table of a window made before it.
Program::~Program() {
    while (!windows_.empty()) windows_.pop_back();
    TApolloTable::setIndexRepairNotice(nullptr);
}

template <class W>
W* Program::make(W*& slot) {
    std::unique_ptr<W> window;
    if constexpr (std::is_constructible_v<W, TProgram&>) {
        window = std::make_unique<W>(*this);
    } else {
        window = std::make_unique<W>();
    }
    slot = window.get();
    windows_.push_back(std::move(window));
    return slot;
}

// An index rebuilt from its table is said once, after the step that met it
// (a move may run inside a grid's painting, where no box may open).
void Program::announceIndexRepairs() {
    TApolloTable::setIndexRepairNotice([](const QString& path) {
        const QString text = QStringLiteral("L'index %1 était endommagé ; il a été reconstruit à partir de sa table.")
                                 .arg(QFileInfo(path).fileName());
        QMetaObject::invokeMethod(
            qApp, [text] { dialogs().showMessage(text); }, Qt::QueuedConnection);
    });
}

void Program::create() {
    announceIndexRepairs();
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

QWidget* Program::window(Window w) const {
    switch (w) {
    case Window::Menu: return FMenu;
    case Window::Caisse: return FCaisse;
    case Window::Ticket: return FTicket;
    case Window::Article: return FArticle;
    case Window::ImpVentart: return FImpVentart;
    case Window::About: return AboutBox;
    case Window::Fond: return FFond;
    case Window::Arbitre: return FArbitre;
    case Window::ImpArticle: return FImpArticle;
    case Window::ImpTicket: return FImpTicket;
    case Window::PtsRES: return FPtsRES;
    case Window::ImpPtsRES: return FImpPtsRES;
    case Window::RImpCaisse: return FRImpCaisse;
    case Window::Ventart: return FVentart;
    case Window::ImpVente: return FImpVente;
    case Window::Impartcom: return FImpartcom;
    }
    return nullptr;
}

TReportHost& Program::report(Window w) const {
    TReportHost* host = nullptr;
    switch (w) {
    case Window::ImpVentart: host = FImpVentart; break;
    case Window::ImpArticle: host = FImpArticle; break;
    case Window::ImpTicket: host = FImpTicket; break;
    case Window::ImpPtsRES: host = FImpPtsRES; break;
    case Window::ImpVente: host = FImpVente; break;
    case Window::Impartcom: host = FImpartcom; break;
    default: throw std::logic_error("not a report window");
    }
    if (!host) throw std::logic_error("report window not made yet");
    return *host;
}

void Program::switchTo(QWidget* from, QWidget* to) {
    // A window whose row cannot be saved is not left.
    if (auto* form = qobject_cast<TForm*>(from); form && !form->canLeave()) return;
    from->hide();
    showWindow(to);
}

void Program::showWindow(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
}

void Program::showOver(QWidget* window, QWidget* owner) {
    window->winId();  // the native window, to name its owner
    QWindow* ownerHandle = owner ? owner->window()->windowHandle() : nullptr;
    if (ownerHandle && ownerHandle != window->windowHandle())
        window->windowHandle()->setTransientParent(ownerHandle);
    showWindow(window);
}

void Program::showAbout(QWidget* owner) { showOver(AboutBox, owner); }

void Program::end() {
    if (ended_) return;
    ended_ = true;
    emit finished();
}

MenuActions Program::mainMenuActions(QMainWindow* window) {
    auto switchTo = [this, window](Window target) {
        return [this, window, target] { this->switchTo(window, this->window(target)); };
    };
    auto preview = [this](Window target) { return [this, target] { report(target).Preview(); }; };
    return {
        {MenuEntry::Caisse, switchTo(Window::Caisse)},
        {MenuEntry::Articles, switchTo(Window::Article)},
        {MenuEntry::FondCaisse, switchTo(Window::Fond)},
        {MenuEntry::Quitter, [window] { window->close(); }},
        {MenuEntry::ImpArticles, preview(Window::ImpArticle)},
        {MenuEntry::ImpPtsRes, preview(Window::ImpPtsRES)},
        {MenuEntry::ImpCaisse, switchTo(Window::RImpCaisse)},
        {MenuEntry::VenteArt, switchTo(Window::Ventart)},
        {MenuEntry::APropos, [this, window] { showAbout(window); }},
    };
}
