// Host of the card payments list.
#pragma once

#include "ui/report_host.h"

class TFImpPtsRES : public TReportHost {
    Q_OBJECT
public:
    explicit TFImpPtsRES(TProgram& program);

    void Preview() override;
    TApolloTable* ATPtsRES;
};
