#include "reports/engine/report_printer.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "reports/engine/page_painter.h"

namespace {

// The paper as Qt names it: A4 by its name so the printer picks its A4 tray.
QPageLayout pageLayoutFor(QSizeF paper, std::optional<TQROrientation> orientation) {
    const double shortSide = std::min(paper.width(), paper.height());
    const double longSide = std::max(paper.width(), paper.height());
    QPageSize size = (std::abs(shortSide - 210) < 0.5 && std::abs(longSide - 297) < 0.5)
                         ? QPageSize(QPageSize::A4)
                         : QPageSize(QSizeF(shortSide, longSide), QPageSize::Millimeter, QString(),
                                     QPageSize::ExactMatch);
    const bool landscape = orientation ? *orientation == poLandscape
                                       : paper.width() > paper.height();
    return QPageLayout(size, landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

}  // namespace

void configurePrinter(QPrinter& printer, const TQRPrinterSettings& s, QSizeF paper) {
    if (!s.outputFileName.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(s.outputFileName);
    } else if (!s.printerName.isEmpty()) {
        printer.setPrinterName(s.printerName);
    }
    // The job's name in the printer queue; never empty.
    printer.setDocName(s.title.isEmpty() ? QCoreApplication::applicationName() : s.title);
    printer.setFullPage(true);  // the model places everything from the paper's corner
    printer.setPageLayout(pageLayoutFor(paper, s.orientation));
    printer.setCopyCount(std::max(1, s.copies));
    // One-sided, whatever the printer's own default: a receipt or a journal
    // printed on both sides is not what the bar expects.
    printer.setDuplex(QPrinter::DuplexNone);
    if (s.fromPage > 0 && s.toPage >= s.fromPage) {
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(s.fromPage, s.toPage);
    } else {
        printer.setPrintRange(QPrinter::AllPages);
    }
}

namespace {

// "Impression en cours": shown while the pages go out, never modal.
class PrintProgress : public QWidget {
public:
    explicit PrintProgress(QWidget* parent) : QWidget(parent, Qt::Dialog) {
        setWindowTitle(QStringLiteral("Impression en cours"));
        auto* layout = new QVBoxLayout(this);
        label_ = new QLabel(this);
        auto* cancel = new QPushButton(QStringLiteral("Annuler"), this);
        layout->addWidget(label_);
        layout->addWidget(cancel, 0, Qt::AlignHCenter);
        connect(cancel, &QPushButton::clicked, this, [this] { cancelled_ = true; });
        resize(260, 90);
    }
    void setPage(int page, int last) {
        label_->setText(QStringLiteral("Page %1 sur %2").arg(page).arg(last));
    }
    bool cancelled() const { return cancelled_; }

private:
    QLabel* label_;
    bool cancelled_ = false;
};

// Qt's printer properties (their page settings) open on the printer's
// default paper rather than on the page layout the printer was given; when
// they open, they are set to the report's paper, so that they show what is
// printed (the receipt's 105 x 148.5 mm, A4 landscape, ...).
class ReportPaperInProperties : public QObject {
public:
    ReportPaperInProperties(QPrintDialog& dialog, const QPageLayout& layout)
        : dialog_(dialog), layout_(layout) {
        qApp->installEventFilter(this);
    }
    ~ReportPaperInProperties() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->inherits("QPrintPropertiesDialog") &&
            isPartOfDialog(watched) && !shown_.contains(watched)) {
            shown_.insert(watched);  // later openings keep the user's choice
            showPaper(*static_cast<QWidget*>(watched));
        }
        return false;
    }

private:
    bool isPartOfDialog(const QObject* object) const {  // a window of its own, owned by the dialog
        for (; object; object = object->parent())
            if (object == &dialog_) return true;
        return false;
    }

    void showPaper(QWidget& properties) const {
        auto* sizes = properties.findChild<QComboBox*>(QStringLiteral("pageSizeCombo"));
        auto* orientation = properties.findChild<QRadioButton*>(
            layout_.orientation() == QPageLayout::Landscape ? QStringLiteral("landscape")
                                                            : QStringLiteral("portrait"));
        if (!sizes || !orientation) return;
        orientation->click();
        int named = -1;
        for (int i = 0; i < sizes->count() && named < 0; ++i) {
            const QVariant data = sizes->itemData(i);
            if (data.isValid() && data.value<QPageSize>().isEquivalentTo(layout_.pageSize())) named = i;
        }
        if (named >= 0) {
            sizes->setCurrentIndex(named);
        } else {
            // The report's own size as an entry of its own: Qt's "Custom"
            // entry (missing for CUPS queues) would round 148.5 mm to A6.
            sizes->addItem(layout_.pageSize().name(), QVariant::fromValue(layout_.pageSize()));
            sizes->setCurrentIndex(sizes->count() - 1);
        }
    }

    QPrintDialog& dialog_;
    QPageLayout layout_;
    QSet<QObject*> shown_;
};

bool runQtPrintDialog(QPrinter& printer, int pageCount, QWidget* parent) {
    QPrintDialog dialog(&printer, parent);
    ReportPaperInProperties paper(dialog, printer.pageLayout());
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setOption(QAbstractPrintDialog::PrintCollateCopies, true);
    dialog.setMinMax(1, std::max(1, pageCount));
    return dialog.exec() == QDialog::Accepted;
}

PrinterDialogRunner& dialogRunner() {  // empty: Qt's dialog
    static PrinterDialogRunner runner;
    return runner;
}

}  // namespace

TQRPrintResult printModel(const PageModel& model, const TQRPrinterSettings& settings,
                          QWidget* parent) {
    TQRPrintResult result;
    const int count = model.pageCount();
    if (count == 0) {
        result.error = QStringLiteral("Aucune page à imprimer");
        return result;
    }
    QPrinter printer(QPrinter::HighResolution);
    configurePrinter(printer, settings, model.paper);
    int first = 1, last = count;
    if (printer.printRange() == QPrinter::PageRange) {
        first = std::clamp(printer.fromPage(), 1, count);
        last = std::clamp(printer.toPage(), first, count);
    }
    // A printer that cannot make copies itself gets each copy in turn.
    int runs = 1;
    if (printer.copyCount() > 1 && !printer.supportsMultipleCopies()) {
        runs = printer.copyCount();
        printer.setCopyCount(1);
    }

    PrintProgress progress(parent);
    progress.setPage(first, last);
    progress.show();
    QPainter painter;
    if (!painter.begin(&printer)) {
        result.error = QStringLiteral("L'imprimante n'a pas accepté l'impression");
        return result;
    }
    result.started = true;
    const double unitsPerMm = printer.resolution() / 25.4;
    for (int run = 0; run < runs && !result.cancelled; ++run) {
        for (int page = first; page <= last; ++page) {
            // Let the user reach "Annuler" between pages.
            QCoreApplication::processEvents();
            if (progress.cancelled()) {
                result.cancelled = true;
                break;
            }
            if (result.pagesPrinted > 0) printer.newPage();
            progress.setPage(page, last);
            paintPage(painter, model, page - 1, unitsPerMm);
            ++result.pagesPrinted;
        }
    }
    if (result.cancelled) printer.abort();
    painter.end();
    return result;
}

bool savePdf(const PageModel& model, const QString& fileName, QString* why) {
    auto fail = [&](const QString& message) {
        if (why) *why = message;
        return false;
    };
    if (model.pageCount() == 0) return fail(QStringLiteral("Aucune page à enregistrer"));
    QPdfWriter writer(fileName);
    writer.setResolution(600);
    writer.setPageLayout(pageLayoutFor(model.paper, std::nullopt));
    QPainter painter;
    if (!painter.begin(&writer))
        return fail(QStringLiteral("Impossible d'écrire le fichier %1").arg(fileName));
    for (int i = 0; i < model.pageCount(); ++i) {
        if (i > 0) writer.newPage();
        paintPage(painter, model, i, writer.resolution() / 25.4);
    }
    painter.end();
    return true;
}

bool runPrinterSetup(TQRPrinterSettings& settings, QSizeF paper, int pageCount, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    configurePrinter(printer, settings, paper);
    const bool confirmed = dialogRunner() ? dialogRunner()(printer, pageCount, parent)
                                          : runQtPrintDialog(printer, pageCount, parent);
    if (!confirmed) return false;
    settings.copies = std::max(1, printer.copyCount());
    if (printer.printRange() == QPrinter::PageRange) {
        settings.fromPage = printer.fromPage();
        settings.toPage = printer.toPage();
    } else {
        settings.fromPage = settings.toPage = 0;
    }
    settings.orientation =
        printer.pageLayout().orientation() == QPageLayout::Landscape ? poLandscape : poPortrait;
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
        settings.outputFileName = printer.outputFileName();
    } else {
        settings.outputFileName.clear();
        settings.printerName = printer.printerName();
    }
    return true;
}

PrinterDialogRunner setPrinterDialogRunner(PrinterDialogRunner runner) {
    PrinterDialogRunner previous = std::move(dialogRunner());
    dialogRunner() = std::move(runner);
    return previous;
}
