#include "till/arbitre.h"

TFArbitre::TFArbitre(TProgram& program) : TForm(program, "FArbitre", QString(), 305, 93) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::red);
    setPalette(p);
    setAutoFillBackground(true);
}
