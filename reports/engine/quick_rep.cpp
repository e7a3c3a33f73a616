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
}  // namespace

TQuickRep::TQuickRep(QString name) : ReportLayout(std::move(name)) {}
TQuickRep::~TQuickRep() = default;

PageModel TQuickRep::Prepare() {
    // A hook that asked for this report again would walk the table twice.
    if (generating_) throw std::logic_error("report " + Name().toStdString() +
                                            ": generation inside its own generation");
    generating_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{generating_};
    return ReportGenerator(*this, [this](bool& print) {
               if (BeforePrint) BeforePrint(*this, print);
           }).run();
}

void TQuickRep::Preview() { ShowPreview(Prepare()); }

void TQuickRep::PreviewReleasingTable(const std::function<void()>& afterClose) {
    PageModel pages;
    {
        struct Release {
            TQuickRep& rep;
            const std::function<void()>& then;
            ~Release() {
                if (TApolloTable* table = rep.DataSet()) table->Close();
                if (then) then();
            }
        } release{*this, afterClose};
        pages = Prepare();
    }
    ShowPreview(std::move(pages));
}

void TQuickRep::ShowPreview(PageModel model) {
    PreviewCallbacks callbacks{
        .print = [this](const PageModel& pages, QWidget* parent) { return Print(pages, parent); },
        .setupPrinter = [this](int pageCount, QWidget* parent) { PrinterSetup(parent, pageCount); },
    };
    TPreviewWindow window(std::move(model), std::move(callbacks));
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
    return runPrinterSetup(printer_, Page().paper(), pageCount < 0 ? PageNumber() : pageCount,
                           parent);
}

TQuickRep::PreviewHook TQuickRep::setPreviewHook(PreviewHook hook) {
    PreviewHook previous = std::move(previewHook());
    previewHook() = std::move(hook);
    return previous;
}
