#include "tools/backup_make.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>

#include "tools/backup_manifest.h"
#include "tools/backup_snapshot.h"
#include "tools/folder_check.h"

namespace fs = std::filesystem;

namespace {

// Beside the destination, under a name that no listing takes for a backup.
std::string workFolderFor(const std::string& destination) {
    const fs::path d(destination);
    fs::path work = d.parent_path() / ".";
    work += d.filename();
    work += ".en-cours";
    return work.string();
}

// Links `copy` to the earlier copy `previous` when that holds the same bytes
// now; false when it does not, or when the disk has no hard links (a FAT key).
bool shareUnchanged(const std::string& previous, const std::string& copy, const Digest& digest) {
    std::error_code ec;
    if (fs::file_size(previous, ec) != digest.size || ec) return false;
    try {
        if (!(digestOfFile(previous) == digest)) return false;
    } catch (const BackupError&) {
        return false;
    }
    fs::create_hard_link(previous, copy, ec);
    return !ec;
}

struct Copies {
    std::vector<ManifestEntry> entries;
    int shared = 0;
};

Copies writeCopies(const std::vector<FileImage>& images, const std::string& work, const std::string& previous) {
    Copies c;
    for (const FileImage& image : images) {
        const Digest digest = digestOf(image.bytes);
        const std::string copy = work + "/" + image.name;
        if (!previous.empty() && shareUnchanged(previous + "/" + image.name, copy, digest))
            ++c.shared;
        else
            writeNewFile(copy, image.bytes, 0400);  // read only: later backups may share it
        c.entries.push_back({image.name, digest});
    }
    return c;
}

void verifyCopies(const std::string& work) {
    const std::string problem = backupProblem(work);
    if (!problem.empty()) throw BackupError("la copie relue ne correspond pas au manifeste : " + problem);
    const FolderVerdict verdict = checkFolder(work, false);
    if (!verdict.sound()) throw BackupError("la copie ne passe pas la vérification : " + verdict.firstProblem());
}

std::string doneText(const std::string& destination, const Copies& c, const std::string& previous) {
    std::string text = "Sauvegarde vérifiée : " + destination + " (" + std::to_string(c.entries.size()) + " fichiers";
    if (c.shared > 0)
        text += ", dont " + std::to_string(c.shared) + " inchangés depuis la sauvegarde " +
                fs::path(previous).filename().string();
    return text + ")";
}

BackupResult failed(const std::string& why) {
    return {false, "", "Sauvegarde impossible : " + why + ". Les sauvegardes précédentes restent intactes."};
}

// One daily backup at a time in a backups folder (the till started twice).
class FolderLock {
public:
    explicit FolderLock(const std::string& folder) : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ < 0 || ::flock(fd_, LOCK_EX) != 0)
            throw BackupError("impossible de réserver le dossier " + folder + " : " +
                              frenchReason(std::error_code(errno, std::generic_category())));
    }
    ~FolderLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_;
};

// Work folders of backups that were stopped (the machine switched off).
void removeStoppedBackups(const std::string& backups) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(backups, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(".") && name.ends_with(".en-cours")) fs::remove_all(entry.path(), ec);
    }
}

std::string latestBackupBefore(const std::string& backups, Day today) {
    std::string latest;
    for (Day d : datedBackups(backups))
        if (d < today) latest = backups + "/" + dayName(d);
    return latest;
}

std::string rotate(const std::string& backups, Day today) {
    std::string text;
    for (Day d : rotateBackups(backups, today)) text += (text.empty() ? "" : ", ") + dayName(d);
    return text.empty() ? "" : "\nAnciennes sauvegardes effacées : " + text;
}

}  // namespace

BackupResult makeBackup(const BackupSource& source, const std::string& destination, const std::string& previous) {
    const std::string work = workFolderFor(destination);
    bool named = false;
    try {
        std::error_code ec;
        if (fs::exists(destination, ec)) throw BackupError(destination + " existe déjà");
        const std::vector<FileImage> images = snapshotDataFolder(source.dataFolder, source.requiredTables);
        fs::remove_all(work, ec);  // left by a backup that was stopped
        makePrivateFolder(work);
        const Copies copies = writeCopies(images, work, previous);
        writeManifest(work, copies.entries);
        verifyCopies(work);
        syncFolder(work);
        renameOrThrow(work, destination);
        named = true;
        syncFolder(fs::path(destination).parent_path().string());
        return {true, destination, doneText(destination, copies, previous)};
    } catch (const std::exception& e) {  // BackupError, and no memory or a file system refusal
        std::error_code ec;
        fs::remove_all(named ? destination : work, ec);
        return failed(e.what());
    }
}

BackupResult makeDailyBackup(const BackupSource& source, Day today) {
    const std::string backups = backupsFolderOf(source.dataFolder);
    try {
        requireDataFolder(source.dataFolder);
        makePrivateFolder(backups);
        FolderLock lock(backups);
        removeStoppedBackups(backups);
        const std::string destination = backups + "/" + dayName(today);
        if (fs::is_directory(destination))
            return {true, destination, "La sauvegarde du " + dayName(today) + " existe déjà : " + destination};
        BackupResult result = makeBackup(source, destination, latestBackupBefore(backups, today));
        if (!result.ok) return result;
        try {
            result.message += rotate(backups, today);
        } catch (const BackupError& e) {
            result.ok = false;
            result.message += std::string("\n") + e.what();
        }
        return result;
    } catch (const std::exception& e) {
        return failed(e.what());
    }
}

BackupResult makeBackupInto(const BackupSource& source, const std::string& folder, Day today) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return failed("le dossier " + folder + " n'existe pas");
    const std::string base = (fs::absolute(folder) / ("caisse-" + dayName(today))).string();
    std::string destination = base;
    for (int n = 2; fs::exists(destination, ec); ++n) destination = base + "-" + std::to_string(n);
    return makeBackup(source, destination, "");
}
