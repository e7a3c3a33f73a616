#include "reports/imp_article.h"
#include "store/table_layouts.h"

TFImpArticle::TFImpArticle(TProgram& program)
    : TReportHost(program, "FImpArticle", QStringLiteral("Impression des articles"), 600, 400) {
    ATArticles = table("ATArticles", TableFile::kArticles);
    creationStep([this] {
        ATArticles->Open();
        ATArticles->OpenIndex(IndexFile::kArticleOrder);
    });

    QRImpArticle = std::make_unique<TQuickRep>("QRImpArticle");
    TQuickRep& rep = *QRImpArticle;
    rep.setDataSet(ATArticles);
    rep.setFont({QStringLiteral("Times New Roman"), 12});

    TQRBand* title = rep.addBand("QRBand1", rbTitle, 10.6);
    title->addLabel("QRLabel1", 45.8, 2.1, "Liste des articles de la caisse")
        ->setFont({QStringLiteral("Courier"), 15});

    TQRBand* detail = rep.addBand("QRBArticles", rbDetail, 7.1);
    detail->addShape("QRShape1", 2.1, 0.0, 51.1, 6.6);
    detail->addDBText("QRDBText1", 4.2, 0.5, ATArticles, "LIBELLE");
    detail->addShape("QRShape2", 52.9, 0.0, 21.4, 6.6);
    detail->addDBText("QRDBText2", 55.0, 0.5, ATArticles, "PRIX");
    detail->addShape("QRShape3", 74.1, 0.0, 15.1, 6.6);
    detail->addDBText("QRDBText3", 76.2, 0.5, ATArticles, "TVA");
    detail->addShape("QRShape4", 88.9, 0.0, 19.3, 6.6);
    detail->addDBText("QRDBText4", 91.0, 0.5, ATArticles, "ORDRE");

    TQRBand* columns = rep.addBand("QRBand2", rbColumnHeader, 10.6);
    columns->addLabel("QRLabel2", 4.2, 2.1, "Libelle");
    columns->addLabel("QRLabel3", 55.0, 2.1, "Prix");
    columns->addLabel("QRLabel4", 76.2, 2.1, "T.V.A.");
    columns->addLabel("QRLabel5", 91.0, 2.1, "Ordre");
}

TFImpArticle::~TFImpArticle() = default;

void TFImpArticle::Preview() { QRImpArticle->Preview(); }
