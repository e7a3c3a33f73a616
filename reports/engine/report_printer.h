// Sending a page model out: to the printer (or a PDF file named in the
// printer settings) with the progress window, to a PDF file for
// "Enregistrer l'état", and the printer dialog.
#pragma once

#include <QSizeF>
#include <QString>
#include <functional>

#include "reports/engine/page_model.h"
#include "reports/engine/printer_settings.h"

class QPrinter;
class QWidget;

struct TQRPrintResult {
    bool started = false;    // the printer accepted the job
    bool cancelled = false;  // "Annuler" stopped it
    int pagesPrinted = 0;    // sheets painted, copies included
    QString error;
};

// Prints the pages the settings select, with their copies, while a window
// "Impression en cours" with a button "Annuler" is shown; "Annuler" stops
// the run after the page being painted.
TQRPrintResult printModel(const PageModel& model, const TQRPrinterSettings& settings,
                          QWidget* parent = nullptr);

// Sets `printer` up from the report's settings on `paper` (mm): the file or
// printer, the job's name, the page, copies and range, one-sided.
void configurePrinter(QPrinter& printer, const TQRPrinterSettings& settings, QSizeF paper);

// Writes every page to a PDF file; false with the reason otherwise.
bool savePdf(const PageModel& model, const QString& fileName, QString* why = nullptr);

// The printer dialog on a printer set up from `settings`, pages 1 to
// `pageCount`; on OK its printer, orientation, copies and page range go
// back into `settings`.
bool runPrinterSetup(TQRPrinterSettings& settings, QSizeF paper, int pageCount,
                     QWidget* parent = nullptr);

// Shows the dialog and says whether the user confirmed. Tests install one
// that answers at once; the default is Qt's QPrintDialog.
using PrinterDialogRunner = std::function<bool(QPrinter& printer, int pageCount, QWidget* parent)>;
PrinterDialogRunner setPrinterDialogRunner(PrinterDialogRunner runner);  // returns the previous
