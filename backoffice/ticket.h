// Ticket search: a ticket number typed or picked, whose rows the till then
// shows.
#pragma once

#include "ui/form.h"

class TFTicket : public TForm {
    Q_OBJECT
public:
    explicit TFTicket(TProgram& program);
};
