// One generation of a report into a page model: the report's BeforePrint,
// the page header or title and column header, one detail band per row,
// the summary and the last page footer, with every handler in between.
#pragma once

#include <QPointer>
#include <functional>

#include "reports/engine/page_model.h"
#include "reports/engine/qr_font.h"
#include "reports/engine/report_layout.h"

class ReportGenerator {
public:
    // `beforePrint` is the report's own handler: it runs first, and
    // clearing its flag gives no page.
    using BeforePrint = std::function<void(bool& print)>;
    ReportGenerator(ReportLayout& report, BeforePrint beforePrint);
    PageModel run();

private:
    void startPage();
    void endPage();
    // A band that flows down the page: it ends the page first when it does
    // not fit above the page footer.
    void printFlowing(TQRBand* band);
    // A band at a fixed place (page header, title, column header, footer).
    void printAt(TQRBand* band, double top, bool advance);
    void placeElements(TQRBand* band, double top);
    void placeText(TQRPrintable& element, QString text, double top);
    const TQRFont& fontOf(const TQRPrintable& element) const;
    bool fits(double height) const;
    double footerTop() const;
    bool tableAtEnd() const;

    ReportLayout& rep_;
    BeforePrint beforePrint_;
    QPointer<TApolloTable> table_;  // a hook may delete it
    PageModel model_;
    TextMeasurer measure_;
    double left_ = 0;       // left margin, mm
    double y_ = 0;          // top of the next flowing band, mm on the paper
    bool pageHasBody_ = false;     // a flowing band already printed on this page
    bool columnHeaders_ = true;    // not for an empty table
    bool noCurrentRow_ = false;    // the empty table's one detail band
};
