#include "controls/db_edit.h"

#include <QFocusEvent>

#include "common/dialogs.h"
#include "common/field_text.h"
#include "store/apollo_table.h"

TDBEdit::TDBEdit(const QString& name, QWidget* parent) : QLineEdit(parent) {
    setObjectName(name);
    connect(&link_, &TFieldDataLink::changed, this, &TDBEdit::showField);
    connect(this, &QLineEdit::textEdited, this, guarded([this] { startEditing(); }));
    link_.setRecordUpdater([this] { UpdateRecord(); });
    showField();
}

// Text the user is typing stays while the row is being edited; everything
// else follows the field.
void TDBEdit::showField() {
    if (isModified() && link_.editing()) return;
    TField* f = link_.field();
    setText(f ? fieldDisplayText(*f) : QString());
    setModified(false);
}

void TDBEdit::startEditing() {
    TApolloTable* t = link_.table();
    if (t && t->State() == TDataSetState::dsBrowse && link_.field()) {
        const QString typed = text();
        t->Edit();  // reads the row again, which shows the stored text
        setText(typed);
        setModified(true);
    }
}

void TDBEdit::UpdateRecord() {
    if (!isModified()) return;
    TField* f = link_.field();
    if (!f) return;
    setFieldText(*f, text());  // a refusal leaves the text and the flag
    setModified(false);
    showField();
}

// Another window taking the focus (this one hiding, a message box) is not
// the user leaving the edit: the text is written when the row is posted.
void TDBEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    if (isModified() && link_.editing()) runGuarded([this] { UpdateRecord(); });
}

TDBText::TDBText(const QString& name, QWidget* parent) : QLabel(parent) {
    setObjectName(name);
    connect(&link_, &TFieldDataLink::changed, this, &TDBText::showField);
    showField();
}

void TDBText::showField() {
    TField* f = link_.field();
    setText(f ? fieldDisplayText(*f) : QString());
}
