#include "backoffice/ticket.h"

TFTicket::TFTicket(Program& program)
    : TForm(program, "FTicket", QStringLiteral("Recherche  d'un ticket"), 352, 103) {}
