// The referee amount entry: a borderless red box over the till. Enter books
// the typed amount as the referee's fee on the till's ticket and hides the
// box; Esc hides it without booking. It is made once and only hidden and
// shown, so the amount typed last is offered again.
#pragma once

#include <QLabel>
#include <QLineEdit>

#include "ui/form.h"

class TFArbitre : public TForm {
    Q_OBJECT
public:
    explicit TFArbitre(TProgram& program);

    QLabel* Label1;
    QLineEdit* MaskEdit1;

    // Shows the box above `owner` (the till), which stays usable behind it.
    void showOver(QWidget* owner);
    // Enter in MaskEdit1: the fee booked at the till, then the box hides.
    void MaskEdit1KeyPress();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
