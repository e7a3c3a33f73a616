// The referee amount entry: a borderless red box over the till.
#pragma once

#include "ui/form.h"

class TFArbitre : public TForm {
    Q_OBJECT
public:
    explicit TFArbitre(TProgram& program);
};
