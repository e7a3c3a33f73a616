#include "store/apollo_field.h"

#include <algorithm>
#include <cmath>

#include "store/ansi_text.h"
#include "store/apollo_errors.h"
#include "store/apollo_table.h"

QString fieldTypeName(TFieldType type) {
    switch (type) {
        case TFieldType::ftString: return QStringLiteral("String");
        case TFieldType::ftSmallint: return QStringLiteral("Smallint");
        case TFieldType::ftInteger: return QStringLiteral("Integer");
        case TFieldType::ftFloat: return QStringLiteral("Float");
        case TFieldType::ftDate: return QStringLiteral("Date");
        case TFieldType::ftBoolean: return QStringLiteral("Boolean");
        case TFieldType::ftMemo: return QStringLiteral("Memo");
        case TFieldType::ftBlob: return QStringLiteral("Blob");
    }
    return {};
}

TFieldType fieldTypeOf(char letter, int width, int decimals) {
    switch (letter) {
        case 'N': return (decimals > 0 || width > 4) ? TFieldType::ftFloat : TFieldType::ftSmallint;
        case 'I': return TFieldType::ftInteger;
        case 'D': return TFieldType::ftDate;
        case 'L': return TFieldType::ftBoolean;
        case 'M': return TFieldType::ftMemo;
        case 'B':
        case 'G':
        case 'P': return TFieldType::ftBlob;
        default: return TFieldType::ftString;
    }
}

TField::TField(TApolloTable* owner, QString name, TFieldType type, int size)
    : owner_(owner), name_(std::move(name)), type_(type), size_(size) {}

void TField::bind(int offset, int width, int decimals, char letter) {
    offset_ = offset;
    width_ = width;
    decimals_ = decimals;
    letter_ = letter;
}

namespace {

bool parseNumber(const QString& text, double* out) {
    QString t = text.trimmed();
    bool ok = false;
    double v = t.toDouble(&ok);  // the stored form always has '.'
    if (ok && std::isfinite(v)) {
        *out = v;
        return true;
    }
    return false;
}

}  // namespace

void TField::readFrom(const QByteArray& image) {
    if (offset_ + width_ > image.size()) {
        value_ = QVariant();
        return;
    }
    QString text = fromAnsi(image.constData() + offset_, width_);
    switch (type_) {
        case TFieldType::ftString:
        case TFieldType::ftMemo:
        case TFieldType::ftBlob: {
            int end = static_cast<int>(text.size());
            while (end > 0 && text[end - 1] == QLatin1Char(' ')) --end;
            value_ = QVariant(text.left(end));
            return;
        }
        case TFieldType::ftSmallint:
        case TFieldType::ftInteger:
        case TFieldType::ftFloat: {
            if (text.trimmed().isEmpty()) {
                value_ = QVariant();
                return;
            }
            double v = 0;
            if (!parseNumber(text, &v)) v = 0;  // not a number: reads as 0
            if (type_ == TFieldType::ftFloat)
                value_ = QVariant(v);
            else
                value_ = QVariant(static_cast<int>(std::llround(std::clamp(v, -2e9, 2e9))));
            return;
        }
        case TFieldType::ftDate: {
            if (text.left(4).trimmed().isEmpty()) {
                value_ = QVariant();
                return;
            }
            QDate d(text.mid(0, 4).toInt(), text.mid(4, 2).toInt(), text.mid(6, 2).toInt());
            value_ = d.isValid() ? QVariant(d) : QVariant();
            return;
        }
        case TFieldType::ftBoolean: {
            QString t = text.trimmed();
            if (t.isEmpty()) {
                value_ = QVariant();
                return;
            }
            QChar c = t[0].toUpper();
            value_ = QVariant(c == QLatin1Char('T') || c == QLatin1Char('Y'));
            return;
        }
    }
}

void TField::writeTo(QByteArray& image, int epoch) const {
    if (offset_ + width_ > image.size()) return;
    QByteArray out;
    auto rightAligned = [&](const QString& text) {
        if (text.size() > width_) throw EApolloError(ApolloText::kOutOfBounds);
        return QByteArray(width_ - static_cast<int>(text.size()), ' ') + text.toLatin1();
    };
    switch (type_) {
        case TFieldType::ftString:
        case TFieldType::ftMemo:
        case TFieldType::ftBlob:
            out = toAnsi(value_.toString()).left(width_);
            out.append(QByteArray(width_ - static_cast<int>(out.size()), ' '));
            break;
        case TFieldType::ftSmallint:
        case TFieldType::ftInteger:
            out = value_.isNull() ? QByteArray(width_, ' ') : rightAligned(QString::number(value_.toInt()));
            break;
        case TFieldType::ftFloat: {
            if (value_.isNull()) {
                out = QByteArray(width_, ' ');
                break;
            }
            QString text = QString::number(value_.toDouble(), 'f', decimals_);
            if (text.startsWith(QLatin1Char('-')) && text.count(QLatin1Char('0')) + 1 +
                    (decimals_ > 0 ? 1 : 0) == text.size())
                text.remove(0, 1);  // no "-0.00"
            out = rightAligned(text);
            break;
        }
        case TFieldType::ftDate: {
            if (value_.isNull()) {
                out = QByteArray(8, ' ');
                break;
            }
            QDate d = value_.toDate();
            int y = d.year();
            if (y >= 0 && y < 100) {  // two-digit year: the hundred years from the epoch
                y += (epoch / 100) * 100;
                if (y < epoch) y += 100;
            }
            out = QStringLiteral("%1%2%3")
                      .arg(y, 4, 10, QLatin1Char('0'))
                      .arg(d.month(), 2, 10, QLatin1Char('0'))
                      .arg(d.day(), 2, 10, QLatin1Char('0'))
                      .toLatin1()
                      .left(8);
            break;
        }
        case TFieldType::ftBoolean:
            out = value_.isNull() ? QByteArray(" ") : QByteArray(value_.toBool() ? "T" : "F");
            break;
    }
    image.replace(offset_, width_, out);
}

QString TField::AsString() const {
    if (value_.isNull()) return {};
    switch (type_) {
        case TFieldType::ftFloat: return QString::number(value_.toDouble(), 'g', 15);
        case TFieldType::ftDate: return value_.toDate().toString(QStringLiteral("dd/MM/yyyy"));
        case TFieldType::ftBoolean: return value_.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        default: return value_.toString();
    }
}

double TField::AsFloat() const { return value_.isNull() ? 0.0 : value_.toDouble(); }

int TField::AsInteger() const {
    if (value_.isNull()) return 0;
    if (type_ == TFieldType::ftFloat) return static_cast<int>(std::llround(value_.toDouble()));
    return value_.toInt();
}

QDate TField::AsDate() const { return value_.isNull() ? zeroDate() : value_.toDate(); }

bool TField::AsBoolean() const { return !value_.isNull() && value_.toBool(); }

void TField::assign(const QVariant& v) {
    owner_->checkWritable();
    value_ = v;
    owner_->fieldChanged(this);
}

void TField::setAsString(const QString& text) {
    switch (type_) {
        case TFieldType::ftSmallint:
        case TFieldType::ftInteger:
        case TFieldType::ftFloat: {
            if (text.trimmed().isEmpty()) return assign(QVariant());
            QString t = text.trimmed();
            t.replace(QLatin1Char(','), QLatin1Char('.'));
            double v = 0;
            if (!parseNumber(t, &v))
                throw EDatabaseError(QStringLiteral("'%1' n'est pas une valeur en virgule flottante correcte").arg(text));
            if (type_ == TFieldType::ftFloat) return assign(QVariant(v));
            return assign(QVariant(static_cast<int>(std::llround(std::clamp(v, -2e9, 2e9)))));
        }
        case TFieldType::ftDate: {
            if (text.trimmed().isEmpty()) return assign(QVariant());
            QDate d = QDate::fromString(text.trimmed(), QStringLiteral("d/M/yyyy"));
            if (!d.isValid()) d = QDate::fromString(text.trimmed(), Qt::ISODate);
            return assign(d.isValid() ? QVariant(d) : QVariant());
        }
        case TFieldType::ftBoolean: {
            QString t = text.trimmed().toUpper();
            return assign(t.isEmpty() ? QVariant() : QVariant(t.startsWith('T') || t.startsWith('Y')));
        }
        default: return assign(QVariant(text));
    }
}

void TField::setAsFloat(double value) {
    if (type_ == TFieldType::ftString) return assign(QVariant(QString::number(value, 'g', 15)));
    if (type_ == TFieldType::ftFloat) return assign(QVariant(value));
    assign(QVariant(static_cast<int>(std::llround(std::clamp(value, -2e9, 2e9)))));
}

void TField::setAsInteger(int value) {
    if (type_ == TFieldType::ftString) return assign(QVariant(QString::number(value)));
    if (type_ == TFieldType::ftFloat) return assign(QVariant(static_cast<double>(value)));
    assign(QVariant(value));
}

void TField::setAsDate(const QDate& date) { assign(date.isValid() ? QVariant(date) : QVariant()); }

void TField::setAsBoolean(bool value) { assign(QVariant(value)); }

void TField::Clear() { assign(type_ == TFieldType::ftString ? QVariant(QString()) : QVariant()); }
