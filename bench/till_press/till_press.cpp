// How long an article press takes until the grid shows the new row, with a
// small and a large sales table: the till must not read the whole table on a
// press or a repaint. Each measured press books onto a ticket that already
// holds five rows, with vente.ntx and ticket.ntx open as at the till. Then
// the ticket is closed ("Caisse", receipt preview skipped): the closing
// writes the card payment row and flushes the three tables to disk; the
// flush alone is timed apart.
// With --ticket-rows R: presses of 99 and of 1 on tickets of R rows.
//   build/bin/bench_till_press [--rows N ...] [--presses P] [--ticket-rows R]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>

#include "app/application.h"
#include "app/menu.h"
#include "app/program.h"
#include "../sales_fill.h"
#include "reports/engine/quick_rep.h"
#include "store/apollo_table.h"
#include "store/sde_binding.h"
#include "till/caisse.h"
#include "tools/data_folder_installer.h"

namespace {

void run(long rows, int presses) {
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    installDataFolder(dir.path(), true);
    bench::setTodaysFloat();
    QElapsedTimer t;
    t.start();
    bench::fillSales(rows, 5);
    const double fillS = t.elapsed() / 1000.0;
    t.restart();
    Program program;
    program.create();  // builds the five index files
    const double startS = t.elapsed() / 1000.0;
    program.showWindow(program.FMenu);
    program.switchTo(program.FMenu, program.FCaisse);
    TFCaisse* till = program.FCaisse;

    std::vector<double> ms, closings, flushes;
    const long tickets = rows / 5;
    for (int k = 0; k < presses; ++k) {
        // A ticket of five rows spread over the table becomes the current one.
        const long ticket = 1 + (tickets - 1) * k / std::max(1, presses - 1);
        till->ATConfig->Edit();
        till->ATConfig->FieldByName("NUMTICKET")->setAsString(QString::number(ticket));
        till->ATConfig->Post();
        till->FiltreVente = QStringLiteral("Ticket = '%1'").arg(ticket);
        till->applyFiltreVente();
        if (till->DBGrid1->model()->rowCount() != 5) std::fprintf(stderr, "ticket %ld: not 5 rows\n", ticket);

        QElapsedTimer press;
        press.start();
        QTest::mouseClick(till->MultiLineButton[1], Qt::LeftButton);
        till->DBGrid1->viewport()->repaint();
        ms.push_back(press.nsecsElapsed() / 1e6);
        if (till->DBGrid1->model()->rowCount() != 6) std::fprintf(stderr, "press %d: grid not updated\n", k);

        QElapsedTimer closing;
        closing.start();
        QTest::mouseClick(till->MLBtCaisse, Qt::LeftButton);
        closings.push_back(closing.nsecsElapsed() / 1e6);
        closing.restart();
        for (TApolloTable* table : {till->ATVente, till->ATConfig, till->ATPtsRes}) table->FlushBuffers();
        flushes.push_back(closing.nsecsElapsed() / 1e6);
    }
    auto median = [](std::vector<double>& v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double v : ms) sum += v;
    std::printf("rows %8ld  fill %6.2f s  start %5.2f s  press: median %.3f ms  mean %.3f ms  "
                "p95 %.3f ms  max %.3f ms  peak RSS %ld KB\n",
                rows, fillS, startS, ms[ms.size() / 2], sum / ms.size(),
                ms[ms.size() * 95 / 100], ms.back(), bench::peakKb());
    std::printf("rows %8ld  closing: median %.3f ms, of which the flush of the three tables %.3f ms\n", rows,
                median(closings), median(flushes));
}

// Presses on tickets that already hold `ticketRows` rows each: a quantity of
// 99, then a quantity of 1 on the same ticket. A press books its units and
// shows the grid once, so neither should grow with the ticket's rows.
void runLongTickets(int ticketRows, int tickets) {
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    installDataFolder(dir.path(), true);
    bench::setTodaysFloat();
    bench::fillSales(static_cast<long>(ticketRows) * tickets, ticketRows);
    Program program;
    program.create();
    program.showWindow(program.FMenu);
    program.switchTo(program.FMenu, program.FCaisse);
    TFCaisse* till = program.FCaisse;
    std::vector<double> of99, of1;
    auto timedPress = [&](const char* quantity) {
        till->ENombre->setText(QString::fromLatin1(quantity));
        QElapsedTimer press;
        press.start();
        QTest::mouseClick(till->MultiLineButton[1], Qt::LeftButton);
        till->DBGrid1->viewport()->repaint();
        return press.nsecsElapsed() / 1e6;
    };
    for (int ticket = 1; ticket <= tickets; ++ticket) {
        till->ATConfig->Edit();
        till->ATConfig->FieldByName("NUMTICKET")->setAsString(QString::number(ticket));
        till->ATConfig->Post();
        till->FiltreVente = QStringLiteral("Ticket = '%1'").arg(ticket);
        till->applyFiltreVente();
        of99.push_back(timedPress("99"));
        of1.push_back(timedPress("1"));
        if (till->ATVente->RecordCount() != static_cast<long>(ticketRows) * tickets + 100L * ticket)
            std::fprintf(stderr, "ticket %d: rows missing\n", ticket);
    }
    std::sort(of99.begin(), of99.end());
    std::sort(of1.begin(), of1.end());
    std::printf("ticket of %d rows  press of 99: median %.1f ms (min %.1f, max %.1f)  "
                "press of 1: median %.3f ms (min %.3f, max %.3f)\n",
                ticketRows, of99[of99.size() / 2], of99.front(), of99.back(), of1[of1.size() / 2],
                of1.front(), of1.back());
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TQuickRep::setPreviewHook([](TQuickRep&, TPreviewWindow&) {});  // no receipt window to wait on
    TCaisseApplication app(argc, argv);
    std::string why;
    if (!SdeLibrary::load(&why)) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    std::vector<long> sizes;
    int presses = 200, ticketRows = 0;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == "--rows" && i + 1 < argc) sizes.push_back(std::atol(argv[++i]));
        else if (a == "--presses" && i + 1 < argc) presses = std::atoi(argv[++i]);
        else if (a == "--ticket-rows" && i + 1 < argc) ticketRows = std::atoi(argv[++i]);
    }
    if (ticketRows > 0) {
        runLongTickets(ticketRows, 15);
        return 0;
    }
    if (sizes.empty()) sizes = {1000, 1000000};
    for (long rows : sizes) run(rows, presses);
    return 0;
}
