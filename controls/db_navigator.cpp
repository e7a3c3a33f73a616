#include "controls/db_navigator.h"

#include <QKeyEvent>
#include <algorithm>

#include "common/dialogs.h"
#include "store/apollo_table.h"

const QString kNavigatorConfirmDelete = QStringLiteral("Supprimer l'enregistrement ?");

TNavigatorView TNavigatorView::of(const TApolloTable* table) {
    TNavigatorView v;
    if (!table || !table->Active()) return v;
    v.active = true;
    v.canModify = !table->ReadOnly();
    v.editing = table->Editing();
    v.bof = table->Bof();
    v.eof = table->Eof();
    v.empty = table->RecNo() == 0;
    return v;
}

bool navigatorButtonEnabled(TNavigateBtn button, const TNavigatorView& v) {
    if (!v.active) return false;
    switch (button) {
        case TNavigateBtn::nbPrior: return !v.bof;
        case TNavigateBtn::nbNext: return !v.eof;
        case TNavigateBtn::nbDelete: return v.canModify && !v.empty;
        case TNavigateBtn::nbEdit: return v.canModify && !v.editing;
        case TNavigateBtn::nbPost:
        case TNavigateBtn::nbCancel: return v.canModify && v.editing;
        case TNavigateBtn::nbInsert:
        case TNavigateBtn::nbRefresh: return v.canModify;
    }
    return false;
}

namespace {

struct ButtonLook {
    const char* name;
    const char* glyph;
    const char* hint;
};
// Glyphs drawn with text, so that no picture file is needed.
constexpr std::array<ButtonLook, kNavigateButtons> kLooks = {{
    {"Prior", "\u25C0", "Enregistrement précédent"},
    {"Next", "\u25B6", "Enregistrement suivant"},
    {"Insert", "+", "Insérer un enregistrement"},
    {"Delete", "\u2212", "Supprimer l'enregistrement"},
    {"Edit", "\u25B2", "Modifier l'enregistrement"},
    {"Post", "\u2714", "Valider la modification"},
    {"Cancel", "\u2716", "Annuler la modification"},
    {"Refresh", "\u21BB", "Rafraîchir les données"},
}};

}  // namespace

TDBNavigator::TDBNavigator(const QString& name, QWidget* parent) : QWidget(parent) {
    setObjectName(name);
    // Reached with Tab; a click on a button leaves the focus in the field
    // being typed into, whose text the move then writes (once).
    setFocusPolicy(Qt::TabFocus);
    for (int i = 0; i < kNavigateButtons; ++i) {
        const auto b = static_cast<TNavigateBtn>(i);
        auto* button = new QToolButton(this);
        button->setObjectName(QLatin1String(kLooks[static_cast<size_t>(i)].name));
        button->setText(QString::fromUtf8(kLooks[static_cast<size_t>(i)].glyph));
        button->setToolTip(QString::fromUtf8(kLooks[static_cast<size_t>(i)].hint));
        button->setFocusPolicy(Qt::NoFocus);  // a click leaves the focus where it is
        connect(button, &QToolButton::clicked, this, guarded([this, b] { BtnClick(b); }));
        buttons_[static_cast<size_t>(i)] = button;
    }
    connect(&link_, &TFieldDataLink::changed, this, &TDBNavigator::updateButtons);
    updateButtons();
}

void TDBNavigator::updateButtons() {
    const TNavigatorView view = TNavigatorView::of(link_.table());
    for (int i = 0; i < kNavigateButtons; ++i)
        buttons_[static_cast<size_t>(i)]->setEnabled(
            navigatorButtonEnabled(static_cast<TNavigateBtn>(i), view));
}

void TDBNavigator::BtnClick(TNavigateBtn b) {
    TApolloTable* t = link_.table();
    if (!t) return;
    switch (b) {
        case TNavigateBtn::nbPrior: t->Prior(); break;
        case TNavigateBtn::nbNext: t->Next(); break;
        case TNavigateBtn::nbInsert: t->Insert(); break;
        case TNavigateBtn::nbDelete:
            if (!confirmDelete_ || dialogs().confirm(kNavigatorConfirmDelete)) t->Delete();
            break;
        case TNavigateBtn::nbEdit: t->Edit(); break;
        case TNavigateBtn::nbPost: t->Post(); break;
        case TNavigateBtn::nbCancel: t->Cancel(); break;
        case TNavigateBtn::nbRefresh: t->Refresh(); break;
    }
}

// The buttons share the width; what is left over goes to the first ones.
void TDBNavigator::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int w = width() / kNavigateButtons;
    int extra = width() % kNavigateButtons;
    for (int i = 0, x = 0; i < kNavigateButtons; ++i) {
        const int bw = w + (extra-- > 0 ? 1 : 0);
        buttons_[static_cast<size_t>(i)]->setGeometry(x, 0, bw, height());
        x += bw;
    }
}

void TDBNavigator::keyPressEvent(QKeyEvent* event) {
    int at = static_cast<int>(focused_);
    switch (event->key()) {
        case Qt::Key_Right: at = std::min(at + 1, kNavigateButtons - 1); break;
        case Qt::Key_Left: at = std::max(at - 1, 0); break;
        case Qt::Key_Space:
            if (button(focused_)->isEnabled()) button(focused_)->click();
            return;
        default: QWidget::keyPressEvent(event); return;
    }
    focused_ = static_cast<TNavigateBtn>(at);
    markFocused();
}

void TDBNavigator::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    markFocused();
}

void TDBNavigator::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    markFocused();
}

// The button Space would press is underlined while the navigator has the focus.
void TDBNavigator::markFocused() {
    for (int i = 0; i < kNavigateButtons; ++i) {
        QFont f = buttons_[static_cast<size_t>(i)]->font();
        f.setUnderline(hasFocus() && i == static_cast<int>(focused_));
        buttons_[static_cast<size_t>(i)]->setFont(f);
    }
}
