// Host of the sales journal.
#pragma once

#include "reports/report_host.h"

class TFImpVente : public TReportHost {
    Q_OBJECT
public:
    explicit TFImpVente(Program& program);
    TApolloTable* ATConfig;
};
