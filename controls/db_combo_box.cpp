#include "controls/db_combo_box.h"

#include <QFocusEvent>
#include <QLineEdit>

#include "common/dialogs.h"

TDBComboBox::TDBComboBox(const QString& name, QWidget* parent)
    : QComboBox(parent),
      link_(this, [this] { return currentText(); }, [this](const QString& t) { setEditText(t); }) {
    setObjectName(name);
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);  // a typed rate is not added to the items
    setEditText(QString());
    connect(lineEdit(), &QLineEdit::textEdited, this, guarded([this] { link_.textTyped(); }));
    // An item chosen with the mouse or the arrow keys.
    connect(this, &QComboBox::activated, this, guarded([this] { link_.textTyped(); }));
}

void TDBComboBox::focusOutEvent(QFocusEvent* event) {
    QComboBox::focusOutEvent(event);
    link_.focusLeft(event->reason());
}
