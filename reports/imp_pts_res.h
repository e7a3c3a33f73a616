// Host of the card payments list: one framed line per card payment row, in
// order of member name, on A4 landscape; the title on the first page and
// the column header at the top of every page.
#pragma once

#include <memory>

#include "reports/engine/quick_rep.h"
#include "ui/report_host.h"

class TFImpPtsRES : public TReportHost {
    Q_OBJECT
public:
    explicit TFImpPtsRES(TProgram& program);
    ~TFImpPtsRES() override;

    void Preview() override;

    TApolloTable* ATPtsRES;
    std::unique_ptr<TQuickRep> QRImpPtsRES;
};
