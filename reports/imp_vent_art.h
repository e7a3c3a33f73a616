// Host of the sales-by-article report.
#pragma once

#include "ui/report_host.h"

class TFImpVentart : public TReportHost {
    Q_OBJECT
public:
    explicit TFImpVentart(TProgram& program);

    void Preview() override;
    TApolloTable* ATConfig;
};
