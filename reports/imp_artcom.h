// Host of the reorder list.
#pragma once

#include "ui/report_host.h"

class TFImpartcom : public TReportHost {
    Q_OBJECT
public:
    explicit TFImpartcom(TProgram& program);

    void Preview() override;
};
