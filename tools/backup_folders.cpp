#include "tools/backup_folders.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <set>

#include "tools/backup_files.h"

namespace fs = std::filesystem;
using namespace std::chrono;

std::string dayName(Day day) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(day.year()),
                  static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()));
    return text;
}

std::optional<Day> dayFromName(const std::string& name) {
    if (name.size() != 10 || name[4] != '-' || name[7] != '-') return std::nullopt;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return std::nullopt;
    const Day day{year(std::stoi(name.substr(0, 4))), month(static_cast<unsigned>(std::stoi(name.substr(5, 2)))),
                  std::chrono::day(static_cast<unsigned>(std::stoi(name.substr(8, 2))))};
    if (!day.ok()) return std::nullopt;
    return day;
}

Day localToday() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return Day{year(local.tm_year + 1900), month(static_cast<unsigned>(local.tm_mon + 1)),
               std::chrono::day(static_cast<unsigned>(local.tm_mday))};
}

std::string defaultDataFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg) return std::string(xdg) + "/caisse";
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.local/share/caisse";
    return "";
}

std::string backupsFolderOf(const std::string& dataFolder) {
    std::string data = fs::absolute(dataFolder).lexically_normal().string();
    while (data.size() > 1 && data.back() == '/') data.pop_back();
    return data + "-sauvegardes";
}

std::vector<Day> datedBackups(const std::string& backupsFolder) {
    std::vector<Day> days;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(backupsFolder, ec))
        if (auto day = dayFromName(entry.path().filename().string()); day && entry.is_directory(ec))
            days.push_back(*day);
    std::sort(days.begin(), days.end());
    return days;
}

std::vector<Day> backupsToKeep(std::vector<Day> dates, Day today) {
    std::sort(dates.begin(), dates.end());
    const size_t recent = std::min<size_t>(dates.size(), kDailyBackupsKept);
    std::set<Day> keep(dates.end() - static_cast<long>(recent), dates.end());
    const year_month firstMonth = year_month(today.year(), today.month()) - months(kMonthlyBackupsKept - 1);
    std::set<year_month> monthsSeen;
    for (Day d : dates) {
        const year_month m(d.year(), d.month());
        if (m >= firstMonth && monthsSeen.insert(m).second) keep.insert(d);
    }
    return {keep.begin(), keep.end()};
}

std::vector<Day> rotateBackups(const std::string& backupsFolder, Day today) {
    const std::vector<Day> all = datedBackups(backupsFolder);
    const std::vector<Day> keep = backupsToKeep(all, today);
    std::vector<Day> removed;
    for (Day d : all) {
        if (std::binary_search(keep.begin(), keep.end(), d)) continue;
        std::error_code ec;
        fs::remove_all(backupsFolder + "/" + dayName(d), ec);
        if (ec) throw BackupError("impossible de retirer l'ancienne sauvegarde " + dayName(d) + " : " + frenchReason(ec));
        removed.push_back(d);
    }
    return removed;
}
