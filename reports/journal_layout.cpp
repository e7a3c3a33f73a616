#include "reports/journal_layout.h"

#include "common/conversions.h"
#include "common/file_version.h"
#include "reports/engine/logo.h"
#include "store/apollo_table.h"

namespace {

const QString kDots = QStringLiteral("..............................................");  // 46

TQRFont arial(double size, bool bold = false) {
    TQRFont f;
    f.name = QStringLiteral("Arial");
    f.size = size;
    f.bold = bold;
    return f;
}

}  // namespace

JournalLayout::JournalLayout(TQuickRep& rep, TApolloTable* sales, const JournalLayoutOptions& o) {
    rep.setDataSet(sales);
    TQRPage& page = rep.Page();
    page.paperSize = A4;
    page.orientation = poPortrait;
    page.topMargin = page.bottomMargin = page.leftMargin = page.rightMargin = 10;
    rep.setFont(arial(10));
    rep.Options() = TQROptions{};  // first page header, last page footer, print if empty

    QRBand1 = rep.addBand(QStringLiteral("QRBand1"), rbPageHeader, 26.2);
    QRBand1->addImage(QStringLiteral("QRImage1"), 0.0, 0.0, 32.0, 23.8, logoImage());
    QRBand1->addLabel(QStringLiteral("QRLabel1"), o.titleLeft, 12.7, o.title)->setFont(arial(20));
    QRBand1->addDBText(QStringLiteral("QRDBText7"), 141.8, 13.8, sales, QStringLiteral("DATE"))
        ->setFont(arial(16));
    QRBand1->addLabel(QStringLiteral("QRLabel12"), 141.8, 2.1, QStringLiteral("Pages"));
    QRBand1->addSysData(QStringLiteral("QRSysData1"), 156.6, 2.1, qrsPageNumber);

    // Three columns of a label cell and a price cell; the elements keep
    // their stored order, on which the hooks' moves depend.
    const double h = 5.8;
    QRBand2 = rep.addBand(QStringLiteral("QRBand2"), rbDetail, h);
    auto text = [&](const char* name, double left, const char* field) {
        return QRBand2->addDBText(QLatin1String(name), left, 1.1, sales, QLatin1String(field));
    };
    QRBand2->addShape(QStringLiteral("QRShape6"), 127.0, 0.0, 48.9, h);
    QRBand2->addShape(QStringLiteral("QRShape4"), 61.4, 0.0, 48.9, h);
    QRBand2->addShape(QStringLiteral("QRShape2"), 44.5, 0.0, 13.0, h);
    QRBand2->addShape(QStringLiteral("QRShape1"), 0.0, 0.0, 44.7, h);
    detailTexts[0] = text("QRDBText1", 2.1, "LIBELLE");
    detailTexts[1] = text("QRDBText2", 46.6, "PRIX");
    detailTexts[3] = text("QRDBText4", 63.5, "LIBELLE");
    QRBand2->addShape(QStringLiteral("QRShape5"), 110.1, 0.0, 13.0, h);
    detailTexts[4] = text("QRDBText5", 112.2, "PRIX");
    QRBand2->addShape(QStringLiteral("QRShape3"), 175.7, 0.0, 13.0, h);
    detailTexts[2] = text("QRDBText3", 177.8, "PRIX");
    detailTexts[5] = text("QRDBText6", 129.1, "LIBELLE");

    QRBand3 = rep.addBand(QStringLiteral("QRBand3"), o.totalsType, 55.6);
    auto add = [&](const char* name, double left, double top, const QString& caption) {
        return QRBand3->addLabel(QLatin1String(name), left, top, caption);
    };
    add("QRLabel2", 36.0, 23.3, QStringLiteral("QRLabel2"));
    add("QRLabel3", 2.1, 23.3, QStringLiteral("Montant des ventes"));
    add("QRLabel4", 139.7, 16.9, QStringLiteral("Montant en caisse"));
    add("QRLabel5", 171.4, 16.9, QStringLiteral("QRLabel5"));
    add("QRLabel6", 2.1, 10.6, QStringLiteral("Montant 6% TVAC"));
    add("QRLabel7", 2.1, 16.9, QStringLiteral("Montant 21% TVAC"));
    add("QRLabel8", 36.0, 10.6, QStringLiteral("QRLabel8"));
    add("QRLabel9", 36.0, 16.9, QStringLiteral("QRLabel9"));
    add("QRLabel10", 63.5, 23.3, QStringLiteral("Frais d'arbitrage"));
    add("QRLabel11", 91.0, 23.3, QStringLiteral("QRLabel11"));
    add("QRLabel14", 139.7, 10.6, QStringLiteral("Fond de caisse"));
    add("QRLabel15", 171.4, 10.6, QStringLiteral("QRLabel15"));
    TQRLabel* version = add("QRLabel13", 177.8, o.versionTop, QStringLiteral("QRLabel13"));
    version->setFont(arial(6, true));
    version->setAlignment(taRightJustify);
    version->setRightEdge(188.6);
    add("QRLabel16", 2.1, 46.6, QStringLiteral("Vente distributeur boison à 6 %  :  ") + kDots);
    add("QRLHTVA6", 63.5, 10.6, QStringLiteral("QRLHTVA6"));
    add("QRLHTVA21", 63.5, 16.9, QStringLiteral("QRLHTVA21"));
    add("QRLabel17", 2.1, 36.0, QStringLiteral("Montant réel en caisse  :  ") + kDots);
}

TQRLabel* JournalLayout::label(const char* name) const {
    return static_cast<TQRLabel*>(QRBand3->element(QLatin1String(name)));
}

void JournalTotals::attach(JournalLayout& layout) {
    layout_ = &layout;
    layout.detailTexts[1]->OnPrint = [this](TQRPrintable&, QString&) { countAndAdvance(); };
    layout.detailTexts[4]->OnPrint = [this](TQRPrintable&, QString&) { countAndAdvance(); };
    layout.detailTexts[2]->OnPrint = [this](TQRPrintable&, QString&) { countOnly(); };
    layout.QRBand3->BeforePrint = [this](TQRBand& band, bool&) { totalsBeforePrint(band); };
    layout.QRBand3->AfterPrint = [this](TQRBand&, bool) { totalsAfterPrint(); };
}

void JournalTotals::countRow(double price, double vat) {
    sums.count(price, vat);
    if (onCounted) onCounted();
}

void JournalTotals::countCurrent() {
    if (!price_) {
        price_ = sales_->FieldByName(QStringLiteral("PRIX"));
        vat_ = sales_->FieldByName(QStringLiteral("TVA"));
    }
    countRow(price_->AsFloat(), vat_->AsFloat());
}

void JournalTotals::countAndAdvance() {
    if (sales_->Eof()) {
        closeLine();
        return;
    }
    countCurrent();
    sales_->Next();
    if (sales_->Eof())
        closeLine();
    else if (onAdvanced)
        onAdvanced();
}

void JournalTotals::countOnly() {
    if (sales_->Eof()) {
        closeLine();
        return;
    }
    countCurrent();
}

void JournalTotals::setDetail(bool on) {
    DetailActif = on;
    if (!layout_) return;
    for (TQRDBText* t : layout_->detailTexts) t->setEnabled(on);
}

void JournalTotals::closeLine() { setDetail(false); }

void JournalTotals::totalsBeforePrint(TQRBand&) {
    settings_->Refresh();
    const double fond = settings_->FieldByName(QStringLiteral("FONDCAISSE"))->AsFloat();
    MontantCaisse = sums.expectedInTill(fond);
    layout_->label("QRLabel2")->setCaption(moneyText(sums.sales()));
    layout_->label("QRLabel5")->setCaption(moneyText(MontantCaisse));
    layout_->label("QRLabel8")->setCaption(moneyText(sums.CumulTVA6));
    layout_->label("QRLabel9")->setCaption(moneyText(sums.CumulTVA21));
    layout_->label("QRLabel11")->setCaption(moneyText(sums.fees()));
    layout_->label("QRLabel15")->setCaption(moneyText(fond));
    layout_->label("QRLabel13")->setCaption(programFileVersion());
    layout_->label("QRLHTVA6")->setCaption(QStringLiteral(" HTVA 6% = ") + moneyText(sums.beforeVat6()));
    layout_->label("QRLHTVA21")->setCaption(QStringLiteral(" HTVA 21% = ") + moneyText(sums.beforeVat21()));
    sums = {};
}

void JournalTotals::totalsAfterPrint() { setDetail(true); }

void JournalTotals::reset() {
    price_ = vat_ = nullptr;
    sums = {};
    setDetail(true);
}
