// Host of the sales journal.
#pragma once

#include "ui/report_host.h"

class TFImpVente : public TReportHost {
    Q_OBJECT
public:
    explicit TFImpVente(TProgram& program);

    void Preview() override;
    TApolloTable* ATConfig;
};
