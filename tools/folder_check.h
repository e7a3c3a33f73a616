// The check of a whole data folder: every table, then every index matched
// with the table whose rows it holds. caisse-check prints it; caisse-backup
// runs it on each copy it makes and on each folder it restores.
#pragma once

#include <string>
#include <vector>

struct FileVerdict {
    std::string name;     // the file's name in the folder
    std::string verdict;  // "ok", or what is wrong (and what a repair did)
    bool sound = false;
};

struct FolderVerdict {
    std::vector<FileVerdict> files;  // the tables, then the indexes, each by name
    // At least one file, and every one sound.
    bool sound() const;
    // The first file that is not sound, as "name : verdict"; empty when sound.
    std::string firstProblem() const;
};

// Whether `name` ends in `ext` (".dbf"), in any letter case.
bool hasExtension(const std::string& name, const char* ext);

// The names of the folder's files ending in `ext` (".dbf", ".ntx"), in any
// letter case, sorted.
std::vector<std::string> filesWithExtension(const std::string& folder, const char* ext);

// With `repair`, each damaged or stale index is rebuilt from its table.
FolderVerdict checkFolder(const std::string& folder, bool repair);
