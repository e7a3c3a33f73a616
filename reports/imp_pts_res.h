// Host of the card payments list.
#pragma once

#include "reports/report_host.h"

class TFImpPtsRES : public TReportHost {
    Q_OBJECT
public:
    explicit TFImpPtsRES(Program& program);
    TApolloTable* ATPtsRES;
};
