// Host of the sales-by-article report: the sales journal's page and lines
// over the sales in label order (ventart.ntx, built by the sales-by-article
// window), with the totals of each page in its page footer and, at the end
// of each line, the count label QRLQte1.
#pragma once

#include <memory>

#include "reports/engine/quick_rep.h"
#include "reports/journal_layout.h"
#include "ui/report_host.h"

class TFImpVentart : public TReportHost {
    Q_OBJECT
public:
    explicit TFImpVentart(TProgram& program);
    ~TFImpVentart() override;

    void Preview() override;

    TApolloTable* ATVente;
    TApolloTable* ATConfig;
    std::unique_ptr<TQuickRep> QRImpVentart;
    std::unique_ptr<JournalLayout> layout;
    std::unique_ptr<JournalTotals> totals;  // CumulVentes, CumulTVA0, ... DetailActif
    TQRLabel* QRLQte1;

    // Rows counted since the label last changed; the label they share. Kept
    // from one generation to the next.
    double QteArticle = 0;
    QString LibellePrecedent;

private:
    void openInLabelOrder();
    QString currentLabel() const;
    void labelChanged();
    void QRDBText3Print();
    void QRBand3BeforePrint(TQRBand& band, bool& print);
};
