// What the till books besides articles: free drinks, the referee fee and
// its cancellation, the cancellation of the order or of one drink, all as
// compensating rows on the open ticket; and the day's sales listing.
#include "till/arbitre.h"
#include "till/caisse.h"
#include "ui/report_host.h"

void TFCaisse::FreeDrinksClick(const QString& label) {
    ticket.giveFreeDrinks(label);
    showBooking();
}

void TFCaisse::MultiLineButton63Click() {
    ATVente->Refresh();
    Edit1->setFocus();
    program().FArbitre->showOver(this);
}

void TFCaisse::payRefereeFee(double fee) {
    ticket.payRefereeFee(fee);
    showBooking();
}

void TFCaisse::MultiLineButton64Click() {
    ticket.cancelRefereeFee();
    showBooking();
    Edit1->setFocus();
}

void TFCaisse::MLBAnulComClick() {
    ticket.cancelOrder();
    showBooking();
    MLBAnulCom->setEnabled(false);
    MLBAnulBois->setEnabled(false);
    Edit1->setFocus();
}

void TFCaisse::MLBAnulBoisClick() {
    ticket.cancelDrink();
    showBooking();
    MLBAnulBois->setEnabled(false);
    Edit1->setFocus();
}

// The journal host closes its own table once the preview is closed, so the
// sales file is free again for the reset.
void TFCaisse::MLBtnZClick() {
    ATConfig->Refresh();
    program().report(TProgram::Window::ImpVente).Preview();
}
