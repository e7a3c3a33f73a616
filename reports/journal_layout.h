// The sales journal's page and bands, and its running values with the
// handlers that fill them: three sale rows side by side per printed line,
// then the totals with the VAT split and the amount expected in the till.
// The journal host and the sales-by-article host both build their report
// from these; the second adds its own steps through the hooks.
#pragma once

#include <QString>
#include <array>
#include <functional>

#include "reports/engine/quick_rep.h"
#include "reports/journal_sums.h"

class TApolloTable;
class TField;

struct JournalLayoutOptions {
    QString title = QStringLiteral("Listing des ventes du");
    double titleLeft = 67.7;
    TQRBandType totalsType = rbSummary;  // a page footer prints per-page totals
    double versionTop = 48.7;
};

// The bands of the journal on `rep`, fed from `sales`: A4 portrait, 10 mm
// margins, Arial 10 pt; the page header QRBand1, the detail QRBand2 with
// its twelve elements in their stored order, the totals QRBand3.
struct JournalLayout {
    JournalLayout(TQuickRep& rep, TApolloTable* sales, const JournalLayoutOptions& options = {});

    TQRBand* QRBand1;
    TQRBand* QRBand2;
    TQRBand* QRBand3;
    // QRDBText1 to QRDBText6 at [0] to [5].
    std::array<TQRDBText*, 6> detailTexts{};
    TQRLabel* label(const char* name) const;
};

// The running values of a journal and the handlers that keep them.
class JournalTotals {
public:
    // `sales`: the table the detail band prints, moved by the hooks;
    // `settings`: the settings handle, read for FONDCAISSE.
    JournalTotals(TApolloTable* sales, TApolloTable* settings)
        : sales_(sales), settings_(settings) {}

    JournalSums sums;
    double MontantCaisse = 0;
    bool DetailActif = true;

    // Sets the price texts' hooks and the totals band's handlers.
    void attach(JournalLayout& layout);

    // One row into the sums, then the host's extra step.
    void countRow(double price, double vat);
    // The hook of the first and second price texts: counts the current row
    // and moves the table on; at the end of the table, closes the line.
    void countAndAdvance();
    // The hook of the third price text: counts without moving.
    void countOnly();
    // The rest of the line stays empty: the six detail texts are disabled.
    void closeLine();
    // The totals band's BeforePrint and AfterPrint.
    void totalsBeforePrint(TQRBand& band);
    void totalsAfterPrint();
    // The sums back to 0 and the detail texts on, for the next generation;
    // called once the table is open (its fields are looked up again).
    void reset();

    // Extra steps for a host that counts more: after each row counted, and
    // after a count-and-advance has moved to a row not at the end.
    std::function<void()> onCounted;
    std::function<void()> onAdvanced;

private:
    void countCurrent();
    void setDetail(bool on);

    TApolloTable* sales_;
    TApolloTable* settings_;
    TField* price_ = nullptr;  // of sales_, looked up at the first count
    TField* vat_ = nullptr;
    JournalLayout* layout_ = nullptr;
};
