// FileVersion reads the version record out of a program file: the program
// itself, copies stripped or cut short, garbage, damaged records, and the
// look-up of a file named in another letter case or with ".exe".
#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <random>
#include <string>

#include "common/file_version.h"

namespace {

const QString kProgram = QStringLiteral(CAISSE_EXE);

std::string u8(const QString& text) { return text.toStdString(); }

QByteArray contents(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << u8(path);
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << u8(path);
    ASSERT_EQ(file.write(data), data.size());
}

void objcopy(const QStringList& arguments) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("objcopy"));
    ASSERT_FALSE(tool.isEmpty()) << "objcopy (binutils) is needed";
    QProcess process;
    process.start(tool, arguments);
    ASSERT_TRUE(process.waitForFinished(60000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
}

// The version in an ELF image held in memory.
std::string versionOf(const QByteArray& image) {
    QBuffer buffer;
    buffer.setData(image);
    buffer.open(QIODevice::ReadOnly);
    return u8(recordFileVersion(readVersionSection(buffer)));
}

QByteArray utf16(const char16_t* text) {
    return QByteArray(reinterpret_cast<const char*>(text), qsizetype(std::char_traits<char16_t>::length(text) * 2));
}

class FileVersionTest : public testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

TEST_F(FileVersionTest, ProgramFileCarriesItsVersionUntilStripped) {
    EXPECT_EQ(u8(FileVersion(kProgram)), "1.1.0.57");
    objcopy({kProgram, path("rewritten")});
    EXPECT_EQ(u8(FileVersion(path("rewritten"))), "1.1.0.57");
    objcopy({QStringLiteral("--remove-section=.fileversion"), kProgram, path("stripped")});
    EXPECT_EQ(u8(FileVersion(path("stripped"))), "");
}

TEST_F(FileVersionTest, DamagedOrMissingFilesGiveNoVersion) {
    const QByteArray program = contents(kProgram);
    for (qsizetype size : {qsizetype(0), qsizetype(3), qsizetype(16), qsizetype(63),
                           program.size() / 2, program.size() - 1}) {
        writeFile(path("cut"), program.left(size));
        EXPECT_EQ(u8(FileVersion(path("cut"))), "") << "cut at " << size;
    }
    std::mt19937 random(57);
    QByteArray garbage(4096, '\0');
    for (char& byte : garbage) byte = char(random());
    writeFile(path("garbage"), garbage);
    writeFile(path("elf-garbage"), QByteArray("\x7f" "ELF\x02\x01\x01") + garbage);
    EXPECT_EQ(u8(FileVersion(path("garbage"))), "");
    EXPECT_EQ(u8(FileVersion(path("elf-garbage"))), "");
    EXPECT_EQ(u8(FileVersion(path("missing"))), "");
    EXPECT_EQ(u8(FileVersion(dir.path())), "");  // a folder
    EXPECT_EQ(u8(FileVersion(QString())), "");
}

// A tiny ELF file holding only the record section: every prefix and many
// random byte changes are parsed without reading outside the bytes.
TEST_F(FileVersionTest, SmallImageSurvivesTruncationAndByteChanges) {
    objcopy({QStringLiteral("--only-section=.fileversion"), kProgram, path("small")});
    const QByteArray small = contents(path("small"));
    ASSERT_EQ(versionOf(small), "1.1.0.57");
    for (qsizetype size = 0; size < small.size(); ++size)
        ASSERT_EQ(versionOf(small.left(size)), "") << "cut at " << size;
    std::mt19937 random(1157);
    for (int round = 0; round < 4000; ++round) {
        QByteArray damaged = small;
        for (int changes = 1 + round % 4; changes > 0; --changes)
            damaged[qsizetype(random() % quint32(damaged.size()))] = char(random());
        EXPECT_LE(versionOf(damaged).size(), 0xFFFFu);
    }
}

TEST(VersionRecordTest, StringsAreLookedUpUnderTheFirstTranslation) {
    QFile program(kProgram);
    ASSERT_TRUE(program.open(QIODevice::ReadOnly));
    const QByteArray record = readVersionSection(program);
    ASSERT_EQ(u8(recordFileVersion(record)), "1.1.0.57");
    // The translation pair is the record's last value.
    ASSERT_EQ(record.right(4), QByteArray("\x0c\x08\xe4\x04", 4));
    const QByteArray usEnglish = record.left(record.size() - 4) + QByteArray("\x09\x04\xb0\x04", 4);
    EXPECT_EQ(u8(recordFileVersion(usEnglish)), "");
    QByteArray renamed = usEnglish;
    renamed.replace(utf16(u"080C04E4"), utf16(u"040904B0"));
    EXPECT_EQ(u8(recordFileVersion(renamed)), "1.1.0.57");
    QByteArray lowerCase = record;
    lowerCase.replace(utf16(u"080C04E4"), utf16(u"080c04e4"));
    EXPECT_EQ(u8(recordFileVersion(lowerCase)), "1.1.0.57");
    QByteArray otherRoot = record;
    otherRoot.replace(utf16(u"VS_VERSION_INFO"), utf16(u"VS_VERSION_XXX"));
    EXPECT_EQ(u8(recordFileVersion(otherRoot)), "");
    for (qsizetype size = 0; size < record.size(); ++size)
        ASSERT_EQ(u8(recordFileVersion(record.left(size))), "") << "cut at " << size;
}

// Restores the working folder a test changes.
struct WorkingFolder {
    explicit WorkingFolder(const QString& folder) { QDir::setCurrent(folder); }
    ~WorkingFolder() { QDir::setCurrent(saved); }
    QString saved = QDir::currentPath();
};

TEST_F(FileVersionTest, NamesMatchInAnyCaseAndWithoutExe) {
    ASSERT_TRUE(QFile::copy(kProgram, path("TiLlCoPy")));
    EXPECT_EQ(u8(FileVersion(path("tillcopy.exe"))), "1.1.0.57");
    EXPECT_EQ(u8(FileVersion(path("TILLCOPY"))), "1.1.0.57");
    EXPECT_EQ(u8(FileVersion(path("tillcopy.bin"))), "");  // only ".exe" is dropped

    // A bare name: the program's own folder first, then the working folder.
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    objcopy({QStringLiteral("--remove-section=.fileversion"), kProgram, path(self)});
    const WorkingFolder working(dir.path());
    EXPECT_EQ(u8(FileVersion(self.toUpper() + QStringLiteral(".exe"))), "1.1.0.57");
    EXPECT_EQ(u8(FileVersion(QStringLiteral("tillcopy.EXE"))), "1.1.0.57");
    EXPECT_EQ(u8(FileVersion(QStringLiteral("nothing-here.exe"))), "");
}

TEST(ProgramTitleTest, FileNameCutAtFirstDotWithTheFirstCharacterKeptAndTheRestLowered) {
    EXPECT_EQ(u8(programTitle(QStringLiteral("/opt/till/caisse"))), "caisse");
    EXPECT_EQ(u8(programTitle(QStringLiteral("/opt/till/CAISSE.EXE"))), "Caisse");
    EXPECT_EQ(u8(programTitle(QStringLiteral("/opt/v1.2/app_Tests.bin.exe"))), "app_tests");
    EXPECT_EQ(u8(programTitle(QStringLiteral("/opt/till/Caisse"))), "Caisse");
    EXPECT_EQ(u8(programTitle(QStringLiteral("/opt/till/.hidden"))), "");
}

}  // namespace
