// The text a grid cell or a report's data text shows for a field of the
// current row: empty for a null value, numbers in the general format (or
// through a display mask), dates in the short date format, texts as stored.
#pragma once

#include <QString>

class TField;

QString fieldDisplayText(const TField& field, const QString& mask = {});

// Writes a typed text into a field of the row being edited, as a data-aware
// edit does: an empty text clears the field, a number must read as one
// (EConvertError naming the text and the field), a date must read in the
// short date format; texts are stored as typed.
void setFieldText(TField& field, const QString& text);
