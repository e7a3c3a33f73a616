#include "reports/engine/quick_rep.h"

#include <stdexcept>

#include "reports/engine/preview_window.h"
#include "reports/engine/report_generator.h"
#include "reports/engine/report_printer.h"
#include "store/apollo_table.h"

namespace {
TQuickRep::PreviewHook& previewHook() {
    static TQuickRep::PreviewHook hook;
    return hook;
}

// A4 as it lies portrait.
constexpr double kA4Width = 210;
constexpr double kA4Length = 297;
}  // namespace

QSizeF TQRPage::paper() const {
    const double w = paperSize == A4 ? kA4Width : width;
    const double l = paperSize == A4 ? kA4Length : length;
    return orientation == poLandscape ? QSizeF(l, w) : QSizeF(w, l);
}

QRectF TQRPage::printable() const {
    const QSizeF p = paper();
    return QRectF(leftMargin, topMargin, p.width() - leftMargin - rightMargin,
                  p.height() - topMargin - bottomMargin);
}

TQuickRep::TQuickRep(QString name) : name_(std::move(name)) {}
TQuickRep::~TQuickRep() = default;

void TQuickRep::setDataSet(TApolloTable* table) { dataSet_ = table; }

TQRBand* TQuickRep::addBand(const QString& name, TQRBandType type, double height) {
    if (band(type)) throw std::logic_error("report " + name_.toStdString() +
                                           ": a second band of one kind");
    bands_.push_back(std::make_unique<TQRBand>(name, type, height));
    return bands_.back().get();
}

TQRBand* TQuickRep::band(TQRBandType type) const {
    for (const auto& b : bands_)
        if (b->BandType() == type) return b.get();
    return nullptr;
}

TQRBand* TQuickRep::band(const QString& name) const {
    for (const auto& b : bands_)
        if (b->Name() == name) return b.get();
    return nullptr;
}

PageModel TQuickRep::Prepare() {
    // A hook that asked for this report again would walk the table twice.
    if (generating_) throw std::logic_error("report " + name_.toStdString() +
                                            ": generation inside its own generation");
    generating_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{generating_};
    return ReportGenerator(*this).run();
}

void TQuickRep::Preview() { ShowPreview(Prepare()); }

void TQuickRep::PreviewReleasingTable(const std::function<void()>& afterClose) {
    PageModel pages;
    {
        struct Release {
            TQuickRep& rep;
            const std::function<void()>& then;
            ~Release() {
                if (rep.dataSet_) rep.dataSet_->Close();
                if (then) then();
            }
        } release{*this, afterClose};
        pages = Prepare();
    }
    ShowPreview(std::move(pages));
}

void TQuickRep::ShowPreview(PageModel model) {
    TPreviewWindow window(*this, std::move(model));
    window.showCentred();
    if (PreviewHook hook = previewHook()) {
        hook(*this, window);
        window.close();
    } else {
        window.waitUntilClosed();
    }
    if (AfterPreview) AfterPreview(*this);
}

TQRPrintResult TQuickRep::Print(const PageModel& model, QWidget* parent) {
    TQRPrintResult result = printModel(model, printer_, parent);
    if (AfterPrint) AfterPrint(*this);
    return result;
}

TQRPrintResult TQuickRep::Print(QWidget* parent) { return Print(Prepare(), parent); }

bool TQuickRep::PrinterSetup(QWidget* parent, int pageCount) {
    return runPrinterSetup(printer_, page_.paper(), pageCount < 0 ? pageNumber_ : pageCount, parent);
}

TQuickRep::PreviewHook TQuickRep::setPreviewHook(PreviewHook hook) {
    PreviewHook previous = std::move(previewHook());
    previewHook() = std::move(hook);
    return previous;
}
