// Reprint of the sales journal of an archived sales file.
#pragma once

#include "ui/form.h"

class TFRImpCaisse : public TSwitchedForm {
    Q_OBJECT
public:
    explicit TFRImpCaisse(TProgram& program);
};
