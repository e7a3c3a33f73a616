// Texts are stored in the tables as single bytes of the Western Windows code
// page (é is 0xE9, € is 0x80), the way club treasurers' xBase tools write them.
#pragma once

#include <QByteArray>
#include <QString>

QString fromAnsi(const char* bytes, int length);
QByteArray toAnsi(const QString& text);  // characters without a byte become '?'
