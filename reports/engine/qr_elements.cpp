#include "reports/engine/qr_elements.h"

#include <cstdio>

#include "common/field_text.h"
#include "reports/engine/jpeg_decoder.h"
#include "store/apollo_table.h"

TQRPrintable::TQRPrintable(TQRBand* band, TQRElementKind kind, QString name, double left,
                           double top, double width, double height)
    : band_(band), kind_(kind), name_(std::move(name)), left_(left), top_(top), width_(width),
      height_(height) {}

TQRLabel::TQRLabel(TQRBand* band, const QString& name, double left, double top, QString caption)
    : TQRPrintable(band, TQRElementKind::Label, name, left, top, 0, 0),
      caption_(std::move(caption)) {}

TQRDBText::TQRDBText(TQRBand* band, const QString& name, double left, double top,
                     TApolloTable* table, QString field)
    : TQRPrintable(band, TQRElementKind::DBText, name, left, top, 0, 0), table_(table),
      field_(std::move(field)) {}

void TQRDBText::setDataSet(TApolloTable* table) { table_ = table; }

QString TQRDBText::fieldText() const {
    if (!table_ || !table_->Active() || field_.isEmpty()) return {};
    const TField* f = table_->FieldByName(field_);  // an unknown field is the layer's error
    return fieldDisplayText(*f, mask_);
}

TQRSysData::TQRSysData(TQRBand* band, const QString& name, double left, double top,
                       TQRSysDataType data)
    : TQRPrintable(band, TQRElementKind::SysData, name, left, top, 0, 0), data_(data) {}

TQRShape::TQRShape(TQRBand* band, const QString& name, double left, double top, double width,
                   double height)
    : TQRPrintable(band, TQRElementKind::Shape, name, left, top, width, height) {
    setAutoSize(false);
}

TQRImage::TQRImage(TQRBand* band, const QString& name, double left, double top, double width,
                   double height, QImage picture)
    : TQRPrintable(band, TQRElementKind::Image, name, left, top, width, height),
      picture_(std::move(picture)) {
    setAutoSize(false);
}

bool TQRImage::loadJpeg(const QByteArray& bytes) {
    QString why;
    picture_ = decodeJpeg(bytes, &why);
    if (picture_.isNull()) {
        std::fprintf(stderr, "%s\n",
                     qPrintable(QStringLiteral("Image %1 : %2").arg(Name(), why)));
        return false;
    }
    return true;
}
