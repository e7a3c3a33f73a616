// The look the windows share: fonts given by their height in pixels in the
// windows' face, and text colours.
#pragma once

#include <QColor>
#include <QFont>

class QWidget;

QFont pixelFont(int height, bool bold = false);
// The colour of a widget's text, whichever role draws it.
void setTextColour(QWidget* w, const QColor& colour);
