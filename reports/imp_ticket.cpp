#include "reports/imp_ticket.h"

#include "common/conversions.h"
#include "reports/receipt_layout.h"
#include "till/caisse.h"

TFImpTicket::TFImpTicket(TProgram& program)
    : TReportHost(program, "FImpTicket", QStringLiteral("Impression du ticket de caisse"), 600,
                  400) {
    TFCaisse* till = program.FCaisse;
    TApolloTable* sales = till->ATVente;

    QRImpTicket = std::make_unique<TQuickRep>("QRImpTicket");
    buildReceiptLayout(*QRImpTicket, sales);
    QRImpTicket->band("QRBand1")->BeforePrint = [this](TQRBand& b, bool& p) { QRBand1BeforePrint(b, p); };
    QRImpTicket->band("QRBand3")->BeforePrint = [this](TQRBand& b, bool& p) { QRBand3BeforePrint(b, p); };
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
