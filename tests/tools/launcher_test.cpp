// caisse-launch as the desktop menu starts it, in a home folder of its own,
// with the real caisse-init and caisse-backup beside it and a stand-in for
// the program that notes each start: at most one backup a day, and the
// till starts even when the backup fails, saying why.
#include <QFile>

#include "backup_fixture.h"
#include "tools/backup_manifest.h"

namespace fs = std::filesystem;

namespace {

class LauncherTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root_.isValid());
        const fs::path bin = root_.path().toStdString() + "/bin";
        fs::create_directories(bin);
        fs::copy_file(CAISSE_LAUNCH_SCRIPT, bin / "caisse-launch");
        fs::create_symlink(CAISSE_INIT_EXE, bin / "caisse-init");
        fs::create_symlink(CAISSE_BACKUP_EXE, bin / "caisse-backup");
        std::ofstream(bin / "caisse") << "#!/bin/sh\necho \"$PWD\" >> \"$CAISSE_TEST_STARTS\"\n";
        fs::permissions(bin / "caisse", fs::perms::owner_all);
        launcher_ = QString::fromStdString((bin / "caisse-launch").string());
        home = root_.path().toStdString() + "/home";
        fs::create_directory(home);
    }

    // Standard error of one start; the start must succeed.
    QString launch() {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("XDG_DATA_HOME"));
        env.insert(QStringLiteral("HOME"), QString::fromStdString(home));
        env.insert(QStringLiteral("CAISSE_TEST_STARTS"), root_.filePath(QStringLiteral("starts")));
        p.setProcessEnvironment(env);
        p.start(launcher_, {});
        EXPECT_TRUE(p.waitForFinished(120000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        return QString::fromUtf8(p.readAllStandardError());
    }
    int starts() {
        QFile f(root_.filePath(QStringLiteral("starts")));
        return f.open(QIODevice::ReadOnly) ? static_cast<int>(f.readAll().count('\n')) : 0;
    }

    std::string home;

private:
    QTemporaryDir root_;
    QString launcher_;
};

}  // namespace

TEST_F(LauncherTest, OneBackupADayAndTheTillStartsEvenWhenTheBackupFails) {
    const std::string backups = home + "/.local/share/caisse-sauvegardes";
    launch();
    EXPECT_EQ(starts(), 1);
    ASSERT_EQ(datedBackups(backups), std::vector<Day>{localToday()});
    const std::string manifest = backups + "/" + dayName(localToday()) + "/" + kManifestName;
    const ino_t made = inodeOf(manifest);

    launch();
    EXPECT_EQ(starts(), 2);
    EXPECT_EQ(datedBackups(backups).size(), 1u);
    EXPECT_EQ(inodeOf(manifest), made);

    fs::remove_all(backups);
    std::ofstream(backups) << "not a folder";
    const QString said = launch();
    EXPECT_EQ(starts(), 3);
    EXPECT_TRUE(said.contains(QStringLiteral("Sauvegarde impossible : impossible de créer le dossier ") +
                              QString::fromStdString(backups)))
        << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("la caisse démarre quand même")));
}
