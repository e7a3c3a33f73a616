// The regional settings the till shows and reads numbers, money, dates and
// times with. The program reads them once from the process locale at start;
// a plain "C" locale (a service account, a bare container) gets the Belgian
// French values the club works with.
#pragma once

#include <QChar>
#include <QString>

// Where the minus sign of a negative amount goes (POSIX n_sign_posn 0..4).
enum class NegativeSign { Parentheses, BeforeAll, AfterAll, BeforeSymbol, AfterSymbol };

// A default-constructed object holds the Belgian French values.
struct FormatSettings {
    QString currencySymbol = QStringLiteral("€");
    bool currencyAfter = true;  // "1,50 €" rather than "€1,50"
    bool currencySpace = true;  // a space between amount and symbol
    NegativeSign negativeSign = NegativeSign::BeforeAll;
    QChar decimalSeparator = u',';
    QChar thousandsSeparator = QChar(0x00A0);  // no-break space
    QString shortDateFormat = QStringLiteral("d/MM/yyyy");  // Qt date pattern
    QString longTimeFormat = QStringLiteral("HH:mm:ss");    // Qt time pattern

    // What the process's POSIX locale says (the program entry has called
    // setlocale); a category set to "C"/"POSIX", and any item the locale
    // lacks or we cannot show, keeps the Belgian value.
    static FormatSettings fromLocale();

    // With the century on, a two-digit year in the short date format grows to
    // four digits (dd/MM/yy -> dd/MM/yyyy); off, four digits shrink to two.
    void setCentury(bool on);

    bool operator==(const FormatSettings&) const = default;
};

// The settings in use by the whole process (Belgian until set).
FormatSettings& formatSettings();
void setFormatSettings(const FormatSettings& settings);
inline void setCentury(bool on) { formatSettings().setCentury(on); }

// The Qt pattern of a strftime pattern ("%d/%m/%Y" -> "dd/MM/yyyy"), or an
// empty text when it holds a conversion we do not show (names, weekdays...).
QString qtPatternFromStrftime(const QString& pattern);
