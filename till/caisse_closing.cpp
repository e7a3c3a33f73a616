// Payment and ticket closing: the change due, the receipt switch, and the
// closing that shows the receipt, advances the ticket number, records the
// payment and clears the till for the next ticket.
#include <QDate>

#include "common/conversions.h"
#include "ui/report_host.h"
#include "till/caisse.h"

void TFCaisse::Edit1KeyPress() {
    Label6->setText(moneyText(ticket.changeDue(Edit1->text())));
    Label6->adjustSize();
}

void TFCaisse::Edit1Exit() {
    if (Edit1->text().isEmpty()) Edit1->setText(QStringLiteral("0"));
    const double change = ticket.changeDue(Edit1->text());
    if (change > 0) {
        Label6->setText(moneyText(change));
        Label6->adjustSize();
    }
}

void TFCaisse::setReceiptSwitch(bool on) {
    ImpressionTicket = on;
    BitBtn1->setText(on ? QStringLiteral("Impression Oui") : QStringLiteral("Impression Non"));
    QPalette p = BitBtn1->palette();
    p.setColor(QPalette::ButtonText, on ? Qt::red : Qt::black);
    BitBtn1->setPalette(p);
}

void TFCaisse::BitBtn1Click() { setReceiptSwitch(!ImpressionTicket); }

void TFCaisse::MLBtCaisseClick() {
    // The receipt reads the ticket's rows and state: it comes first.
    if (ImpressionTicket) program().report(TProgram::Window::ImpTicket).Preview();

    const QString number = ticket.close(QDate::currentDate());

    Edit1->setText(QString());
    Label6->setText(QStringLiteral("0.00"));
    Label6->adjustSize();
    showTotal();
    LblRES->setVisible(false);

    Numticket->setText(number);
    Numticket->adjustSize();
    Numticket->repaint();

    MLBAnulBois->setEnabled(false);
    MLBAnulCom->setEnabled(false);
}
