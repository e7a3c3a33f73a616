#include "ui/window_look.h"

#include <QLabel>
#include <QPalette>
#include <QWidget>

QFont pixelFont(int height, bool bold) {
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPixelSize(height);
    f.setBold(bold);
    return f;
}

void setTextColour(QWidget* w, const QColor& colour) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::ButtonText, colour);
    p.setColor(QPalette::Text, colour);
    w->setPalette(p);
}

QLabel* placedLabel(QWidget* parent, const char* name, const QString& caption, int x, int y) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(QLatin1String(name));
    l->move(x, y);
    l->adjustSize();
    return l;
}
