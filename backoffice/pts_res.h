// Card member selection: the player who pays the ticket with the club's
// card is picked by name from the members table and handed to the till.
#pragma once

#include <QLabel>
#include <QPushButton>

#include "controls/db_lookup_combo.h"
#include "store/apollo_table.h"
#include "store/data_source.h"
#include "ui/form.h"

class TFPtsRES : public TForm {
    Q_OBJECT
public:
    // Opens the members table as the window is loaded: an error here is
    // not caught, and start-up stops.
    explicit TFPtsRES(TProgram& program);

    TApolloTable* ATMembre;
    TDataSource* DSMembre;
    QLabel* Label1;
    TDBLookupComboPlus* DBLookupComboPlus1;
    QPushButton* BtnValide;
    QPushButton* BtnAnnule;

    // The current member pays the ticket by card.
    void BtnValideClick();
    // The ticket is paid in cash.
    void BtnAnnuleClick();

protected:
    // Builds membre.ntx when it is missing, opens the members in name order
    // and takes the till out of card payment.
    void FormShow() override;
    // Closes the members table; sets nothing in the till.
    void FormClose() override;

private:
    QString currentField(const char* name) const;
};
