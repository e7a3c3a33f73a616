// How fast the sales journal goes into the page model and into a PDF file,
// and how much memory that takes, for a season's worth of sale rows; then
// how long the sales reset of the larger table takes (copy, sync, compare,
// empty, rebuild both indexes).
//   build/bin/bench_journal [FOLDER] [ROWS...]   (FOLDER keeps the files)
#include <sys/resource.h>
#include <time.h>

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

#include "backoffice/sales_reset.h"
#include "reports/engine/quick_rep.h"
#include "reports/engine/report_printer.h"
#include "reports/journal_layout.h"
#include "store/apollo_env.h"
#include "store/apollo_table.h"
#include "store/sde_binding.h"
#include "tools/data_folder_installer.h"

namespace {

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double seconds(const QElapsedTimer& t) { return t.nsecsElapsed() / 1e9; }

// CPU seconds of this process: the machine is shared, so the wall clock
// also counts the time other people's work held the cores.
double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// A data folder whose sales table holds `rows` sale rows at 6, 21 and 0 %.
bool fillSales(const QString& folder, int rows) {
    // BENCH_KEEP_TABLE: a folder filled by an earlier run is used again.
    if (qEnvironmentVariableIsSet("BENCH_KEEP_TABLE") && QFileInfo::exists(QDir(folder).filePath("Vente.dbf")))
        return true;
    InstallResult r = installDataFolder(folder, false);
    if (!r.ok) {
        std::fprintf(stderr, "%s\n", qPrintable(r.message));
        return false;
    }
    TApolloTable t(QStringLiteral("ATFill"));
    t.setTableName(QDir(folder).filePath(QStringLiteral("Vente.dbf")));
    t.setExclusive(true);
    t.Open();
    QElapsedTimer fill;
    fill.start();
    static const double rates[] = {21, 6, 21, 6, 0, 12};
    for (int i = 0; i < rows; ++i) {
        t.Insert();
        t.FieldByName("TICKET")->setAsString(QString::number(1 + i / 4));
        t.FieldByName("LIBELLE")->setAsString(QStringLiteral("Article %1").arg(i % 30 + 1));
        t.FieldByName("PRIX")->setAsFloat(rates[i % 6] == 0 ? -15 : 1.2 + (i % 7) * 0.4);
        t.FieldByName("TVA")->setAsFloat(rates[i % 6]);
        t.FieldByName("DATE")->setAsDate(QDate(2024, 9, 1).addDays(i / 4000));
        t.Post();
    }
    t.Close();
    std::printf("%8d rows filled in %.1f s\n", rows, seconds(fill));
    return true;
}

bool journal(const QString& folder, int rows) {
    const long rssStart = peakRssKb();
    if (!fillSales(folder, rows)) return false;
    TApolloTable sales(QStringLiteral("ATVente"));
    sales.setTableName(QDir(folder).filePath(QStringLiteral("Vente.dbf")));
    TApolloTable settings(QStringLiteral("ATConfig"));
    settings.setTableName(QDir(folder).filePath(QStringLiteral("config.dbf")));
    settings.Open();
    TQuickRep rep(QStringLiteral("QRImpVente"));
    JournalLayout layout(rep, &sales);
    JournalTotals totals(&sales, &settings);
    totals.attach(layout);
    sales.addField("LIBELLE", TFieldType::ftString, 30);
    sales.addField("PRIX", TFieldType::ftFloat);
    sales.addField("TVA", TFieldType::ftFloat);
    sales.addField("DATE", TFieldType::ftDate);
    rep.BeforePrint = [&](TQuickRep&, bool&) {
        sales.Open();
        totals.reset();
    };
    const long rssFilled = peakRssKb();

    // Two generations in a row: the peak must not climb after the first.
    double best = 1e9;
    double bestCpu = 1e9;
    long rssAfter[2] = {};
    size_t modelBytes = 0;
    PageModel model;
    for (int i = 0; i < 2; ++i) {
        model = PageModel();
        sales.Close();
        QElapsedTimer t;
        t.start();
        const double cpu0 = cpuSeconds();
        model = rep.Prepare();
        bestCpu = std::min(bestCpu, cpuSeconds() - cpu0);
        best = std::min(best, seconds(t));
        rssAfter[i] = peakRssKb();
        modelBytes = model.approximateBytes();
    }
    const int pages = model.pageCount();

    if (qEnvironmentVariableIsSet("BENCH_MODEL_ONLY")) {
        std::printf("%8d rows, %d pages: model %6.0f pages/s of CPU (%.2f s CPU)\n", rows, pages,
                    pages / bestCpu, bestCpu);
        return true;
    }
    const QString pdf = QDir(folder).filePath(QStringLiteral("journal.pdf"));
    QElapsedTimer t;
    t.start();
    const double pdfCpu0 = cpuSeconds();
    QString why;
    if (!savePdf(model, pdf, &why)) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return false;
    }
    const double pdfSeconds = seconds(t);
    const double pdfCpu = cpuSeconds() - pdfCpu0;
    std::printf("%8d rows, %d pages: model %6.0f pages/s of CPU (%.2f s CPU, %.2f s wall),"
                " PDF %5.0f pages/s of CPU (%.1f s CPU, %.1f s wall, %lld KB)\n",
                rows, pages, pages / bestCpu, bestCpu, best, pages / pdfCpu, pdfCpu, pdfSeconds,
                static_cast<long long>(QFileInfo(pdf).size() / 1024));
    std::printf("          peak RSS KB: start %ld, table filled %ld, after generations %ld / %ld,"
                " after PDF %ld; model ~%zu KB\n",
                rssStart, rssFilled, rssAfter[0], rssAfter[1], peakRssKb(), modelBytes / 1024);
    return true;
}

// The reset as the cash float window runs it, on the table of `folder`
// with both indexes built.
bool reset(const QString& folder) {
    const QString file = QDir(folder).filePath(QStringLiteral("Vente.dbf"));
    TApolloTable till(QStringLiteral("ATVente"));
    till.setTableName(file);
    till.Open();
    QElapsedTimer build;
    build.start();
    till.CreateIndex(QStringLiteral("vente.ntx"), QStringLiteral("upper(ticket)"), true);
    till.CreateIndex(QStringLiteral("ticket.ntx"), QStringLiteral("upper(ticket)"), false);
    const double indexSeconds = seconds(build);
    TApolloTable own(QStringLiteral("ATVente"));
    own.setTableName(file);
    own.Open();
    const qint64 size = QFileInfo(file).size();
    QDir::setCurrent(folder);
    QElapsedTimer t;
    t.start();
    const double cpu0 = cpuSeconds();
    SalesReset r(own, till);
    const QString name = r.archiveName();
    const SalesReset::Outcome outcome = r.run();
    const double resetSeconds = seconds(t);
    const double resetCpu = cpuSeconds() - cpu0;
    if (outcome != SalesReset::Outcome::Done) {
        std::fprintf(stderr, "reset: %s\n", qPrintable(r.copyError()));
        return false;
    }
    std::printf("reset of %lld MB (indexes built in %.1f s): %.2f s wall, %.2f s CPU, archive %s\n",
                static_cast<long long>(size >> 20), indexSeconds, resetSeconds, resetCpu,
                qPrintable(name));
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
    QTemporaryDir temporary;
    const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path());
    if (argc <= 1 && !temporary.isValid()) return 1;
    std::vector<int> sizes;
    for (int i = 2; i < argc; ++i) sizes.push_back(QString::fromLocal8Bit(argv[i]).toInt());
    if (sizes.empty()) sizes = {100000, 1000000};
    QString last;
    for (int rows : sizes) {
        last = dir.absoluteFilePath(QString::number(rows));
        QDir().mkpath(last);
        if (!journal(last, rows)) return 1;
    }
    if (qEnvironmentVariableIsSet("BENCH_MODEL_ONLY")) return 0;
    return reset(last) ? 0 : 1;
}
