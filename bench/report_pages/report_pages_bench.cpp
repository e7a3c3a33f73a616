// How fast receipt-shaped reports go into the page model and into a PDF
// file, and how much memory that takes: ten framed item lines a page under
// a header with the logo, a footer with the page number.
//   build/bin/bench_report_pages [FOLDER]   (FOLDER keeps the PDF files)
#include <sys/resource.h>

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

#include "reports/engine/logo.h"
#include "reports/engine/quick_rep.h"
#include "reports/engine/report_printer.h"
#include "reports/receipt_layout.h"
#include "store/apollo_env.h"
#include "store/apollo_table.h"
#include "store/sde_binding.h"
#include "tools/data_folder_installer.h"

namespace {

constexpr int kLinesPerPage = 10;

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A sales table of `rows` item lines in a data folder of its own.
bool fillSales(const QString& folder, int rows) {
    InstallResult r = installDataFolder(folder, false);
    if (!r.ok) {
        std::fprintf(stderr, "%s\n", qPrintable(r.message));
        return false;
    }
    TApolloTable t(QStringLiteral("ATFill"));
    t.setTableName(QDir(folder).filePath(QStringLiteral("Vente.dbf")));
    t.Open();
    for (int i = 0; i < rows; ++i) {
        t.Insert();
        t.FieldByName("TICKET")->setAsString(QString::number(1 + i / 25));
        t.FieldByName("LIBELLE")->setAsString(QStringLiteral("Article %1").arg(i % 30 + 1));
        t.FieldByName("PRIX")->setAsFloat(1.2 + (i % 7) * 0.4);
        t.FieldByName("DATE")->setAsDate(QDate(2024, 3, 9));
        t.Post();
    }
    t.Close();
    return true;
}

// The receipt's own layout, with the total as the till would print it and
// a page number in the footer.
void buildReceipt(TQuickRep& rep, TApolloTable* sales) {
    buildReceiptLayout(rep, sales);
    TQRBand* footer = rep.band(QStringLiteral("QRBand3"));
    static_cast<TQRLabel*>(footer->element(QStringLiteral("QRLabel7")))->setCaption(QStringLiteral("12,50 €"));
    footer->addSysData(QStringLiteral("QRSysData1"), 80, 12.7)->setFont({QStringLiteral("Arial"), 12});
}

bool run(int pages, const QString& folder) {
    const long rssStart = peakRssKb();
    if (!fillSales(folder, pages * kLinesPerPage)) return false;
    TApolloTable sales(QStringLiteral("ATVente"));
    sales.setTableName(QDir(folder).filePath(QStringLiteral("Vente.dbf")));
    sales.Open();
    TQuickRep rep(QStringLiteral("QRImpTicket"));
    buildReceipt(rep, &sales);
    const long rssFilled = peakRssKb();

    // Three generations in a row: the peak must not climb after the first.
    double bestModelSeconds = 1e9;
    long rssAfter[3] = {};
    size_t modelBytes = 0;
    PageModel model;
    for (int i = 0; i < 3; ++i) {
        model = PageModel();
        QElapsedTimer t;
        t.start();
        model = rep.Prepare();
        bestModelSeconds = std::min(bestModelSeconds, t.nsecsElapsed() / 1e9);
        rssAfter[i] = peakRssKb();
        modelBytes = model.approximateBytes();
    }
    if (model.pageCount() != pages) {
        std::fprintf(stderr, "expected %d pages, got %d\n", pages, model.pageCount());
        return false;
    }

    const QString pdf = QDir(folder).filePath(QStringLiteral("report.pdf"));
    QElapsedTimer t;
    t.start();
    QString why;
    if (!savePdf(model, pdf, &why)) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return false;
    }
    const double pdfSeconds = t.nsecsElapsed() / 1e9;

    std::printf("%5d pages: model %8.0f pages/s (%.3f s), PDF %6.0f pages/s (%.2f s, %lld KB)\n",
                pages, pages / bestModelSeconds, bestModelSeconds, pages / pdfSeconds, pdfSeconds,
                static_cast<long long>(QFileInfo(pdf).size() / 1024));
    std::printf("             peak RSS KB: start %ld, table filled %ld, after generations %ld / %ld / %ld,"
                " after PDF %ld; model ~%zu KB\n",
                rssStart, rssFilled, rssAfter[0], rssAfter[1], rssAfter[2], peakRssKb(),
                modelBytes / 1024);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::string why;
    if (!SdeLibrary::load(&why)) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    TApolloEnv::current().deleted = true;
    TApolloEnv::current().century = true;
    // An optional folder keeps the data and the PDF files to look at.
    QTemporaryDir temporary;
    const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path());
    if (argc <= 1 && !temporary.isValid()) return 1;
    for (int pages : {100, 1000}) {
        const QString folder = dir.absoluteFilePath(QString::number(pages));
        QDir().mkpath(folder);
        if (!run(pages, folder)) return 1;
    }
    return 0;
}
