#include "reports/imp_artcom.h"

TFImpartcom::TFImpartcom(Program& program)
    : TReportHost(program, "FImpartcom", QStringLiteral("Impression des acrticles à recommander"), 600, 400) {}
