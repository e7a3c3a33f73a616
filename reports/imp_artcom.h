// Host of the reorder list: the work table of the sales-by-article window,
// two articles per line with their counts, as the list of what to buy again.
#pragma once

#include <memory>

#include "reports/engine/quick_rep.h"
#include "ui/report_host.h"

class TFImpartcom : public TReportHost {
    Q_OBJECT
public:
    explicit TFImpartcom(TProgram& program);
    ~TFImpartcom() override;

    // Reads the work table that the sales-by-article window opens when it
    // is activated.
    void Preview() override;

    std::unique_ptr<TQuickRep> QRImpArtcommande;

private:
    void QRBand2BeforePrint(TQRBand& band, bool& print);
    void QRDBText2Print(TQRPrintable& sender, QString& text);
    void QRBand3BeforePrint(TQRBand& band, bool& print);
};
