// Host of the reorder list.
#pragma once

#include "reports/report_host.h"

class TFImpartcom : public TReportHost {
    Q_OBJECT
public:
    explicit TFImpartcom(Program& program);
};
