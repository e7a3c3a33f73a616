// How long a key typed in the ticket search box takes until the box shows
// the ticket found, over sales tables of several sizes with ten rows per
// ticket, vente.ntx as the order: each key must cost an index seek, never a
// read of the table. Two kinds of key are timed:
//   found    a digit that extends a prefix some ticket begins with;
//   no match a second key after one that matched nothing: the search drops it
//            and locates the shorter text again (two seeks, both failing).
//   build/bin/bench_search_box [--rows N ...] [--keys K]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>

#include "app/application.h"
#include "app/menu.h"
#include "app/program.h"
#include "backoffice/ticket_search.h"
#include "../sales_fill.h"
#include "store/apollo_table.h"
#include "store/sde_binding.h"
#include "till/caisse.h"
#include "tools/data_folder_installer.h"

namespace {

constexpr int kRowsPerTicket = 10;

// The offscreen platform says so each time a window is raised.
void quietHandler(QtMsgType, const QMessageLogContext&, const QString&) {}

struct Timings {
    std::vector<double> ms;
    void add(double v) { ms.push_back(v); }
    void print(const char* what) {
        std::sort(ms.begin(), ms.end());
        double sum = 0;
        for (double v : ms) sum += v;
        std::printf("  %-9s keys %5zu  median %.3f ms  mean %.3f ms  p95 %.3f ms  max %.3f ms\n", what,
                    ms.size(), ms[ms.size() / 2], sum / ms.size(), ms[ms.size() * 95 / 100], ms.back());
    }
};

// One key into the box, until the box and its list are drawn again.
double timedKey(TDBLookupComboPlus* box, char key) {
    QElapsedTimer t;
    t.start();
    QTest::keyClicks(box, QString(QLatin1Char(key)));
    box->repaint();
    box->list()->repaint();
    return t.nsecsElapsed() / 1e6;
}

void run(long rows, int keys) {
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    installDataFolder(dir.path(), true);
    QElapsedTimer t;
    t.start();
    bench::fillSales(rows, kRowsPerTicket);
    bench::setTodaysFloat();  // the till shows no message when it opens
    const double fillS = t.elapsed() / 1000.0;
    t.restart();
    Program program;
    program.create();  // builds the index files
    const double startS = t.elapsed() / 1000.0;
    program.showWindow(program.FMenu);
    program.switchTo(program.FMenu, program.FCaisse);
    QTest::mouseClick(program.FCaisse->MLBtnTicket, Qt::LeftButton);
    TFTicket* search = program.FTicket;
    TDBLookupComboPlus* box = search->DBLookupComboPlus1;

    const long tickets = rows / kRowsPerTicket;
    QRandomGenerator random(42);
    Timings found, missed;
    int wrong = 0;
    while (static_cast<int>(found.ms.size()) < keys) {
        const QByteArray number = QByteArray::number(1 + random.bounded(static_cast<qint64>(tickets)));
        QTest::keyClick(box, Qt::Key_Escape);  // a new search
        for (char c : number) {
            found.add(timedKey(box, c));
            if (!number.startsWith(box->text().toLatin1())) ++wrong;
        }
        // Two keys no ticket continues with: the second is dropped again.
        timedKey(box, 'x');
        missed.add(timedKey(box, 'y'));
        if (box->text().toLatin1() != number) ++wrong;
    }
    std::printf("rows %8ld  tickets %7ld  fill %6.2f s  start %5.2f s  peak RSS %ld KB%s\n", rows,
                tickets, fillS, startS, bench::peakKb(), wrong ? "  WRONG RESULTS" : "");
    found.print("found");
    missed.print("no match");
    search->close();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietHandler);
    TCaisseApplication app(argc, argv);
    std::string why;
    if (!SdeLibrary::load(&why)) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    std::vector<long> sizes;
    int keys = 2000;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == "--rows" && i + 1 < argc) sizes.push_back(std::atol(argv[++i]));
        else if (a == "--keys" && i + 1 < argc) keys = std::atoi(argv[++i]);
    }
    if (sizes.empty()) sizes = {10000, 1000000};
    for (long rows : sizes) run(rows, keys);
    return 0;
}
