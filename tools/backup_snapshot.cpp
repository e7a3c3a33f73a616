#include "tools/backup_snapshot.h"

#include <strings.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "dbf_table.h"
#include "errors.h"
#include "file_io.h"
#include "journal.h"
#include "tools/folder_check.h"

namespace {

// A sales reset holds the sales table alone for a moment: wait that long.
constexpr auto kPatience = std::chrono::seconds(10);
constexpr auto kPause = std::chrono::milliseconds(20);

Bytes wholeFile(sde::File& file) {
    Bytes bytes(file.size());
    bytes.resize(file.readAt(0, bytes.data(), bytes.size()));
    return bytes;
}

bool hotJournalBeside(const std::string& tablePath) {
    const std::string journal = sde::Journal::pathFor(tablePath);
    try {
        return sde::fileExists(journal) && sde::Journal::hot(*sde::openFile(journal, sde::OpenFlags::ReadOnly));
    } catch (const sde::NotFoundError&) {
        return false;  // its last holder removed it meanwhile
    }
}

// The folder's files open, read while every table's header lock is held.
class HeldFolder {
public:
    HeldFolder(const std::string& folder, const std::vector<std::string>& tables,
               const std::vector<std::string>& indexes) {
        for (const std::string& name : tables) {
            try {
                tables_.push_back({name, sde::DbfTable::open(folder + "/" + name, sde::DbfTable::Mode::Shared)});
            } catch (const sde::LockedError&) {
                throw;  // another program holds it alone: try again later
            } catch (const sde::EngineError& e) {
                throw BackupError(name + " illisible (" + e.what() + ")");
            }
        }
        for (const std::string& name : indexes) {
            try {
                indexes_.push_back({name, sde::openFile(folder + "/" + name, sde::OpenFlags::ReadOnly)});
            } catch (const sde::EngineError& e) {
                throw BackupError(name + " illisible (" + e.what() + ")");
            }
        }
    }

    // Takes every header lock without waiting: a program waiting for one of
    // ours while holding another must never wait for us in turn. A writer
    // that died after the tables were opened left its change half done:
    // the next open rolls it back.
    bool lockAll() {
        for (auto& t : tables_) {
            if (!t.table->file().lockRange(sde::kLockBase, 1, false, false)) {
                unlockAll();
                return false;
            }
            ++locked_;
        }
        for (auto& t : tables_) {
            if (hotJournalBeside(t.table->path())) {
                unlockAll();
                return false;
            }
        }
        return true;
    }

    std::vector<FileImage> readAll() {
        std::vector<FileImage> images;
        try {
            for (auto& t : tables_) images.push_back({t.name, wholeFile(t.table->file())});
            for (auto& ix : indexes_) images.push_back({ix.name, wholeFile(*ix.file)});
        } catch (const sde::EngineError& e) {
            throw BackupError(std::string("lecture impossible (") + e.what() + ")");
        }
        return images;
    }

    ~HeldFolder() { unlockAll(); }

private:
    void unlockAll() {
        for (size_t i = 0; i < locked_; ++i) tables_[i].table->file().unlockRange(sde::kLockBase, 1);
        locked_ = 0;
    }

    struct Table {
        std::string name;
        std::unique_ptr<sde::DbfTable> table;
    };
    struct Index {
        std::string name;
        std::unique_ptr<sde::File> file;
    };
    std::vector<Table> tables_;
    std::vector<Index> indexes_;
    size_t locked_ = 0;
};

void checkRequiredTables(const std::string& folder, const std::vector<std::string>& tables,
                         const std::vector<std::string>& required) {
    if (tables.empty()) throw BackupError("aucune table dans " + folder);
    std::string missing;
    for (const std::string& r : required)
        if (std::none_of(tables.begin(), tables.end(),
                         [&](const std::string& t) { return ::strcasecmp(t.c_str(), r.c_str()) == 0; }))
            missing += (missing.empty() ? "" : ", ") + r;
    if (!missing.empty()) throw BackupError("table absente de " + folder + " : " + missing);
}

}  // namespace

void requireDataFolder(const std::string& folder) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        throw BackupError("le dossier de données " + folder + " n'existe pas");
    std::filesystem::directory_iterator probe(folder, ec);
    if (ec) throw BackupError("le dossier de données " + folder + " est illisible : " + frenchReason(ec));
}

std::vector<FileImage> snapshotDataFolder(const std::string& dataFolder,
                                          const std::vector<std::string>& requiredTables) {
    requireDataFolder(dataFolder);
    const auto tables = filesWithExtension(dataFolder, ".dbf");
    const auto indexes = filesWithExtension(dataFolder, ".ntx");
    checkRequiredTables(dataFolder, tables, requiredTables);
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    for (;;) {
        std::string busy;
        try {
            HeldFolder held(dataFolder, tables, indexes);
            if (held.lockAll()) return held.readAll();
            busy = "une modification des tables ne se termine pas";
        } catch (const sde::LockedError& e) {
            busy = std::string("une table reste réservée par un autre programme (") + e.what() + ")";
        }
        if (std::chrono::steady_clock::now() > deadline) throw BackupError(busy);
        std::this_thread::sleep_for(kPause);
    }
}
