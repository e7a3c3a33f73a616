#include "reports/engine/report_generator.h"

#include "store/apollo_table.h"

namespace {
// Band heights are sums of tenths of mm: ignore the rounding of their sums.
constexpr double kSlack = 1e-6;
}  // namespace

ReportGenerator::ReportGenerator(ReportLayout& report, BeforePrint beforePrint)
    : rep_(report), beforePrint_(std::move(beforePrint)) {}

PageModel ReportGenerator::run() {
    model_.paper = rep_.Page().paper();
    model_.printable = rep_.Page().printable();
    left_ = model_.printable.left();
    rep_.pageNumber_ = 0;

    bool print = true;
    if (beforePrint_) beforePrint_(print);
    if (!print) return std::move(model_);

    // Taken after BeforePrint, whose handlers open the table.
    table_ = rep_.DataSet();
    bool empty = true;
    if (table_ && table_->Active()) {
        table_->First();
        empty = table_->Eof();
    }
    if (empty && !rep_.Options().printIfEmpty) return std::move(model_);
    columnHeaders_ = !empty;

    startPage();
    TQRBand* detail = rep_.band(rbDetail);
    if (empty) {
        noCurrentRow_ = true;
        printFlowing(detail);
        noCurrentRow_ = false;
    } else {
        // A hook may move the table too: the end is tested after every move.
        while (!tableAtEnd()) {
            printFlowing(detail);
            if (!tableAtEnd()) table_->Next();
        }
    }
    printFlowing(rep_.band(rbSummary));
    if (rep_.Options().lastPageFooter) endPage();
    return std::move(model_);
}

bool ReportGenerator::tableAtEnd() const {
    return !table_ || !table_->Active() || table_->Eof();
}

void ReportGenerator::startPage() {
    ReportPage page;
    page.number = ++rep_.pageNumber_;
    model_.pages.push_back(std::move(page));
    y_ = model_.printable.top();
    pageHasBody_ = false;
    const bool first = rep_.pageNumber_ == 1;
    if (!first || rep_.Options().firstPageHeader) printAt(rep_.band(rbPageHeader), y_, true);
    if (first) printAt(rep_.band(rbTitle), y_, true);
    if (columnHeaders_) printAt(rep_.band(rbColumnHeader), y_, true);
}

void ReportGenerator::endPage() { printAt(rep_.band(rbPageFooter), footerTop(), false); }

// The page footer always sits on the bottom margin.
double ReportGenerator::footerTop() const {
    const TQRBand* footer = rep_.band(rbPageFooter);
    return model_.printable.bottom() - (footer ? footer->Height() : 0.0);
}

bool ReportGenerator::fits(double height) const { return y_ + height <= footerTop() + kSlack; }

void ReportGenerator::printFlowing(TQRBand* band) {
    if (!band) return;
    bool print = true;
    if (band->BeforePrint) band->BeforePrint(*band, print);
    if (!print) {
        if (band->AfterPrint) band->AfterPrint(*band, false);
        return;
    }
    // A band taller than an empty page prints anyway rather than loop.
    if (pageHasBody_ && !fits(band->Height())) {
        endPage();
        startPage();
    }
    placeElements(band, y_);
    y_ += band->Height();
    pageHasBody_ = true;
    if (band->AfterPrint) band->AfterPrint(*band, true);
}

void ReportGenerator::printAt(TQRBand* band, double top, bool advance) {
    if (!band) return;
    bool print = true;
    if (band->BeforePrint) band->BeforePrint(*band, print);
    if (print) {
        placeElements(band, top);
        if (advance) y_ = top + band->Height();
    }
    if (band->AfterPrint) band->AfterPrint(*band, print);
}

void ReportGenerator::placeElements(TQRBand* band, double top) {
    model_.pages.back().bands.push_back({band->Name(), band->BandType(), top, band->Height()});
    // By index: hooks may enable or disable later elements of this band.
    const auto& elements = band->Elements();
    for (size_t i = 0; i < elements.size(); ++i) {
        TQRPrintable& e = *elements[i];
        if (!e.Enabled()) continue;
        const QRectF box(left_ + e.Left(), top + e.Top(), e.Width(), e.Height());
        switch (e.Kind()) {
            case TQRElementKind::Shape: {
                PagePrimitive p;
                p.kind = PrimitiveKind::Rectangle;
                p.box = box;
                p.element = e.Name();
                model_.pages.back().items.push_back(std::move(p));
                break;
            }
            case TQRElementKind::Image: {
                const QImage& picture = static_cast<TQRImage&>(e).Picture();
                if (picture.isNull()) break;  // a picture that did not decode: empty box
                PagePrimitive p;
                p.kind = PrimitiveKind::Image;
                p.box = box;
                p.element = e.Name();
                p.image = model_.imageIndex(picture);
                model_.pages.back().items.push_back(std::move(p));
                break;
            }
            case TQRElementKind::Label:
                placeText(e, static_cast<TQRLabel&>(e).Caption(), top);
                break;
            case TQRElementKind::DBText:
                // The field's text is taken now, before the element's hook
                // can move the table.
                placeText(e, noCurrentRow_ ? QString() : static_cast<TQRDBText&>(e).fieldText(),
                          top);
                break;
            case TQRElementKind::SysData:
                placeText(e, static_cast<TQRSysData&>(e).Text() + QString::number(rep_.pageNumber_),
                          top);
                break;
        }
    }
}

void ReportGenerator::placeText(TQRPrintable& e, QString text, double top) {
    if (text.isEmpty()) return;
    if (e.OnPrint) {
        e.OnPrint(e, text);
        if (text.isEmpty()) return;
    }
    const TQRFont font = fontOf(e);
    QRectF box(left_ + e.Left(), top + e.Top(), e.Width(), e.Height());
    if (e.AutoSize()) {
        const QSizeF size = measure_.sizeMm(font, text);
        // A right-aligned auto-sized text keeps its right edge.
        if (e.Alignment() == taRightJustify) box.setLeft(box.right() - size.width());
        box.setWidth(size.width());
        box.setHeight(size.height());
    } else if (box.height() <= 0) {
        box.setHeight(measure_.sizeMm(font, text).height());
    }
    PagePrimitive p;
    p.kind = PrimitiveKind::Text;
    p.box = box;
    p.element = e.Name();
    p.text = std::move(text);
    p.font = model_.fontIndex(font);
    p.alignment = e.Alignment();
    p.clip = !e.AutoSize();
    model_.pages.back().items.push_back(std::move(p));
}

// An element without a font of its own prints in its band's, else in its
// report's.
const TQRFont& ReportGenerator::fontOf(const TQRPrintable& e) const {
    if (e.OwnFont()) return *e.OwnFont();
    if (e.Band()->OwnFont()) return *e.Band()->OwnFont();
    return rep_.Font();
}
