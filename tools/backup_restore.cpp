#include "tools/backup_restore.h"

#include <strings.h>

#include <ctime>
#include <filesystem>
#include <memory>

#include "dbf_table.h"
#include "errors.h"
#include "file_io.h"
#include "tools/backup_folders.h"
#include "tools/backup_manifest.h"
#include "tools/folder_check.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kSalesTable = "Vente.dbf";

long liveSalesRows(const std::string& folder) {
    for (const std::string& t : filesWithExtension(folder, ".dbf")) {
        if (::strcasecmp(t.c_str(), kSalesTable) != 0) continue;
        try {
            auto table = sde::DbfTable::open(folder + "/" + t, sde::DbfTable::Mode::ReadOnly);
            long live = 0;
            for (uint32_t r = 1; r <= table->recordCount(); ++r)
                if (table->cachedRecord(r)[0] != sde::kDbfDeletedFlag) ++live;
            return live;
        } catch (const sde::EngineError&) {
            return -1;
        }
    }
    return -1;
}

// The files a restore replaces: tables, indexes, and the journals beside
// the tables (one left hot would roll the restored table "back").
std::vector<std::string> dataFilesOf(const std::string& folder) {
    std::vector<std::string> names;
    for (const char* ext : {".dbf", ".ntx", ".dbf-journal"})
        for (std::string& name : filesWithExtension(folder, ext)) names.push_back(std::move(name));
    return names;
}

// The data files, each held under an exclusive open-mode lock for the time
// of the restore, so that the program cannot open them meanwhile.
class HeldFiles {
public:
    HeldFiles(const std::string& folder, const std::vector<std::string>& names) {
        std::string busy;
        for (const std::string& name : names) {
            std::unique_ptr<sde::File> file;
            try {
                file = sde::openFile(folder + "/" + name, sde::OpenFlags::ReadOnly);
            } catch (const sde::EngineError&) {
                continue;  // unreadable: nobody has it open through the engine either
            }
            if (file->lockOpenMode(true))
                held_.push_back(std::move(file));
            else
                busy += (busy.empty() ? "" : ", ") + name;
        }
        if (!busy.empty())
            throw BackupError("la caisse a les tables ouvertes (" + busy +
                              ") : fermez le programme de caisse, puis recommencez");
    }

private:
    std::vector<std::unique_ptr<sde::File>> held_;
};

std::string asideFolderName(const std::string& dataFolder) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d-%H%M", &local);
    const std::string base = dataFolder + "/avant-restauration-" + stamp;
    std::string name = base;
    std::error_code ec;
    for (int n = 2; fs::exists(name, ec); ++n) name = base + "-" + std::to_string(n);
    return name;
}

// The files moved aside and brought back so far, so that a restore that
// fails half-way puts the folder back as it was.
class Swap {
public:
    explicit Swap(std::string data) : data_(std::move(data)) {}

    void setAside(const std::vector<std::string>& names, const std::string& aside) {
        makePrivateFolder(aside);
        aside_ = aside;
        for (const std::string& name : names) {
            renameOrThrow(data_ + "/" + name, aside + "/" + name);
            moved_.push_back(name);
        }
    }

    void bringBack(const std::string& backup, const ManifestEntry& entry) {
        const Bytes bytes = readWholeFile(backup + "/" + entry.name);
        if (!(digestOf(bytes) == entry.digest)) throw BackupError(entry.name + " a changé dans la sauvegarde");
        const std::string temporary = data_ + "/." + entry.name + ".restauration";
        std::error_code ec;
        fs::remove(temporary, ec);
        restored_.push_back(temporary);
        writeNewFile(temporary, bytes, 0600);
        renameOrThrow(temporary, data_ + "/" + entry.name);
        restored_.back() = data_ + "/" + entry.name;
    }

    // Best effort: what cannot be undone stays in the aside folder.
    void undo() {
        std::error_code ec;
        for (const std::string& path : restored_) fs::remove(path, ec);
        for (const std::string& name : moved_) fs::rename(aside_ + "/" + name, data_ + "/" + name, ec);
        if (!aside_.empty()) fs::remove(aside_, ec);  // only when empty
    }

private:
    std::string data_;
    std::string aside_;
    std::vector<std::string> moved_;
    std::vector<std::string> restored_;
};

void requireSoundBackup(const std::string& backup) {
    std::error_code ec;
    if (!fs::is_directory(backup, ec)) throw BackupError("aucune sauvegarde " + backup);
    const std::string problem = backupProblem(backup);
    if (!problem.empty()) throw BackupError("la sauvegarde " + backup + " n'est pas intacte : " + problem);
    const FolderVerdict verdict = checkFolder(backup, false);
    if (!verdict.sound())
        throw BackupError("la sauvegarde " + backup + " ne passe pas la vérification : " + verdict.firstProblem());
}

// Moves the data files aside and copies the backup's in; on failure, puts
// the folder back as it was. Returns the aside folder ("" when empty).
std::string swapIn(const std::string& backup, const std::string& data) {
    makePrivateFolder(data);
    const std::vector<std::string> current = dataFilesOf(data);
    HeldFiles held(data, current);
    Swap swap(data);
    const std::string aside = current.empty() ? "" : asideFolderName(data);
    try {
        if (!current.empty()) swap.setAside(current, aside);
        for (const ManifestEntry& entry : readManifest(backup)) swap.bringBack(backup, entry);
        syncFolder(data);
    } catch (...) {
        swap.undo();
        throw;
    }
    return aside;
}

}  // namespace

std::vector<BackupSummary> listBackups(const std::string& backupsFolder) {
    std::vector<BackupSummary> out;
    for (Day d : datedBackups(backupsFolder)) {
        const std::string folder = backupsFolder + "/" + dayName(d);
        out.push_back({dayName(d), liveSalesRows(folder), backupProblem(folder)});
    }
    return out;
}

RestoreResult restoreBackup(const std::string& backup, const std::string& dataFolder) {
    RestoreResult result;
    try {
        requireSoundBackup(backup);
        result.asideFolder = swapIn(backup, dataFolder);
    } catch (const std::exception& e) {
        result.message = std::string("Restauration impossible : ") + e.what() + ". Le dossier " + dataFolder +
                         " est resté tel quel.";
        return result;
    }
    if (!result.asideFolder.empty()) result.message = "Fichiers remplacés mis de côté dans " + result.asideFolder + "\n";
    result.message += "Sauvegarde " + backup + " restaurée dans " + dataFolder + "\n";
    const FolderVerdict verdict = checkFolder(dataFolder, false);
    result.ok = verdict.sound();
    result.message += result.ok ? "Vérification : ok" : "Vérification : " + verdict.firstProblem();
    return result;
}
