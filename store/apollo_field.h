// A field of a table handle: its declared or stored type, its place in the
// record image, and its value in the current row (null included).
#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QVariant>

enum class TFieldType { ftString, ftSmallint, ftInteger, ftFloat, ftDate, ftBoolean, ftMemo, ftBlob };

QString fieldTypeName(TFieldType type);

// The type a stored field is presented as: C text, N float when it has
// decimals or a width above 4 (else a small integer), I integer, D date,
// L boolean, M memo, B/G/P blob.
TFieldType fieldTypeOf(char letter, int width, int decimals);

// The date that a null date reads as.
inline QDate zeroDate() { return QDate(1899, 12, 30); }

class TApolloTable;

class TField {
public:
    TField(TApolloTable* owner, QString name, TFieldType type, int size);

    const QString& FieldName() const { return name_; }
    TFieldType DataType() const { return type_; }
    int Size() const { return size_; }

    bool IsNull() const { return value_.isNull(); }
    QString AsString() const;
    double AsFloat() const;
    int AsInteger() const;
    QDate AsDate() const;
    bool AsBoolean() const;
    QVariant Value() const { return value_; }

    // Writes go to the row being edited or inserted.
    void setAsString(const QString& text);
    void setAsFloat(double value);
    void setAsInteger(int value);
    void setAsDate(const QDate& date);
    void setAsBoolean(bool value);
    void Clear();

    // Binding to the file's layout, and conversions with the record image.
    void bind(int offset, int width, int decimals, char letter);
    void readFrom(const QByteArray& image);
    // Throws EApolloError "Translate error. Value out of bounds" for a
    // number wider than its field.
    void writeTo(QByteArray& image, int epoch) const;
    void setNull() { value_ = QVariant(); }

private:
    void assign(const QVariant& v);

    TApolloTable* owner_;
    QString name_;
    TFieldType type_;
    int size_;
    int offset_ = 0;
    int width_ = 0;
    int decimals_ = 0;
    char letter_ = 'C';
    QVariant value_;
};
