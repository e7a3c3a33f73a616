// Article management: the bar's price list, one article per row of the
// article table, with its place on the till.
#pragma once

#include "ui/form.h"

class TFArticle : public TSwitchedForm {
    Q_OBJECT
public:
    explicit TFArticle(TProgram& program);
};
