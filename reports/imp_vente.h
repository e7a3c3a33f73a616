// Host of the sales journal: every sale row of a sales table, three side by
// side per line, then the day's totals with the VAT split, the referee fees,
// the cash float and the amount that should be in the till. It prints
// Vente.DBF unless the reprint window has chosen an archive sales file.
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

    // Previews the journal; once the preview is closed the journal table is
    // closed again, so that the next journal reads the file anew.
    void Preview() override;

    // The current sales file the journal goes back to after a reprint.
    static inline const QString kSalesFile = QStringLiteral("Vente.DBF");

    TApolloTable* ATVente;  // the journal table, closed between journals
    TApolloTable* ATConfig;
    std::unique_ptr<TQuickRep> QRImpVente;
    std::unique_ptr<JournalLayout> layout;
    std::unique_ptr<JournalTotals> totals;  // CumulVentes, CumulTVA0, ... DetailActif

private:
    void QRImpVenteBeforePrint();
    void QRImpVenteAfterPrint();
};
