// Restore: the day's files come back, the files in place go aside, nothing
// is restored while another process has a table open or from a backup
// that no longer matches its manifest.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "backup_fixture.h"
#include "dbf_table.h"
#include "tools/backup_manifest.h"
#include "tools/backup_restore.h"

namespace fs = std::filesystem;

namespace {

// The data folder's entries whose name starts with `prefix`.
int entriesStartingWith(const std::string& folder, const std::string& prefix) {
    int n = 0;
    for (const auto& e : fs::directory_iterator(folder)) n += e.path().filename().string().rfind(prefix, 0) == 0;
    return n;
}

}  // namespace

TEST_F(BackupTest, RestoreBringsTheDayBackAndPutsTheFilesInPlaceAside) {
    sell(30);
    ASSERT_TRUE(makeDailyBackup(source(), day("2026-12-07")).ok);
    const std::string savedSales = fileText(data + "/Vente.dbf");
    sell(12);
    const std::string ticketsNow = fileText(data + "/ticket.ntx");
    fs::remove(data + "/Vente.dbf");  // deleted by mistake

    const std::vector<BackupSummary> listing = listBackups(backups);
    ASSERT_EQ(listing.size(), 1u);
    EXPECT_EQ(listing[0].name, "2026-12-07");
    EXPECT_EQ(listing[0].salesRows, 30);
    EXPECT_EQ(listing[0].problem, "");

    const RestoreResult r = restoreBackup(backupOf("2026-12-07"), data);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(fileText(data + "/Vente.dbf"), savedSales);
    EXPECT_EQ(r.asideFolder.rfind(data + "/avant-restauration-", 0), 0u) << r.asideFolder;
    EXPECT_EQ(fileText(r.asideFolder + "/ticket.ntx"), ticketsNow);
    EXPECT_EQ(caisseCheck(data), 0);
    EXPECT_EQ(fs::status(data + "/Vente.dbf").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(BackupTest, RestoreRefusesWhileAnotherProcessHasATableOpen) {
    ASSERT_TRUE(makeDailyBackup(source(), day("2026-12-07")).ok);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t till = ::fork();
    if (till == 0) {
        auto members = sde::DbfTable::open(data + "/Membre.DBF", sde::DbfTable::Mode::Shared);
        (void)!::write(ready[1], "!", 1);
        ::pause();
        ::_exit(0);
    }
    char opened = 0;
    ASSERT_EQ(::read(ready[0], &opened, 1), 1);
    const std::string membersBefore = fileText(data + "/Membre.DBF");
    const RestoreResult refused = restoreBackup(backupOf("2026-12-07"), data);
    ::kill(till, SIGKILL);
    ::waitpid(till, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);

    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.message.find("la caisse a les tables ouvertes (Membre.DBF)"), std::string::npos)
        << refused.message;
    EXPECT_EQ(entriesStartingWith(data, "avant-restauration-"), 0);
    EXPECT_EQ(fileText(data + "/Membre.DBF"), membersBefore);
    EXPECT_TRUE(restoreBackup(backupOf("2026-12-07"), data).ok);  // the till closed
}

TEST_F(BackupTest, ABackupUnlikeItsManifestIsListedUnverifiedAndNotRestored) {
    ASSERT_TRUE(makeDailyBackup(source(), day("2026-12-07")).ok);
    const std::string copy = backupOf("2026-12-07") + "/consomation.DBF";
    fs::permissions(copy, fs::perms::owner_write, fs::perm_options::add);
    std::ofstream(copy, std::ios::app) << "?";

    const std::vector<BackupSummary> listing = listBackups(backups);
    ASSERT_EQ(listing.size(), 1u);
    EXPECT_EQ(listing[0].problem, "consomation.DBF ne correspond plus au manifeste");
    const RestoreResult r = restoreBackup(backupOf("2026-12-07"), data);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("n'est pas intacte"), std::string::npos) << r.message;
    EXPECT_EQ(entriesStartingWith(data, "avant-restauration-"), 0);
}
