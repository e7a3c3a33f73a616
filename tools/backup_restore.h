// Listing the backups and bringing one back. A restore takes nothing away:
// the files it replaces go aside into DATA/avant-restauration-AAAA-MM-JJ-HHMM.
// It refuses while a program has the tables open: the engine holds every
// open table, index and journal file under a shared open-mode lock, so a
// file that cannot be locked exclusively is in use.
#pragma once

#include <string>
#include <vector>

struct BackupSummary {
    std::string name;    // the folder's name: its date
    long salesRows = -1; // live rows of the sales table, -1 when unreadable
    std::string problem; // empty when its files are as its manifest says
};

// The dated backups of a backups folder, oldest first.
std::vector<BackupSummary> listBackups(const std::string& backupsFolder);

struct RestoreResult {
    bool ok = false;
    std::string message;      // in French, one line a step
    std::string asideFolder;  // where the replaced files went, when any did
};

// Brings the files of `backup` back into `dataFolder` (made when missing),
// then checks the folder as caisse-check does.
RestoreResult restoreBackup(const std::string& backup, const std::string& dataFolder);
