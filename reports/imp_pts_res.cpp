#include "reports/imp_pts_res.h"
#include "store/table_layouts.h"

TFImpPtsRES::TFImpPtsRES(TProgram& program)
    : TReportHost(program, "FImpPtsRES", QStringLiteral("Impression des paiement RES"), 600, 400) {
    ATPtsRES = table("ATPtsRES", TableFile::kCardPayments);
    creationStep([this] {
        ATPtsRES->Open();
        ATPtsRES->OpenIndex(IndexFile::kCardPayments);
    });

    QRImpPtsRES = std::make_unique<TQuickRep>("QRImpPtsRES");
    TQuickRep& rep = *QRImpPtsRES;
    rep.setDataSet(ATPtsRES);
    rep.Page().orientation = poLandscape;
    rep.setFont({QStringLiteral("Times New Roman"), 12});

    TQRBand* title = rep.addBand("QRBand1", rbTitle, 10.6);
    title->addLabel("QRLabel1", 113.8, 2.1, "Liste des paiements RES")
        ->setFont({QStringLiteral("Times New Roman"), 14});

    TQRBand* detail = rep.addBand("QRBArticles", rbDetail, 7.1);
    detail->addShape("QRShape1", 2.1, 0.0, 72.2, 6.6);
    detail->addDBText("QRDBText1", 4.2, 0.5, ATPtsRES, "NOM");
    detail->addShape("QRShape2", 74.1, 0.0, 25.7, 6.6);
    TQRDBText* amount = detail->addDBText("QRDBText2", 76.2, 0.5, ATPtsRES, "MONTANT");
    amount->setMask(QStringLiteral("0.00  €"));
    amount->setAlignment(taRightJustify);
    amount->setRightEdge(97.4);
    detail->addShape("QRShape3", 99.5, 0.0, 27.8, 6.6);
    detail->addDBText("QRDBText3", 101.6, 0.5, ATPtsRES, "DATEACHAT");
    detail->addShape("QRShape4", 127.0, 0.0, 40.5, 6.6);
    detail->addDBText("QRDBText4", 129.1, 0.5, ATPtsRES, "NUMRES");
    detail->addShape("QRShape5", 167.2, 0.0, 60.6, 6.6);
    detail->addShape("QRShape6", 226.5, 0.0, 50.0, 6.6);
    detail->addDBText("QRDBText5", 169.3, 0.5, ATPtsRES, "ADRESSE");
    detail->addDBText("QRDBText6", 228.6, 0.5, ATPtsRES, "LOCALITE");

    TQRBand* columns = rep.addBand("QRBand2", rbColumnHeader, 10.6);
    columns->addLabel("QRLabel2", 4.2, 2.1, "Nom du membre");
    columns->addLabel("QRLabel3", 76.2, 2.1, "Montant");
    columns->addLabel("QRLabel4", 101.6, 2.1, "Date");
    columns->addLabel("QRLabel5", 169.3, 2.1, "Adresse");
    columns->addLabel("QRLabel6", 228.6, 2.1, QStringLiteral("Localité"));
    columns->addLabel("QRLabel7", 129.1, 2.1, QStringLiteral("N° Carte RES"));
}

TFImpPtsRES::~TFImpPtsRES() = default;

void TFImpPtsRES::Preview() { QRImpPtsRES->Preview(); }
