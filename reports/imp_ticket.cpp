#include "reports/imp_ticket.h"

#include "common/conversions.h"
#include "reports/engine/logo.h"
#include "till/caisse.h"

namespace {

const TQRFont kText{QStringLiteral("Arial"), 12};

template <class E>
E* text(E* element) {
    element->setFont(kText);
    return element;
}

}  // namespace

TFImpTicket::TFImpTicket(TProgram& program)
    : TReportHost(program, "FImpTicket", QStringLiteral("Impression du ticket de caisse"), 600,
                  400) {
    TFCaisse* till = program.FCaisse;
    TApolloTable* sales = till->ATVente;

    QRImpTicket = std::make_unique<TQuickRep>("QRImpTicket");
    TQuickRep& rep = *QRImpTicket;
    rep.setDataSet(sales);
    rep.Page().paperSize = Custom;
    rep.Page().width = 105;
    rep.Page().length = 148.5;
    rep.Page().orientation = poPortrait;
    rep.Page().topMargin = 10;
    rep.Page().bottomMargin = 5;
    rep.Page().leftMargin = 5;
    rep.Page().rightMargin = 5;
    rep.setFont({QStringLiteral("Arial"), 10});

    TQRBand* header = rep.addBand("QRBand1", rbPageHeader, 26.2);
    header->addImage("QRImage1", -6.3, 0.0, 32.0, 23.8, logoImage());
    text(header->addLabel("QRLabel1", 19.1, 8.5, QStringLiteral("Ticket n°")));
    text(header->addLabel("QRLabel12", 61.4, 8.5, "Du"));
    text(header->addDBText("QRDBText3", 38.1, 8.5, sales, "TICKET"));
    text(header->addDBText("QRDBText4", 69.8, 8.5, sales, "DATE"));
    text(header->addLabel("QRLRes", 19.1, 16.9, "Paiement en RES"));
    text(header->addLabel("QRLabel3", 61.4, 16.9, "QRLabel3"));
    header->BeforePrint = [this](TQRBand& b, bool& p) { QRBand1BeforePrint(b, p); };

    TQRBand* detail = rep.addBand("QRBand2", rbDetail, 8.7);
    detail->addShape("QRShape2", 61.4, 0.0, 15.1, 8.7);
    detail->addShape("QRShape1", 0.0, 0.0, 61.6, 8.7);
    text(detail->addDBText("QRDBText1", 2.1, 1.1, sales, "LIBELLE"));
    text(detail->addDBText("QRDBText2", 63.5, 1.1, sales, "PRIX"));
    text(detail->addDBText("QRDBText5", 78.3, 2.1, sales, "TICKET"));

    TQRBand* footer = rep.addBand("QRBand3", rbPageFooter, 18.8);
    text(footer->addLabel("QRLabel6", 4.2, 2.1, "Total de la commande"));
    text(footer->addLabel("QRLabel7", 59.3, 2.1, QStringLiteral("Montant 21%")));
    text(footer->addLabel("QRLabel2", 40.2, 12.7, "Signature"));
    text(footer->addLabel("QRLabel4", 4.2, 12.7, "Num Carte RES"));
    footer->BeforePrint = [this](TQRBand& b, bool& p) { QRBand3BeforePrint(b, p); };
}

TFImpTicket::~TFImpTicket() = default;

void TFImpTicket::Preview() { QRImpTicket->Preview(); }

void TFImpTicket::QRBand1BeforePrint(TQRBand& band, bool&) {
    TFCaisse* till = program().FCaisse;
    QRImpTicket->PrinterSettings().title =
        QStringLiteral("Ticket de caisse n° %1").arg(till->ATVente->FieldByName("TICKET")->AsString().trimmed());
    static_cast<TQRLabel*>(band.element("QRLabel3"))->setCaption(till->NomRES);
    band.element("QRLRes")->setEnabled(till->PaiementRES);
}

void TFImpTicket::QRBand3BeforePrint(TQRBand& band, bool&) {
    TFCaisse* till = program().FCaisse;
    static_cast<TQRLabel*>(band.element("QRLabel7"))->setCaption(moneyText(till->TotalTicket));
    band.element("QRLabel2")->setEnabled(till->PaiementRES);
    static_cast<TQRLabel*>(band.element("QRLabel4"))->setCaption(till->NumCarteRES);
}
