#include "backoffice/ticket_search.h"
#include "store/table_layouts.h"

#include <QCloseEvent>
#include <QKeyEvent>

#include "common/dialogs.h"
#include "till/caisse.h"

TFTicket::TFTicket(TProgram& program)
    : TForm(program, "FTicket", QStringLiteral("Recherche  d'un ticket"), 352, 103) {
    ATTicket = new TApolloTable("ATTicket", this);
    ATTicket->setTableName(TableFile::kSales);
    ATTicketTICKET = ATTicket->addField("TICKET", TFieldType::ftString, 6);
    DSTicket = new TDataSource(this);
    DSTicket->setDataSet(ATTicket);

    auto* client = new QWidget(this);
    client->setObjectName("ClientArea");
    setCentralWidget(client);
    Label1 = new QLabel(QStringLiteral("Numéro du ticket recherché"), client);
    Label1->setObjectName("Label1");
    Label1->move(16, 32);
    Label1->adjustSize();
    DBLookupComboPlus1 = searchBox(client, "DBLookupComboPlus1", DSTicket, "TICKET", 8, {208, 28, 121, 24});
    DBLookupComboPlus1->setLookupIndex(IndexFile::kTickets);
    DBLookupComboPlus1->OnKeyPress = [this](QKeyEvent* e) { DBLookupComboPlus1KeyPress(e); };
    setFocusProxy(DBLookupComboPlus1);
}

void TFTicket::FormShow() {
    ATTicket->Open();
    ATTicket->OpenIndex(IndexFile::kSalesByTicket);
    ATTicket->OpenIndex(IndexFile::kTickets);  // the last opened is the order
    DBLookupComboPlus1->setFocus();
    FormActivate();
}

void TFTicket::FormActivate() {
    // The stored text as it is: a ticket stored as " 7" is found as " 7".
    DBLookupComboPlus1->setText(ATTicketTICKET->AsString());
}

void TFTicket::changeEvent(QEvent* event) {
    TForm::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && ATTicket->Active())
        runGuarded([this] { FormActivate(); });
}

void TFTicket::DBLookupComboPlus1KeyPress(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) close();
}

void TFTicket::hideEvent(QHideEvent* event) {
    TForm::hideEvent(event);
    runGuarded([this] { ATTicket->Close(); });
}

void TFTicket::closeEvent(QCloseEvent* event) {
    event->accept();
    hide();
    const QString number = DBLookupComboPlus1->text();
    runGuarded([this, &number] {
        TFCaisse* till = program().FCaisse;
        if (!till) return;
        till->ticket.showTicket(number);
    });
}
