// The pages one generation of a report produced: positioned texts, frames
// and pictures in mm from the paper's top-left corner. The preview paints
// it on screen, printing paints it on the printer, and tests read it.
#pragma once

#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <vector>

#include "reports/engine/qr_font.h"
#include "reports/engine/qr_types.h"

enum class PrimitiveKind { Text, Rectangle, Image };

struct PagePrimitive {
    PrimitiveKind kind = PrimitiveKind::Text;
    QRectF box;       // mm on the paper
    QString element;  // name of the element that printed it
    QString text;     // Text
    int font = -1;    // Text: index in PageModel::fonts
    TQRAlignment alignment = taLeftJustify;
    bool clip = false;  // Text: cut at the box (fixed-size elements)
    int image = -1;     // Image: index in PageModel::images
};

// Where a band went on its page, for tests and for reading a page back.
struct PlacedBand {
    QString name;
    TQRBandType type;
    double top;  // mm on the paper
    double height;
};

struct ReportPage {
    int number = 0;  // from 1
    std::vector<PlacedBand> bands;
    std::vector<PagePrimitive> items;  // in paint order

    // The texts of one element on this page, top to bottom as printed.
    QStringList textsOf(const QString& element) const;
    // Every text of the page, in print order.
    QStringList texts() const;
    int count(const QString& element) const;
    const PlacedBand* band(const QString& name, int nth = 0) const;
    QStringList bandNames() const;
};

struct PageModel {
    QSizeF paper;       // mm, as laid out (landscape: wider than long)
    QRectF printable;   // mm, inside the margins
    std::vector<TQRFont> fonts;
    std::vector<QImage> images;
    std::vector<ReportPage> pages;

    int pageCount() const { return static_cast<int>(pages.size()); }
    int fontIndex(const TQRFont& font);
    int imageIndex(const QImage& image);
    // Bytes the model holds, roughly, for the benchmark's memory figures.
    size_t approximateBytes() const;
};
