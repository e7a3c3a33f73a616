#include "common/field_text.h"

#include "common/conversions.h"
#include "store/apollo_field.h"

QString fieldDisplayText(const TField& field, const QString& mask) {
    if (field.IsNull()) return {};
    switch (field.DataType()) {
    case TFieldType::ftFloat:
        return mask.isEmpty() ? generalFloatText(field.AsFloat()) : maskText(field.AsFloat(), mask);
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
        return mask.isEmpty() ? QString::number(field.AsInteger()) : maskText(field.AsInteger(), mask);
    case TFieldType::ftDate:
        return dateText(field.AsDate());
    default:
        return field.AsString();
    }
}

void setFieldText(TField& field, const QString& text) {
    if (text.trimmed().isEmpty()) {
        field.Clear();
        return;
    }
    switch (field.DataType()) {
    case TFieldType::ftFloat:
        field.setAsFloat(fieldTextToFloat(text, field.FieldName()));
        return;
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
        field.setAsInteger(textToInt(text));
        return;
    case TFieldType::ftDate: {
        const QDate date = QDate::fromString(text.trimmed(), formatSettings().shortDateFormat);
        if (!date.isValid()) throw EConvertError(ConvertText::kNotDate.arg(text));
        field.setAsDate(date);
        return;
    }
    default:
        field.setAsString(text);
    }
}
