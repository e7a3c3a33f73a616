// The receipt's page, bands and elements, without its handlers: the receipt
// window builds its report with it, and so do the report engine's tests and
// benchmark, so that all of them work on the one layout.
#pragma once

class TApolloTable;
class TQuickRep;

// 105 x 148.5 mm; a 26.2 mm header with the logo, the ticket number and
// date and the card payment labels; 8.7 mm lines of two framed cells; an
// 18.8 mm footer with the total and the signature line. Ten lines fit.
void buildReceiptLayout(TQuickRep& rep, TApolloTable* sales);
