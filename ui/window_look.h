// The look the windows share: fonts given by their height in pixels in the
// windows' face, and text colours.
#pragma once

#include <QColor>
#include <QFont>

class QLabel;
class QString;
class QWidget;

QFont pixelFont(int height, bool bold = false);
// The colour of a widget's text, whichever role draws it.
void setTextColour(QWidget* w, const QColor& colour);
// A caption of its natural size at (x, y), named for the tests.
QLabel* placedLabel(QWidget* parent, const char* name, const QString& caption, int x, int y);
