// A demo data folder ROOT/caisse with the program's start-up indexes, sales
// booked through the table layer as the till books them, and its backups
// folder ROOT/caisse-sauvegardes; the process works in the data folder.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "store/apollo_env.h"
#include "store/apollo_table.h"
#include "store/sde_binding.h"
#include "store/table_layouts.h"
#include "tools/backup_make.h"
#include "tools/data_folder_installer.h"

inline std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline ino_t inodeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// caisse-check's exit status on a folder.
inline int caisseCheck(const std::string& folder) {
    QProcess check;
    check.setStandardOutputFile(QProcess::nullDevice());
    check.start(QStringLiteral(CAISSE_CHECK_EXE), {QString::fromStdString(folder)});
    return check.waitForFinished() ? check.exitCode() : -1;
}

class BackupTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        ASSERT_TRUE(SdeLibrary::load(&why)) << why;
        ASSERT_TRUE(root_.isValid());
        data = root_.filePath(QStringLiteral("caisse")).toStdString();
        backups = backupsFolderOf(data);
        const InstallResult installed = installDataFolder(QString::fromStdString(data), true);
        ASSERT_TRUE(installed.ok) << installed.message.toStdString();
        previous_ = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(data));
        TApolloEnv::current() = TApolloEnv::Settings{};
        TApolloEnv::current().deleted = true;
        TApolloEnv::current().century = true;
        for (const char* index : {"vente.ntx", "ticket.ntx"}) {
            TApolloTable sales(QStringLiteral("ATVente"));
            sales.setTableName(QStringLiteral("Vente.dbf"));
            sales.Open();
            sales.CreateIndex(QString::fromLatin1(index), QStringLiteral("upper(ticket)"),
                              std::string(index) == "vente.ntx");
        }
    }
    void TearDown() override { QDir::setCurrent(previous_); }

    // Books `rows` sale rows, three to a ticket, into the table and both indexes.
    void sell(int rows) {
        TApolloTable sales(QStringLiteral("ATVente"));
        sales.setTableName(QStringLiteral("Vente.dbf"));
        sales.Open();
        sales.OpenIndex(QStringLiteral("vente.ntx"));
        sales.OpenIndex(QStringLiteral("ticket.ntx"));
        for (int i = 0; i < rows; ++i, ++sold_) {
            sales.Insert();
            sales.FieldByName(QStringLiteral("NOM"))->setAsString(QStringLiteral("Caissier1"));
            sales.FieldByName(QStringLiteral("LIBELLE"))->setAsString(QStringLiteral("Article %1").arg(sold_ % 30));
            sales.FieldByName(QStringLiteral("PRIX"))->setAsFloat(2.5);
            sales.FieldByName(QStringLiteral("TICKET"))->setAsString(QString::number(sold_ / 3 + 1));
            sales.Post();
        }
    }

    BackupSource source() const {
        BackupSource s{data, {}};
        for (const TableLayout& t : tableLayouts()) s.requiredTables.push_back(t.file);
        return s;
    }
    std::string backupOf(const char* day) const { return backups + "/" + day; }

    std::string data;
    std::string backups;
    int sold_ = 0;

private:
    QTemporaryDir root_;
    QString previous_;
};

inline Day day(const char* name) { return *dayFromName(name); }
