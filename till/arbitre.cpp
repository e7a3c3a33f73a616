#include "till/arbitre.h"

#include <QKeyEvent>

#include "common/conversions.h"
#include "common/dialogs.h"
#include "till/caisse.h"
#include "ui/window_look.h"

TFArbitre::TFArbitre(TProgram& program) : TForm(program, "FArbitre", QString(), 305, 93) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setFont(pixelFont(11));  // the label ends before the amount field
    auto* client = new QWidget(this);
    client->setObjectName("ClientArea");
    setCentralWidget(client);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::red);
    setPalette(p);
    setAutoFillBackground(true);

    Label1 = new QLabel(QStringLiteral("Montant pour l'arbitrage"), client);
    Label1->setObjectName("Label1");
    Label1->move(24, 40);
    Label1->adjustSize();
    MaskEdit1 = new QLineEdit(QStringLiteral("0.00"), client);
    MaskEdit1->setObjectName("MaskEdit1");
    MaskEdit1->setGeometry(160, 32, 121, 21);
    connect(MaskEdit1, &QLineEdit::returnPressed, this, guarded([this] { MaskEdit1KeyPress(); }));
}

void TFArbitre::showOver(QWidget* owner) {
    // Kept above the till, not above every window of the desktop.
    program().showOver(this, owner);
    // The amount shown is selected, so the next one typed replaces it.
    MaskEdit1->setFocus();
    MaskEdit1->selectAll();
}

void TFArbitre::MaskEdit1KeyPress() {
    const double fee = textToFloat(MaskEdit1->text());
    program().FCaisse->payRefereeFee(fee);
    hide();
}

// The box has no button and no title bar: Esc is the way out without a fee.
void TFArbitre::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    TForm::keyPressEvent(event);
}
