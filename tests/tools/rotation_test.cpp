// Rotation of the daily backups over 400 simulated days: the last 14
// backups and the first backup of each of the last 12 months stay.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>

#include "tools/backup_folders.h"

namespace {

struct RotationCase {
    int everyDays;
    int backups;
    std::vector<const char*> kept;
};

std::vector<std::string> names(const std::vector<Day>& days) {
    std::vector<std::string> out;
    for (Day d : days) out.push_back(dayName(d));
    return out;
}

}  // namespace

TEST(BackupRotation, FourHundredDaysKeepExactlyTheExpectedDates) {
    const RotationCase cases[] = {
        {1, 400, {"2026-03-01", "2026-04-01", "2026-05-01", "2026-06-01", "2026-07-01", "2026-08-01",
                  "2026-09-01", "2026-10-01", "2026-11-01", "2026-12-01", "2027-01-01", "2027-01-22",
                  "2027-01-23", "2027-01-24", "2027-01-25", "2027-01-26", "2027-01-27", "2027-01-28",
                  "2027-01-29", "2027-01-30", "2027-01-31", "2027-02-01", "2027-02-02", "2027-02-03",
                  "2027-02-04"}},
        // The till opened every fifth day: a month's first backup is not its 1st.
        {5, 80, {"2026-02-05", "2026-03-02", "2026-04-01", "2026-05-01", "2026-06-05", "2026-07-05",
                 "2026-08-04", "2026-09-03", "2026-10-03", "2026-11-02", "2026-11-27", "2026-12-02",
                 "2026-12-07", "2026-12-12", "2026-12-17", "2026-12-22", "2026-12-27", "2027-01-01",
                 "2027-01-06", "2027-01-11", "2027-01-16", "2027-01-21", "2027-01-26", "2027-01-31"}},
    };
    for (const RotationCase& c : cases) {
        QTemporaryDir dir;
        const std::string backups = dir.path().toStdString();
        std::filesystem::create_directory(backups + "/.2026-12-31.en-cours");  // no backup: never counted
        std::filesystem::create_directory(backups + "/notes");
        std::vector<Day> removed;
        Day today{};
        for (int i = 0; i < c.backups; ++i) {
            today = std::chrono::sys_days(Day{std::chrono::year(2026), std::chrono::January, std::chrono::day(1)}) +
                    std::chrono::days(i * c.everyDays);
            std::filesystem::create_directory(backups + "/" + dayName(today));
            for (Day d : rotateBackups(backups, today)) removed.push_back(d);
        }
        const std::vector<std::string> expected(c.kept.begin(), c.kept.end());
        EXPECT_EQ(names(datedBackups(backups)), expected) << "every " << c.everyDays << " days";
        EXPECT_EQ(removed.size() + expected.size(), static_cast<size_t>(c.backups));
        EXPECT_TRUE(std::filesystem::exists(backups + "/notes"));
    }
}
