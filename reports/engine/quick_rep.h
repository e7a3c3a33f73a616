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

#include <QPointer>
#include <QSizeF>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "reports/engine/page_model.h"
#include "reports/engine/qr_band.h"

class QWidget;
class TPreviewWindow;

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

// What the printer dialog chose; kept for the report's later prints.
struct TQRPrinterSettings {
    int copies = 1;
    int fromPage = 0;  // 0 and 0: all pages
    int toPage = 0;
    std::optional<TQROrientation> orientation;  // unset: the page's own
    QString printerName;                        // empty: the system's default
    QString outputFileName;  // not empty: a PDF file instead of a printer
    QString title;           // the job's name in the printer queue; empty: the program's
};

struct TQRPrintResult {
    bool started = false;    // the printer accepted the job
    bool cancelled = false;  // "Annuler" stopped it
    int pagesPrinted = 0;    // sheets painted, copies included
    QString error;
};

class TQuickRep {
public:
    explicit TQuickRep(QString name);
    ~TQuickRep();
    TQuickRep(const TQuickRep&) = delete;
    TQuickRep& operator=(const TQuickRep&) = delete;

    const QString& Name() const { return name_; }

    // The table whose rows feed the detail band; it may belong to another
    // window, and is forgotten if that window deletes it.
    TApolloTable* DataSet() const { return dataSet_; }
    void setDataSet(TApolloTable* table);

    TQRPage& Page() { return page_; }
    const TQRPage& Page() const { return page_; }
    TQROptions& Options() { return options_; }
    TQRPrinterSettings& PrinterSettings() { return printer_; }
    const TQRFont& Font() const { return font_; }
    void setFont(const TQRFont& font) { font_ = font; }

    // One band of each kind; a second band of a kind is refused.
    TQRBand* addBand(const QString& name, TQRBandType type, double height);
    TQRBand* band(TQRBandType type) const;  // nullptr when none
    TQRBand* band(const QString& name) const;
    const std::vector<std::unique_ptr<TQRBand>>& Bands() const { return bands_; }

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

    // The page being generated, from 1; the last page count afterwards.
    int PageNumber() const { return pageNumber_; }

    // Tests replace the person in front of the preview: when a hook is set,
    // Preview() builds and shows the window, calls the hook, then closes the
    // window instead of waiting. Returns the previous hook.
    using PreviewHook = std::function<void(TQuickRep&, TPreviewWindow&)>;
    static PreviewHook setPreviewHook(PreviewHook hook);

private:
    friend class ReportGenerator;  // counts the pages

    QString name_;
    QPointer<TApolloTable> dataSet_;
    TQRPage page_;
    TQROptions options_;
    TQRPrinterSettings printer_;
    TQRFont font_;
    std::vector<std::unique_ptr<TQRBand>> bands_;
    int pageNumber_ = 0;
    bool generating_ = false;
};
