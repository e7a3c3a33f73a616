// Host of the sales-by-article report.
#pragma once

#include "reports/report_host.h"

class TFImpVentart : public TReportHost {
    Q_OBJECT
public:
    explicit TFImpVentart(Program& program);
    TApolloTable* ATConfig;
};
