// Backups of a demo folder after sales: verified copies, files shared with
// the day before, a change cut short rolled back first, a full disk, and
// folders that are no data folder. The folder picker of --choose.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QProcess>
#include <functional>

#include "backup_fixture.h"
#include "dbf_table.h"
#include "errors.h"
#include "file_io.h"
#include "tests/support/recording_dialogs.h"
#include "tools/backup_chooser.h"
#include "tools/backup_manifest.h"
#include "tools/folder_check.h"
#include "work_area.h"

namespace fs = std::filesystem;

namespace {

// A file whose writes go through until `budget` bytes, then fail as on a
// full disk; or, with `dieAfterWrite`, whose first write ends the process.
class TestFile final : public sde::FileWrapper {
public:
    TestFile(std::unique_ptr<sde::File> inner, uint64_t* budget, bool dieAfterWrite)
        : FileWrapper(std::move(inner)), budget_(budget), die_(dieAfterWrite) {}
    void writeAt(uint64_t off, const void* buf, size_t n) override {
        if (budget_ && n > *budget_) {
            target().writeAt(off, buf, *budget_);
            *budget_ = 0;
            throw sde::IoError("Cannot write: No space left on device");
        }
        if (budget_) *budget_ -= n;
        target().writeAt(off, buf, n);
        if (die_) ::raise(SIGKILL);
    }

private:
    uint64_t* budget_;
    bool die_;
};

// The engine's files under `folder` (or the one file `folder` names) are
// test files while this object lives.
class TestDisk {
public:
    TestDisk(const std::string& folder, uint64_t* budget, bool dieAfterWrite = false) {
        sde::setFileOpener([=](const std::string& path, sde::OpenFlags flags) -> std::unique_ptr<sde::File> {
            auto file = sde::openPosixFile(path, flags);
            if (path != folder && path.rfind(folder + "/", 0) != 0) return file;
            return std::make_unique<TestFile>(std::move(file), budget, dieAfterWrite);
        });
    }
    ~TestDisk() { sde::setFileOpener({}); }
};

// A till killed in the middle of a sale: its row is in the table, its keys
// and the table's count are not, and the journal still holds the old bytes.
void killTillInTheMiddleOfASale(const std::string& table) {
    const pid_t till = ::fork();
    if (till == 0) {
        TestDisk disk(table, nullptr, true);
        sde::WorkArea sales("VENTE", sde::DbfTable::open(table, sde::DbfTable::Mode::Shared), {});
        std::vector<unsigned char> row(sales.table().recordLength(), ' ');
        sales.appendRecord(row.data());
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(till, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the sale went through";
}

std::vector<std::string> dataFiles(const std::string& folder) {
    std::vector<std::string> all = filesWithExtension(folder, ".dbf");
    for (const std::string& ix : filesWithExtension(folder, ".ntx")) all.push_back(ix);
    return all;
}

// What sha256sum (coreutils) says of the files of a folder: "hash  name" lines.
std::string sha256sumOf(const std::string& folder, const std::vector<std::string>& names) {
    QProcess sum;
    sum.setWorkingDirectory(QString::fromStdString(folder));
    QStringList args;
    for (const std::string& n : names) args << QString::fromStdString(n);
    sum.start(QStringLiteral("sha256sum"), args);
    sum.waitForFinished();
    return sum.readAllStandardOutput().toStdString();
}

}  // namespace

TEST_F(BackupTest, VerifiedCopiesAndUnchangedFilesSharedWithTheDayBefore) {
    sell(30);
    const BackupResult first = makeDailyBackup(source(), day("2026-12-06"));
    ASSERT_TRUE(first.ok) << first.message;
    sell(12);
    const BackupResult second = makeDailyBackup(source(), day("2026-12-07"));
    ASSERT_TRUE(second.ok) << second.message;
    ASSERT_EQ(second.folder, backupOf("2026-12-07"));

    const std::vector<std::string> names = dataFiles(data);
    std::string manifestAsSha256sum;
    std::vector<std::string> listed;
    for (const ManifestEntry& e : readManifest(second.folder)) {
        listed.push_back(e.name);
        manifestAsSha256sum += e.digest.sha256 + "  " + e.name + "\n";
        EXPECT_EQ(e.digest.size, fs::file_size(data + "/" + e.name)) << e.name;
        EXPECT_EQ(fileText(second.folder + "/" + e.name), fileText(data + "/" + e.name)) << e.name;
        const bool changed = e.name == "Vente.dbf" || e.name == "vente.ntx" || e.name == "ticket.ntx";
        EXPECT_EQ(inodeOf(first.folder + "/" + e.name) == inodeOf(second.folder + "/" + e.name), !changed) << e.name;
    }
    EXPECT_EQ(listed, names);
    EXPECT_EQ(manifestAsSha256sum, sha256sumOf(second.folder, names));
    EXPECT_EQ(caisseCheck(second.folder), 0);
    EXPECT_EQ(fs::status(backups).permissions() & fs::perms::all, fs::perms::owner_all);

    // Once a day: the day's backup stays as it was made.
    const std::string manifest = fileText(second.folder + "/" + kManifestName);
    sell(3);
    const BackupResult again = makeDailyBackup(source(), day("2026-12-07"));
    EXPECT_TRUE(again.ok);
    EXPECT_NE(again.message.find("existe déjà"), std::string::npos) << again.message;
    EXPECT_EQ(fileText(second.folder + "/" + kManifestName), manifest);
}

TEST_F(BackupTest, AChangeCutShortIsRolledBackBeforeTheCopy) {
    sell(9);
    const std::string table = data + "/Vente.dbf";
    const std::string before = fileText(table);
    killTillInTheMiddleOfASale(table);
    ASSERT_GT(fileText(table).size(), before.size());
    ASSERT_TRUE(fs::exists(table + "-journal"));

    const BackupResult r = makeDailyBackup(source(), day("2026-12-07"));
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(fileText(r.folder + "/Vente.dbf"), before);
    EXPECT_EQ(fileText(table), before);
}

TEST_F(BackupTest, AFullDiskLeavesNoBackupAndTheEarlierOnesIntact) {
    sell(30);
    const std::string earlier = backupOf("2026-12-06");
    ASSERT_TRUE(makeDailyBackup(source(), day("2026-12-06")).ok);
    const std::string earlierManifest = fileText(earlier + "/" + kManifestName);
    sell(300);
    uint64_t needed = UINT64_MAX;  // what the next backup writes beside the copies it shares
    {
        TestDisk disk(backups, &needed);
        ASSERT_TRUE(makeBackup(source(), backups + "/mesure", earlier).ok);
        fs::remove_all(backups + "/mesure");
    }
    needed = UINT64_MAX - needed;
    for (uint64_t room : {uint64_t{0}, needed / 2, needed - 1}) {
        uint64_t budget = room;
        TestDisk disk(backups, &budget);
        const BackupResult r = makeDailyBackup(source(), day("2026-12-07"));
        EXPECT_FALSE(r.ok) << room;
        EXPECT_NE(r.message.find("No space left on device"), std::string::npos) << r.message;
        std::vector<std::string> left;
        for (const auto& e : fs::directory_iterator(backups)) left.push_back(e.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>{"2026-12-06"}) << room;
        EXPECT_EQ(backupProblem(earlier), "");
        EXPECT_EQ(fileText(earlier + "/" + kManifestName), earlierManifest);
    }
    uint64_t enough = needed;
    TestDisk disk(backups, &enough);
    EXPECT_TRUE(makeDailyBackup(source(), day("2026-12-07")).ok);
}

TEST_F(BackupTest, WhatIsNoSoundDataFolderGetsNoBackup) {
    using Harm = std::function<void(const std::string& folder)>;
    const auto patch = [](const std::string& path, size_t at, const std::string& bytes) {
        fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(at));
        f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    };
    const struct {
        const char* what;
        Harm harm;
        const char* says;
    } cases[] = {
        {"no folder", [](const std::string& f) { fs::remove_all(f); }, "n'existe pas"},
        {"no table", [](const std::string& f) { for (auto& t : filesWithExtension(f, ".dbf")) fs::remove(f + "/" + t); },
         "aucune table"},
        {"a table deleted", [](const std::string& f) { fs::remove(f + "/Membre.DBF"); }, "table absente"},
        {"a damaged table", [&](const std::string& f) { patch(f + "/config.dbf", 0, "X"); }, "config.dbf illisible"},
        {"a damaged index", [&](const std::string& f) { patch(f + "/ticket.ntx", 4, "\xff\xff\xff\x0f"); },
         "ne passe pas la vérification : ticket.ntx"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string folder = data + "-" + std::to_string(++n);
        fs::copy(data, folder);
        c.harm(folder);
        const BackupResult r = makeDailyBackup({folder, source().requiredTables}, day("2026-12-07"));
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_NE(r.message.find(c.says), std::string::npos) << c.what << ": " << r.message;
        EXPECT_TRUE(datedBackups(backupsFolderOf(folder)).empty()) << c.what;
    }
}

TEST_F(BackupTest, TheChosenFolderGetsADatedBackupAndABoxSaysWhere) {
    RecordingDialogsScope boxes;
    const std::string key = data + "-cle";
    fs::create_directory(key);
    boxes.files = {QString::fromStdString(key), QString::fromStdString(key)};
    EXPECT_EQ(chooseFolderAndBackUp(source(), day("2026-12-07")), 0);
    EXPECT_EQ(chooseFolderAndBackUp(source(), day("2026-12-07")), 0);
    ASSERT_EQ(boxes.messages.size(), 2) << boxes.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(boxes.messages[0].contains(QString::fromStdString(key + "/caisse-2026-12-07 "))) << boxes.messages[0].toStdString();
    EXPECT_TRUE(boxes.messages[1].contains(QString::fromStdString(key + "/caisse-2026-12-07-2 ")));
    EXPECT_EQ(backupProblem(key + "/caisse-2026-12-07"), "");
    EXPECT_TRUE(boxes.folderTitles.value(0).contains(QStringLiteral("clé USB")));

    EXPECT_EQ(chooseFolderAndBackUp(source(), day("2026-12-07")), 1);  // cancelled: no box
    boxes.files = {QString::fromStdString(key + "/retiree")};           // the key pulled out meanwhile
    EXPECT_EQ(chooseFolderAndBackUp(source(), day("2026-12-07")), 1);
    EXPECT_EQ(boxes.messages.size(), 2);
    ASSERT_EQ(boxes.errors.size(), 1);
    EXPECT_TRUE(boxes.errors[0].contains(QStringLiteral("n'existe pas")));
}
