#include "reports/journal_sums.h"

void JournalSums::count(double price, double vat) {
    CumulVentes += price;
    if (vat == 0)
        CumulTVA0 += price;
    else if (vat == 6)
        CumulTVA6 += price;
    else if (vat == 21)
        CumulTVA21 += price;
}
