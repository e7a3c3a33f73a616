// The text a grid cell or a report's data text shows for a field of the
// current row: empty for a null value, numbers in the general format (or
// through a display mask), dates in the short date format, texts as stored.
#pragma once

#include <QString>

class TField;

QString fieldDisplayText(const TField& field, const QString& mask = {});
