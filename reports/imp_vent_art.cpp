#include "reports/imp_vent_art.h"
#include "store/table_layouts.h"

#include "common/conversions.h"
#include "store/apollo_table.h"

namespace {

JournalLayoutOptions ventartLayout() {
    JournalLayoutOptions o;
    o.title = QStringLiteral("Listing des articles vendu");
    o.titleLeft = 46.6;
    o.totalsType = rbPageFooter;  // the totals of each page at its foot
    o.versionTop = 42.3;
    return o;
}

}  // namespace

TFImpVentart::TFImpVentart(TProgram& program)
    : TReportHost(program, "FImpVentart", QStringLiteral("Impression des ventes"), 600, 400) {
    ATVente = table("ATVente", TableFile::kSales);
    ATConfig = table("ATConfig", TableFile::kSettings);

    QRImpVentart = std::make_unique<TQuickRep>("QRImpVentart");
    layout = std::make_unique<JournalLayout>(*QRImpVentart, ATVente, ventartLayout());
    QRLQte1 = layout->QRBand2->addLabel("QRLQte1", 150.0, 1.1, "QRLQte1");
    QRLQte1->setAlignment(taRightJustify);
    QRLQte1->setRightEdge(173.4);

    totals = std::make_unique<JournalTotals>(ATVente, ATConfig);
    totals->attach(*layout);
    totals->onCounted = [this] { QteArticle += 1; };
    totals->onAdvanced = [this] {
        if (currentLabel() != LibellePrecedent) labelChanged();
    };
    layout->detailTexts[2]->OnPrint = [this](TQRPrintable&, QString&) { QRDBText3Print(); };
    layout->QRBand3->BeforePrint = [this](TQRBand& b, bool& p) { QRBand3BeforePrint(b, p); };

    QRImpVentart->BeforePrint = [this](TQuickRep&, bool&) {
        totals->reset();  // DetailActif on; the sums are already 0 between listings
        openInLabelOrder();
    };
    QRImpVentart->AfterPrint = [this](TQuickRep&) {
        totals->reset();
        openInLabelOrder();
    };
    QRImpVentart->AfterPreview = [this](TQuickRep&) { totals->reset(); };

    // Opened as the window is loaded: an error here stops start-up.
    ATConfig->Open();
}

TFImpVentart::~TFImpVentart() = default;

// The pages are made with the sales table open in label order; the table is
// closed before they show, so that no handle keeps the label index, which
// the sales-by-article window removes when it closes.
void TFImpVentart::Preview() { QRImpVentart->PreviewReleasingTable(); }

// The index is opened anew each time: the sales-by-article window rebuilds
// the file at each activation.
void TFImpVentart::openInLabelOrder() {
    if (!ATVente->Active()) ATVente->Open();
    ATVente->CloseIndexes();
    ATVente->OpenIndex(IndexFile::kSalesByLabel);
}

QString TFImpVentart::currentLabel() const { return ATVente->FieldByName("LIBELLE")->AsString(); }

// The count so far goes to the line's label and a new run starts.
void TFImpVentart::labelChanged() {
    QRLQte1->setCaption(generalFloatText(QteArticle));
    QteArticle = 1;
    LibellePrecedent = currentLabel();
}

void TFImpVentart::QRDBText3Print() {
    const bool counted = !ATVente->Eof();
    totals->countOnly();
    if (!counted) return;
    QRLQte1->setCaption(generalFloatText(QteArticle));
    if (currentLabel() != LibellePrecedent) {
        QteArticle = 1;
        LibellePrecedent = currentLabel();
    }
}

void TFImpVentart::QRBand3BeforePrint(TQRBand& band, bool&) {
    totals->totalsBeforePrint(band);
    QteArticle = 1;
    LibellePrecedent = currentLabel();
}
