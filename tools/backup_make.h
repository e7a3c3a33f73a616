// Making a backup: the data folder's tables and indexes copied (see
// backup_snapshot.h) into a folder of a name that passes for no backup,
// the manifest written, the copies read back against it and checked as
// caisse-check checks a folder; only then does the folder take its name.
// A backup that fails any step is removed; earlier ones are never touched.
#pragma once

#include <string>
#include <vector>

#include "tools/backup_folders.h"

struct BackupSource {
    std::string dataFolder;
    std::vector<std::string> requiredTables;  // the program's six tables
};

struct BackupResult {
    bool ok = false;
    std::string folder;   // the verified backup
    std::string message;  // in French: where it went, or why it failed
};

// Backs up into `destination`, which must not exist. Files equal to their
// copy in `previous` (an earlier backup, may be empty) share that copy
// through a hard link where the disk allows it.
BackupResult makeBackup(const BackupSource& source, const std::string& destination, const std::string& previous);

// The day's backup into backupsFolderOf(data)/AAAA-MM-JJ, unless there is
// one already; sharing the unchanged files with the latest backup before
// it, then letting go of the backups the rotation no longer keeps.
BackupResult makeDailyBackup(const BackupSource& source, Day today);

// One dated backup in `folder` (a USB key): folder/caisse-AAAA-MM-JJ, or
// caisse-AAAA-MM-JJ-2 ... when the day has one there already.
BackupResult makeBackupInto(const BackupSource& source, const std::string& folder, Day today);
