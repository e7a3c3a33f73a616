// The till's amount-received field: its whole text is selected when it gets
// the focus from the program or the keyboard, so the next amount typed
// replaces it; it says when the focus leaves it for another control of the
// till.
#pragma once

#include <QLineEdit>

class TAmountEdit : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

signals:
    void focusLeft();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};
