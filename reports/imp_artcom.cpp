#include "reports/imp_artcom.h"

TFImpartcom::TFImpartcom(TProgram& program)
    : TReportHost(program, "FImpartcom", QStringLiteral("Impression des acrticles à recommander"), 600, 400) {}

// The report of this host is not built yet: its menu entry shows nothing.
void TFImpartcom::Preview() {}
