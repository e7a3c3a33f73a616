#include "reports/imp_ticket.h"

TFImpTicket::TFImpTicket(Program& program)
    : TReportHost(program, "FImpTicket", QStringLiteral("Impression du ticket de caisse"), 600, 400) {}
