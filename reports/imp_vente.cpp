#include "reports/imp_vente.h"

TFImpVente::TFImpVente(Program& program)
    : TReportHost(program, "FImpVente", QStringLiteral("Impression des ventes"), 600, 400) {
    // Opened as the window is loaded: an error here stops start-up.
    ATConfig = table("ATConfig", "config.DBF");
    ATConfig->Open();
}
