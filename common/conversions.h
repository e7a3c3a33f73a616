// Numbers, money, dates and times as the till shows them, and the typed
// texts it reads back; all with the regional settings in use unless told.
#pragma once

#include "store/app_error.h"
#include "common/format_settings.h"

#include <QDate>
#include <QString>
#include <QTime>

// A typed text that is not the number the dialog or the field wants.
class EConvertError : public AppError {
public:
    using AppError::AppError;
};

namespace ConvertText {
inline const QString kNotInteger = QStringLiteral("'%1' n'est pas une valeur entière correcte");
inline const QString kNotFloat =
    QStringLiteral("'%1' n'est pas une valeur en virgule flottante correcte");
inline const QString kNotFieldFloat =
    QStringLiteral("'%1' n'est pas une valeur flottante correcte pour le champ '%2'");
inline const QString kNotDate = QStringLiteral("'%1' n'est pas une date correcte");
}  // namespace ConvertText

// An amount: two decimals of at most 15 significant digits, grouped by
// thousands, with the currency symbol and negative form of the settings
// (Belgian: "-1 234,50 €").
QString moneyText(double v, const FormatSettings& s = formatSettings());
// A number in reports: up to 15 significant digits, no trailing zeros, no
// grouping ("2,5", "2"); beyond 1e15 or below 1e-5 as "1,5E20".
QString generalFloatText(double v, const FormatSettings& s = formatSettings());
// A number through a display mask: '0' a digit always shown, '#' a digit
// shown when needed, the first '.' the decimal separator, ',' thousands
// grouping, anything else shown as it stands ("0.00  €" -> "2,50  €").
// The minus sign of a negative value opens the text.
QString maskText(double v, const QString& mask, const FormatSettings& s = formatSettings());
// A date or time with the short date or long time format; empty when invalid.
QString dateText(const QDate& date, const FormatSettings& s = formatSettings());
QString timeText(const QTime& time, const FormatSettings& s = formatSettings());

// Typed texts, surrounding blanks allowed. A whole number: optional sign and
// digits, within 32 bits.
int textToInt(const QString& text);
// A number with the regional decimal separator or a '.' (the article window
// offers "21.00" whatever the locale), optional sign and exponent, no
// thousands separators.
double textToFloat(const QString& text, const FormatSettings& s = formatSettings());
// The same for a data-aware edit, whose message names the field.
double fieldTextToFloat(const QString& text, const QString& fieldName,
                        const FormatSettings& s = formatSettings());
