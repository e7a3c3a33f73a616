#include "reports/imp_artcom.h"

#include "common/file_version.h"
#include "reports/engine/logo.h"
#include "reports/vent_art.h"

TFImpartcom::TFImpartcom(TProgram& program)
    : TReportHost(program, "FImpartcom", QStringLiteral("Impression des acrticles à recommander"),
                  600, 400) {
    TApolloTable* work = program.FVentart->ATQteVente;

    QRImpArtcommande = std::make_unique<TQuickRep>("QRImpArtcommande");
    TQuickRep& rep = *QRImpArtcommande;
    rep.setDataSet(work);
    rep.setFont({QStringLiteral("Arial"), 10});

    TQRBand* header = rep.addBand("QRBand1", rbPageHeader, 30.4);
    header->addSysData("QRSysData1", 156.6, 2.1);
    header->addLabel("QRLabel12", 141.8, 2.1, "Pages");
    header->addDBText("QRDBText7", 156.6, 13.8, work, "DATE")->setFont({QStringLiteral("Arial"), 16});
    header->addLabel("QRLabel1", 40.2, 12.7, QStringLiteral("Listing des articles à commander"))
        ->setFont({QStringLiteral("Arial"), 20});
    header->addImage("QRImage1", 2.1, 2.1, 32.0, 23.8, logoImage());

    TQRBand* detail = rep.addBand("QRBand2", rbDetail, 8.7);
    detail->addShape("QRShape2", 72.0, 0.0, 17.2, 8.7);
    detail->addShape("QRShape1", 8.5, 0.0, 63.8, 8.7);
    detail->addDBText("QRDBText1", 10.6, 2.1, work, "LIBELLE");
    detail->addDBText("QRDBText2", 74.1, 2.1, work, "QTE")->OnPrint =
        [this](TQRPrintable& e, QString& t) { QRDBText2Print(e, t); };
    detail->addShape("QRShape4", 163.0, 0.0, 17.2, 8.7);
    detail->addShape("QRShape3", 101.6, 0.0, 63.8, 8.7);
    detail->addDBText("QRDBText5", 167.2, 2.1, work, "QTE");
    detail->addDBText("QRDBText3", 103.7, 2.1, work, "LIBELLE");
    detail->BeforePrint = [this](TQRBand& b, bool& p) { QRBand2BeforePrint(b, p); };

    TQRBand* footer = rep.addBand("QRBand3", rbPageFooter, 18.8);
    footer->addLabel("QRLabel2", 177.8, 12.7, "QRLabel2")
        ->setFont({QStringLiteral("Arial"), 6, true});
    footer->BeforePrint = [this](TQRBand& b, bool& p) { QRBand3BeforePrint(b, p); };
}

TFImpartcom::~TFImpartcom() = default;

void TFImpartcom::Preview() { QRImpArtcommande->Preview(); }

// Each line starts with both columns on.
void TFImpartcom::QRBand2BeforePrint(TQRBand& band, bool&) {
    band.element("QRDBText5")->setEnabled(true);
    band.element("QRDBText3")->setEnabled(true);
}

// The first column's count is printed: the line's second column shows the
// next work row, or stays empty after the last one.
void TFImpartcom::QRDBText2Print(TQRPrintable& sender, QString&) {
    TApolloTable* work = QRImpArtcommande->DataSet();
    work->Next();
    if (work->Eof()) {
        sender.Band()->element("QRDBText5")->setEnabled(false);
        sender.Band()->element("QRDBText3")->setEnabled(false);
    }
}

void TFImpartcom::QRBand3BeforePrint(TQRBand& band, bool&) {
    static_cast<TQRLabel*>(band.element("QRLabel2"))->setCaption(programFileVersion());
}
