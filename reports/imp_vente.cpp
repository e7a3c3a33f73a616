#include "reports/imp_vente.h"

TFImpVente::TFImpVente(TProgram& program)
    : TReportHost(program, "FImpVente", QStringLiteral("Impression des ventes"), 600, 400) {
    // Opened as the window is loaded: an error here stops start-up.
    ATConfig = table("ATConfig", "config.DBF");
    ATConfig->Open();
}

// The report of this host is not built yet: its menu entry shows nothing.
void TFImpVente::Preview() {}
