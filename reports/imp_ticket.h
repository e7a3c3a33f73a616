// Host of the receipt.
#pragma once

#include "reports/report_host.h"

class TFImpTicket : public TReportHost {
    Q_OBJECT
public:
    explicit TFImpTicket(Program& program);
};
