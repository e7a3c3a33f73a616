// What a backup copies, read through the engine at one moment when no change
// of any program is under way. Each table is opened shared, as the program
// opens it: a change cut short by a writer that died (a hot
// "TABLE.DBF-journal") is rolled back by that open. Then the header lock of
// every table is held, shared, while every table and index file is read:
// writers take it for the whole of each change, tables and indexes alike.
#pragma once

#include <string>
#include <vector>

#include "tools/backup_files.h"

struct FileImage {
    std::string name;
    Bytes bytes;
};

// Throws BackupError when `dataFolder` is not a folder that can be read.
void requireDataFolder(const std::string& dataFolder);

// The tables (*.dbf: the program's tables and the sales archives) and the
// indexes (*.ntx) of `dataFolder`, by name. Throws BackupError when the
// folder is missing or unreadable, holds no table or lacks one of
// `requiredTables` (any letter case), when a table cannot be read, or when
// another program keeps a table to itself for more than a few seconds.
std::vector<FileImage> snapshotDataFolder(const std::string& dataFolder,
                                          const std::vector<std::string>& requiredTables);
