// What a sales journal adds up, without a table or a page: the sale rows go
// in one by one, the figures its totals band prints come out. The journal
// and the sales-by-article listing count through it.
#pragma once

struct JournalSums {
    double CumulVentes = 0;  // every row
    double CumulTVA0 = 0;    // rows at rate 0: the referee fees, paid out
    double CumulTVA6 = 0;
    double CumulTVA21 = 0;

    // One row: its price into CumulVentes, and into the sum of its rate
    // when the rate is exactly 0, 6 or 21 (any other rate counts only in
    // CumulVentes).
    void count(double price, double vat);

    // The sales amount, the fees left out.
    double sales() const { return CumulVentes - CumulTVA0; }
    // The fees as a positive amount.
    double fees() const { return -CumulTVA0; }
    // What the till should hold: the cash float and every row.
    double expectedInTill(double cashFloat) const { return cashFloat + CumulVentes; }
    // The amounts before VAT of the two rates' VAT-inclusive sums.
    double beforeVat6() const { return CumulTVA6 / 1.06; }
    double beforeVat21() const { return CumulTVA21 / 1.21; }
};
