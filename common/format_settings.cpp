#include "common/format_settings.h"

#include <QStringDecoder>
#include <QStringView>
#include <QList>

#include <algorithm>
#include <clocale>
#include <cstring>
#include <langinfo.h>

namespace {

// "C", "POSIX" and "C.UTF-8" carry no regional data worth showing.
bool isPlainC(int category) {
    const char* name = std::setlocale(category, nullptr);
    return name == nullptr || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0 ||
           std::strncmp(name, "C.", 2) == 0;
}

// ISO-8859-15 (fr_BE@euro) differs from Latin-1 in eight places, the euro
// sign among them.
char16_t fromLatin9(unsigned char c) {
    switch (c) {
    case 0xA4: return u'€';
    case 0xA6: return u'Š';
    case 0xA8: return u'š';
    case 0xB4: return u'Ž';
    case 0xB8: return u'ž';
    case 0xBC: return u'Œ';
    case 0xBD: return u'œ';
    case 0xBE: return u'Ÿ';
    default: return c;
    }
}

// A locale text in the locale's character set; empty when missing or when
// the bytes do not decode, so the caller keeps its Belgian value.
QString decode(const char* bytes) {
    if (bytes == nullptr || *bytes == '\0')
        return {};
    const QByteArray raw(bytes);
    if (std::all_of(raw.begin(), raw.end(), [](char c) { return (c & 0x80) == 0; }))
        return QString::fromLatin1(raw);
    QByteArray codeset = QByteArray(nl_langinfo(CODESET)).toUpper();
    codeset.replace("-", "").replace("_", "");
    if (codeset == "UTF8") {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = utf8.decode(raw);
        return utf8.hasError() ? QString() : text;
    }
    if (codeset == "ISO88591")
        return QString::fromLatin1(raw);
    if (codeset == "ISO885915") {
        QString text;
        for (char c : raw)
            text += QChar(fromLatin9(static_cast<unsigned char>(c)));
        return text;
    }
    return {};
}

QChar singleChar(const char* bytes) {
    const QString text = decode(bytes);
    return text.size() == 1 ? text[0] : QChar();
}

void readCurrency(FormatSettings& s, const lconv& conv) {
    // CRNCYSTR: the symbol behind '-' (before the amount), '+' (after) or
    // '.' (in place of the decimal separator, shown here after the amount).
    const QString crncy = decode(nl_langinfo(CRNCYSTR));
    const QString symbol = crncy.mid(1).trimmed();
    if (!symbol.isEmpty()) {
        s.currencySymbol = symbol;
        s.currencyAfter = crncy[0] != u'-';
    }
    if (conv.p_cs_precedes == 0 || conv.p_cs_precedes == 1)
        s.currencyAfter = conv.p_cs_precedes == 0;
    if (conv.p_sep_by_space >= 0 && conv.p_sep_by_space <= 2)
        s.currencySpace = conv.p_sep_by_space == 1;
    if (conv.n_sign_posn >= 0 && conv.n_sign_posn <= 4)
        s.negativeSign = static_cast<NegativeSign>(conv.n_sign_posn);
}

// Whether an unquoted pattern letter shows the field.
bool shows(const QString& pattern, QChar field) {
    bool quoted = false;
    for (QChar c : pattern) {
        if (c == u'\'')
            quoted = !quoted;
        else if (!quoted && c == field)
            return true;
    }
    return false;
}

QString qtConversion(char16_t c) {
    switch (c) {
    case u'd': return QStringLiteral("dd");
    case u'e': return QStringLiteral("d");
    case u'm': return QStringLiteral("MM");
    case u'y': return QStringLiteral("yy");
    case u'Y': return QStringLiteral("yyyy");
    case u'H': return QStringLiteral("HH");
    case u'k': return QStringLiteral("H");
    case u'I': return QStringLiteral("hh");
    case u'l': return QStringLiteral("h");
    case u'M': return QStringLiteral("mm");
    case u'S': return QStringLiteral("ss");
    case u'p': return QStringLiteral("AP");
    case u'P': return QStringLiteral("ap");
    case u'T': return QStringLiteral("HH:mm:ss");
    case u'R': return QStringLiteral("HH:mm");
    case u'r': return QStringLiteral("hh:mm:ss AP");
    case u'D': return QStringLiteral("MM/dd/yy");
    case u'F': return QStringLiteral("yyyy-MM-dd");
    case u'%': return QStringLiteral("%");
    default: return {};  // names would come out in English: not shown
    }
}

}  // namespace

QString qtPatternFromStrftime(const QString& pattern) {
    QString out;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c != u'%') {
            // Qt reads letters as fields: literal ones go in quotes.
            if (c == u'\'')
                out += QStringLiteral("''");
            else if (c.isLetter())
                out += u'\'' + QString(c) + u'\'';
            else
                out += c;
            continue;
        }
        bool unpadded = false;  // glibc flags and the E/O alternative forms
        while (++i < pattern.size() && QStringView(u"-_0^#EO").contains(pattern[i]))
            unpadded |= pattern[i] == u'-';
        if (i == pattern.size())
            return {};
        QString field = qtConversion(pattern[i].unicode());
        if (field.isEmpty())
            return {};
        if (unpadded && field.size() == 2 && field[0] == field[1] && field[0] != u'y')
            field.chop(1);
        out += field;
    }
    return out;
}

FormatSettings FormatSettings::fromLocale() {
    FormatSettings s;
    const lconv& conv = *std::localeconv();
    QChar decimal, thousands;
    if (!isPlainC(LC_NUMERIC)) {
        decimal = singleChar(nl_langinfo(RADIXCHAR));
        thousands = singleChar(nl_langinfo(THOUSEP));
    }
    if (!isPlainC(LC_MONETARY)) {
        if (decimal.isNull())
            decimal = singleChar(conv.mon_decimal_point);
        if (thousands.isNull())
            thousands = singleChar(conv.mon_thousands_sep);
        readCurrency(s, conv);
    }
    if (!decimal.isNull() && !decimal.isDigit())
        s.decimalSeparator = decimal;
    if (!thousands.isNull() && !thousands.isDigit() && thousands != s.decimalSeparator)
        s.thousandsSeparator = thousands;
    if (!isPlainC(LC_TIME)) {
        const QString date = qtPatternFromStrftime(decode(nl_langinfo(D_FMT)));
        if (shows(date, u'd') && shows(date, u'M') && shows(date, u'y'))
            s.shortDateFormat = date;
        const QString time = qtPatternFromStrftime(decode(nl_langinfo(T_FMT)));
        if ((shows(time, u'H') || shows(time, u'h')) && shows(time, u'm'))
            s.longTimeFormat = time;
    }
    return s;
}

void FormatSettings::setCentury(bool on) {
    // The unquoted runs of 'y' in the short date format.
    QList<std::pair<qsizetype, qsizetype>> runs;  // start, length
    bool quoted = false;
    for (qsizetype i = 0; i < shortDateFormat.size(); ++i) {
        const QChar c = shortDateFormat[i];
        if (c == u'\'') {
            quoted = !quoted;
        } else if (!quoted && c == u'y') {
            if (!runs.isEmpty() && runs.last().first + runs.last().second == i)
                ++runs.last().second;
            else
                runs.append({i, 1});
        }
    }
    if (on) {
        if (std::any_of(runs.begin(), runs.end(), [](auto r) { return r.second >= 4; }))
            return;
        for (auto [start, length] : runs) {
            if (length == 2) {
                shortDateFormat.insert(start, QStringLiteral("yy"));
                return;
            }
        }
        return;
    }
    for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
        if (it->second == 4)
            shortDateFormat.remove(it->first, 2);
    }
}

FormatSettings& formatSettings() {
    static FormatSettings current;
    return current;
}

void setFormatSettings(const FormatSettings& settings) { formatSettings() = settings; }
