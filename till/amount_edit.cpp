#include "till/amount_edit.h"

#include <QFocusEvent>

void TAmountEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    if (event->reason() != Qt::MouseFocusReason) selectAll();
}

void TAmountEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // The focus leaves for another control of the till (Tab, a click, the
    // program), not for another window: a message box about this very field
    // must not run the rule again.
    const Qt::FocusReason why = event->reason();
    if (why != Qt::ActiveWindowFocusReason && why != Qt::PopupFocusReason) emit focusLeft();
}
