// A banded report fed row by row from one table. Report windows build it in
// code, set its handlers, and ask for its preview; the user prints from the
// preview the pages it shows.
//
//   auto* header = rep->addBand("QRBand1", rbPageHeader, 26.2);
//   header->addLabel("QRLabel1", 19.1, 8.5, "Ticket n°");
//   auto* detail = rep->addBand("QRBand2", rbDetail, 8.7);
//   detail->addShape("QRShape1", 0.0, 0.0, 61.6, 8.7);
//   detail->addDBText("QRDBText1", 2.1, 1.1, ATVente, "LIBELLE");
//   rep->Preview();  // returns when the preview window is closed
#pragma once

#include <QString>
#include <functional>

#include "reports/engine/page_model.h"
#include "reports/engine/printer_settings.h"
#include "reports/engine/report_layout.h"
#include "reports/engine/report_printer.h"

class QWidget;
class TPreviewWindow;

// The page, options, font, bands and table come from ReportLayout; this
// adds the handlers, the generation, the preview and printing.
class TQuickRep : public ReportLayout {
public:
    explicit TQuickRep(QString name);
    ~TQuickRep();

    TQRPrinterSettings& PrinterSettings() { return printer_; }

    // Called once at the start of each generation, before the first row is
    // read (handlers open their tables here).
    std::function<void(TQuickRep& sender, bool& print)> BeforePrint;
    // Called when a generation sent to the printer has finished.
    std::function<void(TQuickRep& sender)> AfterPrint;
    // Called when the preview window has closed.
    std::function<void(TQuickRep& sender)> AfterPreview;

    // Generates the report into the preview window, shows it, and returns
    // only when the window is closed (or the program is ending); the event
    // loop keeps running meanwhile. A handler's error propagates.
    void Preview();
    // Shows pages already generated, as Preview() does once it has them.
    void ShowPreview(PageModel model);
    // Preview() for a report whose table is its own: the table is closed
    // once the pages are made (then `afterClose` runs, on failure too), so
    // that a preview on screen holds no file.
    void PreviewReleasingTable(const std::function<void()>& afterClose = {});
    // One generation into a page model; every handler runs.
    PageModel Prepare();
    // Prints `model` with the printer settings, showing the progress
    // window; then calls AfterPrint. A preview prints the pages it shows,
    // whatever the tables hold by then.
    TQRPrintResult Print(const PageModel& model, QWidget* parent = nullptr);
    // Generates the report, then prints it as above.
    TQRPrintResult Print(QWidget* parent = nullptr);
    // The printer dialog for `pageCount` pages (by default those of the
    // last generation); on OK its choices become the printer settings.
    bool PrinterSetup(QWidget* parent = nullptr, int pageCount = -1);

    // Tests replace the person in front of the preview: when a hook is set,
    // Preview() builds and shows the window, calls the hook, then closes the
    // window instead of waiting. Returns the previous hook.
    using PreviewHook = std::function<void(TQuickRep&, TPreviewWindow&)>;
    static PreviewHook setPreviewHook(PreviewHook hook);

private:
    TQRPrinterSettings printer_;
    bool generating_ = false;
};
