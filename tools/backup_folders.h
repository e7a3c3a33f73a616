// Where backups live and how long they stay. The day's backups of a data
// folder DATA go into DATA-sauvegardes/AAAA-MM-JJ (for the per-user folder
// ~/.local/share/caisse, ~/.local/share/caisse-sauvegardes); a folder
// bears its date only once the backup in it has been verified. The last 14
// backups stay, and the first backup of each of the last 12 months.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

using Day = std::chrono::year_month_day;

inline constexpr int kDailyBackupsKept = 14;
inline constexpr int kMonthlyBackupsKept = 12;

std::string dayName(Day day);  // "2026-12-07"
std::optional<Day> dayFromName(const std::string& name);
Day localToday();

// The per-user data folder, as caisse-launch makes it:
// $XDG_DATA_HOME/caisse, by default ~/.local/share/caisse. Empty when
// neither XDG_DATA_HOME nor HOME is set.
std::string defaultDataFolder();
// DATA-sauvegardes, beside the data folder.
std::string backupsFolderOf(const std::string& dataFolder);

// The dates of the backups in a backups folder, oldest first.
std::vector<Day> datedBackups(const std::string& backupsFolder);

// Of the backups made on `dates`, those to keep on `today`.
std::vector<Day> backupsToKeep(std::vector<Day> dates, Day today);
// Removes the dated backups that backupsToKeep() lets go; returns their
// dates. Throws BackupError when one cannot be removed.
std::vector<Day> rotateBackups(const std::string& backupsFolder, Day today);
