// Host of the receipt: the ticket number and date, one framed line per item
// of the ticket being closed, its total and, for a card payment, the
// member's name, card number and a place to sign. It prints the till's
// filtered sales table and reads the till's state as the bands print.
#pragma once

#include <memory>

#include "reports/engine/quick_rep.h"
#include "ui/report_host.h"

class TFImpTicket : public TReportHost {
    Q_OBJECT
public:
    explicit TFImpTicket(TProgram& program);
    ~TFImpTicket() override;

    void Preview() override;

    std::unique_ptr<TQuickRep> QRImpTicket;

private:
    void QRBand1BeforePrint(TQRBand& band, bool& print);
    void QRBand3BeforePrint(TQRBand& band, bool& print);
};
