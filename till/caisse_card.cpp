// Card payment and ticket lookup: the till shows the member window and the
// ticket search over itself, and keeps what the member window hands over.
#include "till/caisse.h"

void TFCaisse::chooseCardMember(const CardMember& member) {
    ticket.chooseMember(member);
    LblRES->setVisible(true);
}

void TFCaisse::leaveCardPayment(const QString& currentName) {
    ticket.leaveCardPayment(currentName);
    LblRES->setVisible(false);
}

void TFCaisse::clearCardPayment() {
    ticket.dropCardPayment();
    LblRES->setVisible(false);
}

void TFCaisse::BitBtn2Click() { program().showOver(TProgram::Window::PtsRES, this); }

void TFCaisse::MLBtnTicketClick() { program().showOver(TProgram::Window::Ticket, this); }
