// What a report is made of, as a generation reads it: the page, the
// options, the report's font and its bands, fed by the rows of one table.
// TQuickRep adds the handlers, the preview and printing on top of it.
#pragma once

#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <memory>
#include <vector>

#include "reports/engine/qr_band.h"
#include "reports/engine/qr_font.h"
#include "reports/engine/qr_types.h"
#include "store/apollo_table.h"

enum TQRPaperSize { A4, Custom };

// The page, in mm. Bands and elements are placed from the top-left corner
// of the printable area, inside the margins.
struct TQRPage {
    TQRPaperSize paperSize = A4;
    double length = 297;  // Custom paper, as in portrait
    double width = 210;
    TQROrientation orientation = poPortrait;
    double topMargin = 10;
    double bottomMargin = 10;
    double leftMargin = 10;
    double rightMargin = 10;

    // Width and length of the paper as it lies (landscape swaps them).
    QSizeF paper() const;
    QRectF printable() const;
};

struct TQROptions {
    bool firstPageHeader = true;  // the page header prints on page 1 too
    bool lastPageFooter = true;   // the page footer prints on the last page too
    bool printIfEmpty = true;     // an empty table still gives one page
};

class ReportLayout {
public:
    explicit ReportLayout(QString name);
    ReportLayout(const ReportLayout&) = delete;
    ReportLayout& operator=(const ReportLayout&) = delete;

    const QString& Name() const { return name_; }

    // The table whose rows feed the detail band; it may belong to another
    // window, and is forgotten if that window deletes it.
    TApolloTable* DataSet() const { return dataSet_; }
    void setDataSet(TApolloTable* table);

    TQRPage& Page() { return page_; }
    const TQRPage& Page() const { return page_; }
    TQROptions& Options() { return options_; }
    const TQROptions& Options() const { return options_; }
    // The font of the bands and elements without one of their own.
    const TQRFont& Font() const { return font_; }
    void setFont(const TQRFont& font) { font_ = font; }

    // One band of each kind; a second band of a kind is refused.
    TQRBand* addBand(const QString& name, TQRBandType type, double height);
    TQRBand* band(TQRBandType type) const;  // nullptr when none
    TQRBand* band(const QString& name) const;
    const std::vector<std::unique_ptr<TQRBand>>& Bands() const { return bands_; }

    // The page being generated, from 1; the last page count afterwards.
    int PageNumber() const { return pageNumber_; }

protected:
    ~ReportLayout();  // a TQuickRep is never deleted as its layout

private:
    friend class ReportGenerator;  // counts the pages

    QString name_;
    QPointer<TApolloTable> dataSet_;
    TQRPage page_;
    TQROptions options_;
    TQRFont font_;
    std::vector<std::unique_ptr<TQRBand>> bands_;
    int pageNumber_ = 0;
};
