#include "backoffice/ticket.h"

TFTicket::TFTicket(TProgram& program)
    : TForm(program, "FTicket", QStringLiteral("Recherche  d'un ticket"), 352, 103) {}
