// Sales by article: the work table of sold quantities and the two
// printouts made from it.
#pragma once

#include "app/form.h"

class TFVentart : public TSwitchedForm {
    Q_OBJECT
public:
    explicit TFVentart(Program& program);

    // True once the work table has been rebuilt in this run.
    bool QteVenteConstruite = false;
};
