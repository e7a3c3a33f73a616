// Card member selection: the player who pays the ticket with the club's
// card is picked by name from the members table.
#pragma once

#include "ui/form.h"
#include "store/apollo_table.h"
#include "store/data_source.h"

class TFPtsRES : public TForm {
    Q_OBJECT
public:
    // Opens the members table as the window is loaded: an error here is
    // not caught, and start-up stops.
    explicit TFPtsRES(TProgram& program);

    TApolloTable* ATMembre;
    TDataSource* DSMembre;
};
