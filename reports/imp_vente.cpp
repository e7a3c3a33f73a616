#include "reports/imp_vente.h"
#include "store/table_layouts.h"

#include "store/apollo_table.h"

TFImpVente::TFImpVente(TProgram& program)
    : TReportHost(program, "FImpVente", QStringLiteral("Impression des ventes"), 600, 400) {
    ATVente = table("ATVente", TableFile::kSales);
    // The fields the journal reads; an archive sales file has them too.
    ATVente->addField("LIBELLE", TFieldType::ftString, 30);
    ATVente->addField("PRIX", TFieldType::ftFloat);
    ATVente->addField("TVA", TFieldType::ftFloat);
    ATVente->addField("DATE", TFieldType::ftDate);
    ATConfig = table("ATConfig", TableFile::kSettings);

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
    ATVente->Open();
    totals->reset();  // DetailActif on; the sums are already 0 between journals
}

void TFImpVente::QRImpVenteAfterPrint() { totals->reset(); }

void TFImpVente::Preview() { PreviewFile(TableFile::kSales); }

void TFImpVente::PreviewFile(const QString& file) {
    ATVente->Close();
    ATVente->setTableName(file);
    QRImpVente->PreviewReleasingTable([this] { ATVente->setTableName(TableFile::kSales); });
}
