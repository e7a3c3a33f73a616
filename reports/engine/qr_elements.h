// The elements a report band holds: captions, field texts, the page number,
// cell frames and pictures. Positions and sizes are in mm from the band's
// top-left corner; handlers change captions and enabled flags between and
// during bands, and a change shows at the element's next printing.
#pragma once

#include <QImage>
#include <QPointer>
#include <QString>
#include <functional>
#include <optional>

#include "reports/engine/qr_font.h"
#include "reports/engine/qr_types.h"
#include "store/apollo_table.h"

class TQRBand;

enum class TQRElementKind { Label, DBText, SysData, Shape, Image };

class TQRPrintable {
public:
    TQRPrintable(TQRBand* band, TQRElementKind kind, QString name, double left, double top,
                 double width, double height);
    virtual ~TQRPrintable() = default;
    TQRPrintable(const TQRPrintable&) = delete;
    TQRPrintable& operator=(const TQRPrintable&) = delete;

    TQRElementKind Kind() const { return kind_; }
    const QString& Name() const { return name_; }
    TQRBand* Band() const { return band_; }

    double Left() const { return left_; }
    double Top() const { return top_; }
    double Width() const { return width_; }
    double Height() const { return height_; }
    void setLeft(double mm) { left_ = mm; }
    void setTop(double mm) { top_ = mm; }
    void setSize(double width, double height) {
        width_ = width;
        height_ = height;
    }
    // For a right-aligned auto-sized text: where its right edge stays.
    void setRightEdge(double mm) { width_ = mm - left_; }

    bool Enabled() const { return enabled_; }
    void setEnabled(bool on) { enabled_ = on; }

    // Text elements only: shapes and pictures have no text, so these are
    // kept but unused for them.
    // Without a font of its own, an element prints in its band's, else in
    // its report's: the generator follows that chain.
    const std::optional<TQRFont>& OwnFont() const { return font_; }
    void setFont(const TQRFont& font) { font_ = font; }
    bool ParentFont() const { return !font_.has_value(); }
    TQRAlignment Alignment() const { return alignment_; }
    void setAlignment(TQRAlignment a) { alignment_ = a; }
    bool AutoSize() const { return autoSize_; }
    void setAutoSize(bool on) { autoSize_ = on; }

    // Called while the element prints, with the text about to print, only
    // when that text is not empty; the handler may change it.
    std::function<void(TQRPrintable& sender, QString& text)> OnPrint;

private:
    TQRBand* band_;
    TQRElementKind kind_;
    QString name_;
    double left_, top_, width_, height_;
    bool enabled_ = true;
    std::optional<TQRFont> font_;
    TQRAlignment alignment_ = taLeftJustify;
    bool autoSize_ = true;
};

class TQRLabel : public TQRPrintable {
public:
    TQRLabel(TQRBand* band, const QString& name, double left, double top, QString caption);
    const QString& Caption() const { return caption_; }
    void setCaption(const QString& text) { caption_ = text; }

private:
    QString caption_;
};

// The text of one field of a table's current row.
class TQRDBText : public TQRPrintable {
public:
    TQRDBText(TQRBand* band, const QString& name, double left, double top, TApolloTable* table,
              QString field);
    TApolloTable* DataSet() const { return table_; }
    void setDataSet(TApolloTable* table);
    const QString& DataField() const { return field_; }
    void setDataField(const QString& field) { field_ = field; }
    // A number mask such as "0.00  €"; empty for the field's own text.
    const QString& Mask() const { return mask_; }
    void setMask(const QString& mask) { mask_ = mask; }

    // The field's display text in the current row: a string as stored, a
    // float in general form (or through the mask), a date in the short
    // date format; empty for a null value or a closed table.
    QString fieldText() const;

private:
    QPointer<TApolloTable> table_;
    QString field_;
    QString mask_;
};

enum TQRSysDataType { qrsPageNumber };

class TQRSysData : public TQRPrintable {
public:
    TQRSysData(TQRBand* band, const QString& name, double left, double top, TQRSysDataType data);
    TQRSysDataType Data() const { return data_; }
    // Printed before the value.
    const QString& Text() const { return text_; }
    void setText(const QString& prefix) { text_ = prefix; }

private:
    TQRSysDataType data_;
    QString text_;
};

enum TQRShapeType { qrsRectangle };

// A thin black outline with a white fill.
class TQRShape : public TQRPrintable {
public:
    TQRShape(TQRBand* band, const QString& name, double left, double top, double width,
             double height);
    TQRShapeType Shape() const { return shape_; }

private:
    TQRShapeType shape_ = qrsRectangle;
};

// A picture stretched to fill its box; a null picture leaves the box empty.
class TQRImage : public TQRPrintable {
public:
    TQRImage(TQRBand* band, const QString& name, double left, double top, double width,
             double height, QImage picture);
    const QImage& Picture() const { return picture_; }
    void setPicture(const QImage& picture) { picture_ = picture; }
    // Decodes JPEG bytes; damaged bytes leave the box empty and say why on
    // standard error. Returns whether the picture was decoded.
    bool loadJpeg(const QByteArray& bytes);

private:
    QImage picture_;
};
