#include "reports/imp_vente.h"

#include "store/apollo_table.h"

TFImpVente::TFImpVente(TProgram& program)
    : TReportHost(program, "FImpVente", QStringLiteral("Impression des ventes"), 600, 400) {
    ATVente = table("ATVente", "Vente.DBF");
    ATConfig = table("ATConfig", "config.DBF");

    QRImpVente = std::make_unique<TQuickRep>(QStringLiteral("QRImpVente"));
    layout = std::make_unique<JournalLayout>(*QRImpVente, ATVente);
    totals = std::make_unique<JournalTotals>(ATVente, ATConfig);
    totals->attach(*layout);
    QRImpVente->BeforePrint = [this](TQuickRep&, bool&) { QRImpVenteBeforePrint(); };
    QRImpVente->AfterPrint = [this](TQuickRep&) { QRImpVenteAfterPrint(); };
    QRImpVente->AfterPreview = [this](TQuickRep&) { QRImpVenteAfterPrint(); };

    // Opened as the window is loaded: an error here stops start-up.
    ATConfig->Open();
}

TFImpVente::~TFImpVente() = default;

void TFImpVente::QRImpVenteBeforePrint() {
    totals->reset();  // DetailActif on; the sums are already 0 between journals
    ATVente->Open();
}

void TFImpVente::QRImpVenteAfterPrint() { totals->reset(); }

void TFImpVente::Preview() {
    struct CloseAfter {
        TApolloTable* table;
        ~CloseAfter() { table->Close(); }
    } closeAfter{ATVente};
    QRImpVente->Preview();
}
