// What the printer dialog chose for a report, kept with the report for its
// later prints.
#pragma once

#include <QString>
#include <optional>

#include "reports/engine/qr_types.h"

struct TQRPrinterSettings {
    int copies = 1;
    int fromPage = 0;  // 0 and 0: all pages
    int toPage = 0;
    std::optional<TQROrientation> orientation;  // unset: the page's own
    QString printerName;                        // empty: the system's default
    QString outputFileName;  // not empty: a PDF file instead of a printer
    QString title;           // the job's name in the printer queue; empty: the program's
};
