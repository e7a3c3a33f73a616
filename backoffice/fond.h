// The cash float of the till and the reset of the sales at the end of a
// period.
#pragma once

#include "app/form.h"
#include "store/apollo_table.h"
#include "store/data_source.h"

class TFFond : public TSwitchedForm {
    Q_OBJECT
public:
    explicit TFFond(Program& program);

    TApolloTable* ATConfig;
    TApolloTable* ATVente;
    TDataSource* DSConfig;
    TDataSource* DSVente;
};
