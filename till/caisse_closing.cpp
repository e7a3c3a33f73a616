// Payment and ticket closing: the change due, the receipt switch, and the
// closing that shows the receipt, advances the ticket number, records the
// payment and clears the till for the next ticket.
#include <QDate>

#include "common/conversions.h"
#include "ui/report_host.h"
#include "till/caisse.h"

int nextTicketNumber(const QString& stored) {
    // An empty number reads as 0, so the first closing writes 1; the number
    // must fit the field's six characters, so 999999 is followed by 1.
    const int current = stored.trimmed().isEmpty() ? 0 : textToInt(stored);
    return current >= kLastTicketNumber || current < 0 ? 1 : current + 1;
}

void TFCaisse::Edit1KeyPress() {
    const double received = textToFloat(Edit1->text());
    Label6->setText(moneyText(received - TotalTicket));
    Label6->adjustSize();
}

void TFCaisse::Edit1Exit() {
    if (Edit1->text().isEmpty()) Edit1->setText(QStringLiteral("0"));
    const double change = textToFloat(Edit1->text()) - TotalTicket;
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

    ATConfig->Edit();
    int next = 0;
    try {
        next = nextTicketNumber(ATConfig->FieldByName("NUMTICKET")->AsString());
    } catch (...) {
        ATConfig->Cancel();
        throw;
    }
    ATConfig->FieldByName("NUMTICKET")->setAsString(QString::number(next));
    ATConfig->Post();

    ATPtsRes->Insert();
    ATPtsRes->FieldByName("NOM")->setAsString(NomRES);
    ATPtsRes->FieldByName("DATEACHAT")->setAsDate(QDate::currentDate());
    ATPtsRes->FieldByName("MONTANT")->setAsFloat(TotalTicket);
    ATPtsRes->Post();

    TotalTicket = 0;
    TotalTVA6 = 0;
    TotalTVA21 = 0;
    NomCaissier = QStringLiteral("Caissier1");
    Edit1->setText(QString());
    Label6->setText(QStringLiteral("0.00"));
    Label6->adjustSize();
    showTotal();

    const QString number = ATConfig->FieldByName("NUMTICKET")->AsString();
    FiltreVente = QStringLiteral("Ticket = '%1'").arg(number);
    applyFiltreVente();

    PaiementRES = false;
    NomRES.clear();
    NumCarteRES.clear();
    LblRES->setVisible(false);

    Numticket->setText(number);
    Numticket->adjustSize();
    Numticket->repaint();

    MLBAnulBois->setEnabled(false);
    MLBAnulCom->setEnabled(false);
}
