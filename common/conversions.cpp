#include "common/conversions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace {

constexpr int kSignificant = 15;  // what a double holds reliably

// |v| rounded to 15 significant digits: v = 0.digits x 10^point, the digits
// without trailing zeros (none at all for zero).
struct Digits {
    QString digits;
    int point = 0;
};

Digits significantDigits(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.*e", kSignificant - 1, std::fabs(v));  // d.ddd...e+x
    Digits d;
    d.digits = QLatin1Char(buf[0]) + QString::fromLatin1(buf + 2, kSignificant - 1);
    while (d.digits.endsWith(u'0'))
        d.digits.chop(1);
    if (!d.digits.isEmpty())
        d.point = std::atoi(std::strchr(buf, 'e') + 1) + 1;
    return d;
}

// The whole and fraction digits with exactly `decimals` fraction digits,
// rounded half away from zero.
struct Fixed {
    QString whole;
    QString fraction;
    bool isZero() const {
        const QString all = whole + fraction;
        return std::all_of(all.begin(), all.end(), [](QChar c) { return c == u'0'; });
    }
};

Fixed fixedDigits(const Digits& d, qsizetype decimals) {
    const qsizetype size = d.digits.size();
    Fixed f;
    if (d.point <= 0) {
        f.whole = QStringLiteral("0");
        f.fraction = QString(-d.point, u'0') + d.digits;
    } else if (d.point >= size) {
        f.whole = d.digits + QString(d.point - size, u'0');
    } else {
        f.whole = d.digits.left(d.point);
        f.fraction = d.digits.mid(d.point);
    }
    const bool roundUp = f.fraction.size() > decimals && f.fraction[decimals] >= u'5';
    f.fraction = f.fraction.left(decimals).leftJustified(decimals, u'0');
    if (roundUp) {
        QString all = f.whole + f.fraction;
        qsizetype i = all.size() - 1;
        while (i >= 0 && all[i] == u'9')
            all[i--] = u'0';
        if (i < 0)
            all.prepend(u'1');
        else
            all[i] = QChar(all[i].unicode() + 1);
        f.whole = all.left(all.size() - decimals);
        f.fraction = all.right(decimals);
    }
    return f;
}

QString grouped(QString whole, QChar separator) {
    for (qsizetype i = whole.size() - 3; i > 0; i -= 3)
        whole.insert(i, separator);
    return whole;
}

std::optional<QString> nonFiniteText(double v) {
    if (std::isnan(v))
        return QStringLiteral("NAN");
    if (std::isinf(v))
        return v < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    return std::nullopt;
}

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// A typed number, read whatever the process's C locale says.
std::optional<double> parseFloat(const QString& text, QChar decimal) {
    const QString t = text.trimmed();
    const qsizetype n = t.size();
    qsizetype i = 0;
    std::string ascii;
    auto digitRun = [&] {
        const qsizetype from = i;
        while (i < n && isDigit(t[i]))
            ascii += static_cast<char>(t[i++].unicode());
        return i - from;
    };
    auto sign = [&] {
        if (i < n && (t[i] == u'+' || t[i] == u'-'))
            ascii += static_cast<char>(t[i++].unicode());
    };
    sign();
    if (ascii == "+")
        ascii.clear();  // from_chars takes no leading '+'
    qsizetype mantissa = digitRun();
    if (i < n && (t[i] == decimal || t[i] == u'.')) {
        ascii += '.';
        ++i;
        mantissa += digitRun();
    }
    if (mantissa == 0)
        return std::nullopt;
    if (i < n && (t[i] == u'e' || t[i] == u'E')) {
        ascii += 'e';
        ++i;
        sign();
        if (digitRun() == 0)
            return std::nullopt;
    }
    if (i != n)
        return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (ec != std::errc() || end != ascii.data() + ascii.size())
        return std::nullopt;  // beyond the range of a double, either way
    return value;
}

}  // namespace

QString moneyText(double v, const FormatSettings& s) {
    if (auto text = nonFiniteText(v))
        return *text;
    const Fixed f = fixedDigits(significantDigits(v), 2);
    const QString amount = grouped(f.whole, s.thousandsSeparator) + s.decimalSeparator + f.fraction;
    const QString gap = s.currencySpace ? QStringLiteral(" ") : QString();
    auto withSymbol = [&](const QString& symbol) {
        return s.currencyAfter ? amount + gap + symbol : symbol + gap + amount;
    };
    if (v >= 0 || f.isZero())
        return withSymbol(s.currencySymbol);
    switch (s.negativeSign) {
    case NegativeSign::Parentheses: return u'(' + withSymbol(s.currencySymbol) + u')';
    case NegativeSign::BeforeAll: break;
    case NegativeSign::AfterAll: return withSymbol(s.currencySymbol) + u'-';
    case NegativeSign::BeforeSymbol: return withSymbol(u'-' + s.currencySymbol);
    case NegativeSign::AfterSymbol: return withSymbol(s.currencySymbol + u'-');
    }
    return u'-' + withSymbol(s.currencySymbol);
}

QString generalFloatText(double v, const FormatSettings& s) {
    if (auto text = nonFiniteText(v))
        return *text;
    const Digits d = significantDigits(v);
    if (d.digits.isEmpty())
        return QStringLiteral("0");
    QString text = v < 0 ? QStringLiteral("-") : QString();
    const int exponent = d.point - 1;
    if (exponent < -5 || exponent >= kSignificant) {
        text += d.digits[0];
        if (d.digits.size() > 1)
            text += s.decimalSeparator + d.digits.mid(1);
        return text + u'E' + QString::number(exponent);
    }
    // Every significant digit fits: no rounding, and no trailing zeros.
    const Fixed f = fixedDigits(d, std::max<qsizetype>(0, d.digits.size() - d.point));
    text += f.whole;
    if (!f.fraction.isEmpty())
        text += s.decimalSeparator + f.fraction;
    return text;
}

QString maskText(double v, const QString& mask, const FormatSettings& s) {
    // The number is the run of placeholders around the first digit one.
    const QString placeholders = QStringLiteral("0#.,");
    qsizetype start = 0;
    while (start < mask.size() && mask[start] != u'0' && mask[start] != u'#')
        ++start;
    if (start == mask.size())
        return mask;
    while (start > 0 && placeholders.contains(mask[start - 1]))
        --start;
    qsizetype end = start;
    while (end < mask.size() && placeholders.contains(mask[end]))
        ++end;
    if (auto text = nonFiniteText(v))
        return *text;

    const QStringView number = QStringView(mask).mid(start, end - start);
    const qsizetype point = number.indexOf(u'.');
    const QStringView wholeMask = point < 0 ? number : number.left(point);
    const QStringView fractionMask = point < 0 ? QStringView() : number.mid(point + 1);
    const qsizetype minWhole = wholeMask.count(u'0');
    const qsizetype minFraction = fractionMask.count(u'0');
    const qsizetype maxFraction = minFraction + fractionMask.count(u'#');

    Fixed f = fixedDigits(significantDigits(v), maxFraction);
    const bool negative = v < 0 && !f.isZero();
    while (f.fraction.size() > minFraction && f.fraction.endsWith(u'0'))
        f.fraction.chop(1);
    if (f.whole == QLatin1String("0") && minWhole == 0)
        f.whole.clear();
    f.whole = f.whole.rightJustified(minWhole, u'0');
    if (wholeMask.contains(u','))
        f.whole = grouped(f.whole, s.thousandsSeparator);

    QString text = negative ? QStringLiteral("-") : QString();
    text += mask.left(start) + f.whole;
    if (!f.fraction.isEmpty())
        text += s.decimalSeparator + f.fraction;
    return text + mask.mid(end);
}

QString dateText(const QDate& date, const FormatSettings& s) {
    return date.isValid() ? date.toString(s.shortDateFormat) : QString();
}

QString timeText(const QTime& time, const FormatSettings& s) {
    return time.isValid() ? time.toString(s.longTimeFormat) : QString();
}

int textToInt(const QString& text) {
    // Leading blanks are skipped; a trailing one makes the text no integer.
    const QString& t = text;
    qsizetype i = 0;
    while (i < t.size() && t[i] == u' ') ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
        negative = t[i++] == u'-';
    if (i == t.size())
        throw EConvertError(ConvertText::kNotInteger.arg(text));
    qint64 value = 0;
    const qint64 limit = negative ? 2147483648LL : 2147483647LL;
    for (; i < t.size(); ++i) {
        if (!isDigit(t[i]))
            throw EConvertError(ConvertText::kNotInteger.arg(text));
        value = value * 10 + (t[i].unicode() - u'0');
        if (value > limit)
            throw EConvertError(ConvertText::kNotInteger.arg(text));
    }
    return static_cast<int>(negative ? -value : value);
}

double textToFloat(const QString& text, const FormatSettings& s) {
    if (auto value = parseFloat(text, s.decimalSeparator))
        return *value;
    throw EConvertError(ConvertText::kNotFloat.arg(text));
}

double fieldTextToFloat(const QString& text, const QString& fieldName, const FormatSettings& s) {
    if (auto value = parseFloat(text, s.decimalSeparator))
        return *value;
    throw EConvertError(ConvertText::kNotFieldFloat.arg(text, fieldName));
}
