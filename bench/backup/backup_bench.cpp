// The room that 30 days of daily backups of a season's data folder take
// (the rotation applied), and the time of one backup, in two seasons:
//   - every sale of the season still in the sales table (no sales reset),
//     a day of the bar adding its rows;
//   - the sales reset every day: the season's rows in the daily archives,
//     a day's rows in the sales table.
//   build/bin/bench_backup [ROWS]   (100,000 rows by default)
#include <sys/stat.h>

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <set>
#include <vector>

#include "../sales_fill.h"
#include "store/sde_binding.h"
#include "store/table_layouts.h"
#include "tools/backup_make.h"
#include "tools/data_folder_installer.h"

namespace {

constexpr int kDays = 30;
constexpr int kRowsADay = 330;  // a season of 100,000 rows over some 300 days
constexpr int kRowsPerTicket = 4;
const QStringList kSalesIndexes = {QStringLiteral("vente.ntx"), QStringLiteral("ticket.ntx")};

// Disk blocks of a folder, each file counted once however many links it has.
double megabytesOf(const std::string& folder) {
    std::set<std::pair<dev_t, ino_t>> seen;
    unsigned long long bytes = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        struct stat st {};
        if (::lstat(entry.path().c_str(), &st) == 0 && seen.insert({st.st_dev, st.st_ino}).second)
            bytes += static_cast<unsigned long long>(st.st_blocks) * 512;
    }
    return bytes / 1e6;
}

void createSalesIndexes() {
    TApolloTable sales(QStringLiteral("bench"));
    sales.setTableName(QStringLiteral("Vente.dbf"));
    sales.setExclusive(true);
    sales.Open();
    sales.CreateIndex(kSalesIndexes[0], QStringLiteral("upper(ticket)"), true);
    sales.CreateIndex(kSalesIndexes[1], QStringLiteral("upper(ticket)"), false);
}

// What the sales reset does: the table copied to the day's archive, then emptied.
void resetSales(const QDate& day) {
    QFile::copy(QStringLiteral("Vente.dbf"), QStringLiteral("vente") + day.toString(QStringLiteral("ddMMyyyy")) +
                                                 QStringLiteral(".dbf"));
    TApolloTable sales(QStringLiteral("bench"));
    sales.setTableName(QStringLiteral("Vente.dbf"));
    sales.setExclusive(true);
    sales.Open();
    for (const QString& index : kSalesIndexes) sales.OpenIndex(index);
    sales.Zap();
}

Day dayOf(const QDate& d) {
    return Day{std::chrono::year(d.year()), std::chrono::month(static_cast<unsigned>(d.month())),
               std::chrono::day(static_cast<unsigned>(d.day()))};
}

// Fills a fresh data folder with `prepare`, then backs it up each day after
// `oneDay`'s sales.
bool season(const char* title, const std::function<void()>& prepare,
            const std::function<void(const QDate&)>& oneDay) {
    QTemporaryDir root;
    const std::string data = root.filePath(QStringLiteral("caisse")).toStdString();
    const InstallResult installed = installDataFolder(QString::fromStdString(data), true);
    if (!installed.ok) {
        std::fprintf(stderr, "%s\n", qPrintable(installed.message));
        return false;
    }
    const QString previous = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(data));
    prepare();
    BackupSource source{data, {}};
    for (const TableLayout& t : tableLayouts()) source.requiredTables.push_back(t.file);
    std::vector<double> seconds;
    const QDate first(2026, 9, 1);
    for (int i = 0; i < kDays; ++i) {
        oneDay(first.addDays(i));
        QElapsedTimer timer;
        timer.start();
        const BackupResult r = makeDailyBackup(source, dayOf(first.addDays(i)));
        seconds.push_back(timer.nsecsElapsed() / 1e9);
        if (!r.ok) {
            std::fprintf(stderr, "%s\n", r.message.c_str());
            return false;
        }
    }
    QDir::setCurrent(previous);
    const std::string backups = backupsFolderOf(data);
    std::vector<double> later(seconds.begin() + 1, seconds.end());
    std::sort(later.begin(), later.end());
    std::printf("%s\n  data folder %.1f MB; after %d days, %zu backups kept in %.1f MB\n"
                "  one backup: %.2f s the first day, %.2f s (median of the next days)\n",
                title, megabytesOf(data), kDays, datedBackups(backups).size(), megabytesOf(backups), seconds[0],
                later[later.size() / 2]);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const long rows = argc > 1 ? std::atol(argv[1]) : 100000;
    std::string why;
    if (!SdeLibrary::load(&why)) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    const bool inTable = season(
        "Season in the sales table (no sales reset)",
        [&] {
            bench::fillSales(rows, kRowsPerTicket);
            createSalesIndexes();
        },
        [](const QDate&) { bench::fillSales(kRowsADay, kRowsPerTicket, kSalesIndexes); });
    const bool inArchives = season(
        "Sales reset every day (the season in daily archives)",
        [&] {
            createSalesIndexes();
            for (QDate d = QDate(2026, 9, 1).addDays(-rows / kRowsADay); d < QDate(2026, 9, 1); d = d.addDays(1)) {
                bench::fillSales(kRowsADay, kRowsPerTicket, kSalesIndexes);
                resetSales(d);
            }
        },
        [](const QDate& d) {
            bench::fillSales(kRowsADay, kRowsPerTicket, kSalesIndexes);
            resetSales(d);
        });
    return inTable && inArchives ? 0 : 1;
}
