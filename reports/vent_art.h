// Sales by article: the work table of sold quantities and the two
// printouts made from it.
#pragma once

#include "ui/form.h"

class TFVentart : public TSwitchedForm {
    Q_OBJECT
public:
    explicit TFVentart(TProgram& program);

    // True once the work table has been rebuilt in this run.
    bool QteVenteConstruite = false;
};
