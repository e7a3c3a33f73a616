// Ticket search: a ticket number typed or picked in the search box, whose
// rows the till's grid shows once the window closes.
#pragma once

#include <QLabel>

#include "controls/db_lookup_combo.h"
#include "store/apollo_table.h"
#include "store/data_source.h"
#include "ui/form.h"

class TFTicket : public TForm {
    Q_OBJECT
public:
    explicit TFTicket(TProgram& program);

    QLabel* Label1;
    TDBLookupComboPlus* DBLookupComboPlus1;
    TApolloTable* ATTicket;
    TField* ATTicketTICKET;
    TDataSource* DSTicket;

protected:
    // Opens the sales table in ticket-number order, one entry per ticket.
    void FormShow() override;
    // The box shows the ticket of the current row.
    void FormActivate();
    void changeEvent(QEvent* event) override;
    // Hides the window (which closes the table), then the till shows the
    // rows of the ticket in the box.
    void closeEvent(QCloseEvent* event) override;
    // Whenever the window hides, the table is closed: the sales reset needs
    // the file free.
    void hideEvent(QHideEvent* event) override;

private:
    void DBLookupComboPlus1KeyPress(QKeyEvent* event);
};
