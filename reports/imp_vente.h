// Host of the sales journal: every sale row of a sales table, three side by
// side per line, then the day's totals with the VAT split, the referee fees,
// the cash float and the amount that should be in the till. It prints
// Vente.DBF, or the archive sales file the reprint window chose.
#pragma once

#include <memory>

#include "reports/engine/quick_rep.h"
#include "reports/journal_layout.h"
#include "ui/report_host.h"

class TFImpVente : public TReportHost {
    Q_OBJECT
public:
    explicit TFImpVente(TProgram& program);
    ~TFImpVente() override;

    // Previews the journal of the current sales file (the till's listing).
    void Preview() override;
    // Previews the journal of `file` (a reprint's archive). The journal
    // table is open only while the pages are made, then closed and back on
    // the current sales file: a preview left on screen holds no file, and
    // prints the pages it shows.
    void PreviewFile(const QString& file);

    TApolloTable* ATVente;  // the journal table, closed between journals
    TApolloTable* ATConfig;
    std::unique_ptr<TQuickRep> QRImpVente;
    std::unique_ptr<JournalLayout> layout;
    std::unique_ptr<JournalTotals> totals;  // CumulVentes, CumulTVA0, ... DetailActif

private:
    void QRImpVenteBeforePrint();
    void QRImpVenteAfterPrint();
};
