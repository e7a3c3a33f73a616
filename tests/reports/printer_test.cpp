// What goes to the printer besides the pages: the job's name in the printer
// queue, and Qt's printer dialog showing the report's own paper in its page
// settings (the receipt's custom 105 x 148.5 mm, A4 landscape).
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPrinter>
#include <QDoubleSpinBox>
#include <QPrintDialog>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "reports/engine/report_printer.h"
#include "tests/support/report_fixture.h"

namespace {

// A field of pdfinfo's report on a PDF file ("Title", ...).
QString pdfInfoField(const QString& file, const QString& field) {
    QProcess p;
    p.start(QStringLiteral(SDE_PDFINFO), {file});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) return QStringLiteral("<pdfinfo failed>");
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split('\n'))
        if (line.startsWith(field + QLatin1Char(':'))) return line.mid(field.size() + 1).trimmed();
    return {};
}

struct JobCase {
    const char* title;  // the report's; empty: the program's name names the job
};

class PrintJobNameTest : public ReportTest, public ::testing::WithParamInterface<JobCase> {};

TEST_P(PrintJobNameTest, EveryJobCarriesAName) {
    ASSERT_FALSE(QStringLiteral(SDE_PDFINFO).isEmpty()) << "pdfinfo (poppler-utils) is missing";
    addNumberedSales(3);
    ReceiptReport r(&sales_);
    const QString pdf = path(QStringLiteral("job.pdf"));
    r.rep.PrinterSettings().outputFileName = pdf;
    r.rep.PrinterSettings().title = QString::fromUtf8(GetParam().title);
    ASSERT_TRUE(r.rep.Print().started);
    const QString expected = r.rep.PrinterSettings().title.isEmpty()
                                 ? QCoreApplication::applicationName()
                                 : r.rep.PrinterSettings().title;
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(pdfInfoField(pdf, QStringLiteral("Title")), expected);
}

INSTANTIATE_TEST_SUITE_P(Titles, PrintJobNameTest,
                         ::testing::Values(JobCase{"Ticket de caisse n° 7"}, JobCase{""}));

// A printer whose own default is two-sided still prints one side per sheet,
// for a printer queue and for a PDF file alike.
TEST(PrinterSetupTest, PrintsOneSidedWhateverThePrintersDefault) {
    for (const bool toFile : {false, true}) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setDuplex(QPrinter::DuplexLongSide);  // as a CUPS queue may set it
        TQRPrinterSettings settings;
        if (toFile) settings.outputFileName = QDir::temp().filePath(QStringLiteral("duplex.pdf"));
        configurePrinter(printer, settings, QSizeF(210, 297));
        EXPECT_EQ(printer.duplex(), QPrinter::DuplexNone) << toFile;
    }
}

struct PaperCase {
    const char* name;
    QSizeF paper;       // width x height in mm, as the report lays it out
    bool namedSize;     // one of the printer's named sizes (else a custom size)
};

class PrinterDialogPaperTest : public ::testing::TestWithParam<PaperCase> {};

// What the page settings of Qt's printer dialog show, read when a person
// opens them ("Properties") and then cancels both dialogs.
struct ShownPaper {
    QString size;
    double width = 0, height = 0;
    bool landscape = false;
    bool opened = false;
};

TEST_P(PrinterDialogPaperTest, PageSettingsShowTheReportsPaper) {
    const PaperCase& c = GetParam();
    ShownPaper shown;
    QTimer::singleShot(0, qApp, [&] {
        auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* properties = dialog->findChild<QPushButton*>(QStringLiteral("properties"));
        if (!properties || !properties->isEnabled()) {
            dialog->reject();
            return;
        }
        QTimer::singleShot(0, qApp, [&, dialog] {
            QWidget* page = QApplication::activeModalWidget();
            if (page && page != dialog) {
                shown.opened = true;
                shown.size = page->findChild<QComboBox*>(QStringLiteral("pageSizeCombo"))->currentText();
                shown.width = page->findChild<QDoubleSpinBox*>(QStringLiteral("pageWidth"))->value();
                shown.height = page->findChild<QDoubleSpinBox*>(QStringLiteral("pageHeight"))->value();
                shown.landscape = page->findChild<QRadioButton*>(QStringLiteral("landscape"))->isChecked();
                static_cast<QDialog*>(page)->reject();
            }
            dialog->reject();
        });
        properties->click();
    });
    TQRPrinterSettings settings;
    EXPECT_FALSE(runPrinterSetup(settings, c.paper, 1));
    ASSERT_TRUE(shown.opened) << "the printer dialog's page settings did not open";
    EXPECT_NEAR(shown.width, c.paper.width(), 0.1) << shown.size.toStdString();
    EXPECT_NEAR(shown.height, c.paper.height(), 0.1) << shown.size.toStdString();
    EXPECT_EQ(shown.landscape, c.paper.width() > c.paper.height());
    if (c.namedSize) {
        EXPECT_TRUE(shown.size.startsWith(QString::fromLatin1(c.name))) << shown.size.toStdString();
    } else {
        EXPECT_TRUE(shown.size.startsWith(QStringLiteral("Custom"))) << shown.size.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Papers, PrinterDialogPaperTest,
                         ::testing::Values(PaperCase{"Receipt", QSizeF(105, 148.5), false},
                                           PaperCase{"A4", QSizeF(297, 210), true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
