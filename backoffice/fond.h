// The cash float of the till and the reset of the sales at the end of a
// period.
#pragma once

#include "ui/form.h"
#include "store/apollo_table.h"
#include "store/data_source.h"

class TFFond : public TSwitchedForm {
    Q_OBJECT
public:
    explicit TFFond(TProgram& program);

    TApolloTable* ATConfig;
    TApolloTable* ATVente;
    TDataSource* DSConfig;
    TDataSource* DSVente;
};
