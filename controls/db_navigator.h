// The row navigator: a bar of buttons that move a data source's handle and
// start, save and drop its changes. The article window's has, left to
// right: previous, next, insert, delete, edit, save, cancel, refresh.
#pragma once

#include <QToolButton>
#include <QWidget>
#include <array>

#include "controls/data_link.h"

enum class TNavigateBtn { nbPrior, nbNext, nbInsert, nbDelete, nbEdit, nbPost, nbCancel, nbRefresh };
inline constexpr int kNavigateButtons = 8;

// What the buttons' availability depends on, read from a handle.
struct TNavigatorView {
    bool active = false;     // the handle is open
    bool canModify = false;  // open and not read-only
    bool editing = false;    // a row is being edited or inserted
    bool bof = true;         // on the first row of the view
    bool eof = true;         // past the last row of the view
    bool empty = true;       // the view has no row

    static TNavigatorView of(const TApolloTable* table);
};

// Previous is unavailable at the start of the view and next at its end;
// delete needs a row; edit is for browsing, save and cancel for a row being
// changed; nothing is available on a closed handle, and nothing that changes
// the table on a read-only one.
bool navigatorButtonEnabled(TNavigateBtn button, const TNavigatorView& view);

// The text "Supprimer l'enregistrement ?" of the delete confirmation.
extern const QString kNavigatorConfirmDelete;

class TDBNavigator : public QWidget {
    Q_OBJECT
public:
    explicit TDBNavigator(const QString& name, QWidget* parent = nullptr);

    TDataSource* DataSource() const { return link_.DataSource(); }
    void setDataSource(TDataSource* source) { link_.setDataSource(source); }
    // Delete asks "Supprimer l'enregistrement ?" first (on by default).
    bool ConfirmDelete() const { return confirmDelete_; }
    void setConfirmDelete(bool on) { confirmDelete_ = on; }

    QToolButton* button(TNavigateBtn b) const { return buttons_[static_cast<size_t>(b)]; }
    // What a click on a button does (its errors reach the caller).
    void BtnClick(TNavigateBtn b);
    // The button that Space presses; Left and Right move it.
    TNavigateBtn focusedButton() const { return focused_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void updateButtons();
    void markFocused();

    TFieldDataLink link_;
    std::array<QToolButton*, kNavigateButtons> buttons_{};
    TNavigateBtn focused_ = TNavigateBtn::nbPrior;
    bool confirmDelete_ = true;
};
