// The table layer's file lookup: the engine's rule, on paths whose folders
// may carry any letters (the club's folder is "Comptes d'été").
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "store/file_names.h"

TEST(FileNames, FindsTheFileInAnyCaseWhateverTheFolderIsCalled) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("Comptes d'\u00e9t\u00e9"));
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile file(folder + QStringLiteral("/Membre.DBF"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    struct Case {
        QString asked;
        QString found;  // empty when there is none
    };
    const QString member = folder + QStringLiteral("/Membre.DBF");
    for (const Case& c : {Case{folder + QStringLiteral("/membre.dbf"), member},
                          Case{member, member},
                          Case{folder + QStringLiteral("/membre.ntx"), QString()},
                          Case{dir.filePath(QStringLiteral("Comptes d'\u00c9t\u00c9/Membre.DBF")), QString()}}) {
        EXPECT_EQ(findFileAnyCase(c.asked), c.found) << c.asked.toStdString();
        EXPECT_EQ(fileExistsAnyCase(c.asked), !c.found.isEmpty()) << c.asked.toStdString();
    }
}
