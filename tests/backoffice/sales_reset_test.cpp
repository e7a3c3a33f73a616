// The sales reset: the sales table archived under the date of its first
// sale and emptied, and every way it can fail leaving the sales where they
// were, no archive behind, and a reset that can be tried again.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenuBar>
#include <QProcess>
#include <QTest>

#include "backoffice/fond.h"
#include "backoffice/sales_reset.h"
#include "backoffice/ticket_search.h"
#include "reports/vent_art.h"
#include "common/format_settings.h"
#include "store/archive_copy.h"
#include "store/file_names.h"
#include "tests/support/till_fixture.h"

namespace {

QByteArray bytesOf(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The row count of a table's header, deleted rows included.
quint32 storedRows(const QString& file) {
    const QByteArray b = bytesOf(file);
    if (b.size() < 8) return 0xFFFFFFFF;
    return quint32(quint8(b[4])) | quint32(quint8(b[5])) << 8 | quint32(quint8(b[6])) << 16 |
           quint32(quint8(b[7])) << 24;
}

}  // namespace

TEST(ArchiveName, CutByPositionOutOfTheShortDateText) {
    const struct {
        const char* date;
        const char* name;
    } cases[] = {
        {"05/03/2005", "vente05032005.dbf"},
        {"5/03/2005", "vente5032005.dbf"},
        {"31/12/2024", "vente31122024.dbf"},
        {"2005-03-05", "vente205-3-05.dbf"},  // another shape gives another name
        {"", "vente.dbf"},
    };
    for (const auto& c : cases) EXPECT_EQ(archiveFileName(c.date), c.name) << c.date;
}

TEST(ResetAllowed, OnlyForRowsWithARealFirstDate) {
    EXPECT_TRUE(resetAllowed("05/03/2005", false));
    EXPECT_FALSE(resetAllowed("31/12/1899", false));
    EXPECT_FALSE(resetAllowed("05/03/2005", true));
    EXPECT_FALSE(resetAllowed("", true));
}

// A full disk at every byte of the copy: no archive name taken, no
// temporary file left, the original untouched.
TEST(ArchiveCopy, AFullDiskAtAnyByteLeavesNothingBehind) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QByteArray content;
    for (int i = 0; i < 700; ++i) content.append(char(i * 7));
    const QString source = dir.filePath("Vente.dbf");
    QFile f(source);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
    f.close();
    const QString target = dir.filePath("vente05032005.dbf");
    for (long long limit = 0; limit < content.size(); ++limit) {
        setArchiveWriteLimit(limit);
        QString why;
        EXPECT_FALSE(archiveCopy(source, target, &why)) << limit;
        EXPECT_TRUE(why.contains("write")) << why.toStdString();
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Vente.dbf"}) << limit;
    }
    setArchiveWriteLimit(content.size());
    EXPECT_TRUE(archiveCopy(source, target));
    setArchiveWriteLimit(-1);
    EXPECT_EQ(bytesOf(target), content);
    // A name that exists is never overwritten.
    EXPECT_FALSE(archiveCopy(dir.filePath("Vente.dbf"), target));
    EXPECT_EQ(bytesOf(target), content);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

class ResetTest : public TillTest {
protected:
    void SetUp() override {
        TillTest::SetUp();
        prepare(numberedArticles(3));
    }
    void TearDown() override {
        setArchiveWriteLimit(-1);
        TillTest::TearDown();
    }
    // Sale rows of ticket "7", the first dated 5 March 2005.
    void addSales(int count = 5) {
        TApolloTable v("fill");
        v.setTableName("Vente.dbf");
        v.Open();
        for (int i = 0; i < count; ++i) {
            v.Insert();
            v.FieldByName("TICKET")->setAsString("7");
            v.FieldByName("LIBELLE")->setAsString(QStringLiteral("Article %1").arg(i + 1));
            v.FieldByName("PRIX")->setAsFloat(1.5 + i);
            v.FieldByName("TVA")->setAsFloat(21);
            v.FieldByName("DATE")->setAsDate(QDate(2005, 3, 5).addDays(i));
            v.Post();
        }
        v.Close();
    }
    TFFond* openFond() {
        start();
        program().showWindow(program().FMenu);
        program().switchTo(program().FMenu, program().FFond);
        QApplication::setActiveWindow(program().FFond);
        return program().FFond;
    }
    void reset(TFFond* f) {
        dialogs_.messages.clear();
        dialogs_.errors.clear();
        ASSERT_TRUE(f->SpeedButton2->isEnabled());
        QTest::mouseClick(f->SpeedButton2, Qt::LeftButton);
    }
    QStringList dataFiles() {
        return QDir(dir_.path()).entryList({"vente*.dbf", ".archive*"}, QDir::Files | QDir::Hidden | QDir::CaseSensitive);
    }
    // The till sells article 1 and reports the ticket of the new row.
    QString sellAtTill() {
        program().switchTo(program().FFond, program().FCaisse);
        QApplication::setActiveWindow(program().FCaisse);
        press(program().FCaisse, 1);
        const QStringList rows = salesRows();
        return rows.isEmpty() ? QString() : rows.last().section('|', 0, 0);
    }
    // The rows the till's handle shows through its ticket order.
    int tillViewRows() {
        TApolloTable* v = program().FCaisse->ATVente;
        int n = 0;
        for (v->First(); !v->Eof(); v->Next()) ++n;
        return n;
    }
};

class ResetByDateFormat : public ResetTest,
                          public ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(ResetByDateFormat, ArchivesTheWholeFileEmptiesItAndTheTicketsCarryOn) {
    FormatSettings s;
    s.shortDateFormat = GetParam().first;
    setFormatSettings(s);
    addSales();
    const QByteArray before = bytesOf(path("Vente.dbf"));
    TFFond* f = openFond();
    EXPECT_EQ(f->DBText2->text(), QDate(2005, 3, 5).toString(GetParam().first));
    reset(f);
    const QString name = GetParam().second;
    EXPECT_EQ(dialogs_.messages, QStringList{"Fichier copier sous le nom de " + name});
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join('|').toStdString();
    EXPECT_EQ(bytesOf(path(name)), before);
    EXPECT_EQ(dataFiles(), QStringList{name});
    EXPECT_EQ(storedRows(path("Vente.dbf")), 0u);
    EXPECT_FALSE(f->SpeedButton2->isEnabled());
    EXPECT_FALSE(f->ATVente->Active());
    EXPECT_EQ(f->DBText2->text(), "");
    TApolloTable* till = program().FCaisse->ATVente;
    EXPECT_TRUE(till->Active());
    EXPECT_EQ(till->IndexFiles(), QStringList({"vente.ntx", "ticket.ntx"}));
    EXPECT_EQ(tillViewRows(), 0);
    // The next ticket keeps the number the settings row held.
    EXPECT_EQ(sellAtTill(), "41");
    EXPECT_EQ(salesRows().size(), 1);
    EXPECT_EQ(tillViewRows(), 1);  // the rebuilt index holds the new row only
    // Shown again: no sales date, nothing to reset.
    program().switchTo(program().FCaisse, f);
    EXPECT_TRUE(f->SpeedButton2->isEnabled());  // the new sale is a period's first
}

INSTANTIATE_TEST_SUITE_P(ShortDates, ResetByDateFormat,
                         ::testing::Values(std::pair{"dd/MM/yyyy", "vente05032005.dbf"},
                                           std::pair{"d/MM/yyyy", "vente5032005.dbf"}),
                         [](const auto& info) {
                             return std::string(info.param.first[1] == 'd' ? "TwoDigitDay" : "OneDigitDay");
                         });

TEST_F(ResetTest, AnArchiveOfThatNameStopsTheResetAndChangesNothing) {
    addSales();
    QFile old(path("vente5032005.dbf"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("earlier period");
    old.close();
    const QByteArray before = bytesOf(path("Vente.dbf"));
    TFFond* f = openFond();
    reset(f);
    EXPECT_EQ(dialogs_.messages, QStringList{"Fichier existe déjà"});
    EXPECT_EQ(bytesOf(path("Vente.dbf")), before);
    EXPECT_EQ(bytesOf(path("vente5032005.dbf")), "earlier period");
    EXPECT_TRUE(f->SpeedButton2->isEnabled());
}

TEST_F(ResetTest, AnEmptySalesTableCannotBeReset) {
    TFFond* f = openFond();
    EXPECT_FALSE(f->SpeedButton2->isEnabled());
    EXPECT_EQ(f->DBText2->text(), "");
}

TEST_F(ResetTest, AnotherProgramHoldingTheFileStopsItCleanlyAndALaterTrySucceeds) {
    addSales();
    const QByteArray before = bytesOf(path("Vente.dbf"));
    QProcess holder;
    holder.setWorkingDirectory(dir_.path());
    holder.start(TABLE_HOLDER_EXE, {"Vente.dbf"});
    ASSERT_TRUE(holder.waitForReadyRead(30000));
    ASSERT_EQ(holder.readLine().trimmed(), "held");

    TFFond* f = openFond();
    TApolloTable* till = program().FCaisse->ATVente;
    const QString filter = till->Filter();
    reset(f);
    ASSERT_EQ(dialogs_.errors.size(), 1);
    EXPECT_TRUE(dialogs_.errors[0].startsWith("Unable to open table.")) << dialogs_.errors[0].toStdString();
    EXPECT_TRUE(dialogs_.messages.isEmpty());
    EXPECT_TRUE(dataFiles().isEmpty()) << dataFiles().join(',').toStdString();
    EXPECT_EQ(bytesOf(path("Vente.dbf")), before);
    // Every handle is back as it was.
    EXPECT_TRUE(f->ATVente->Active());
    EXPECT_FALSE(till->Exclusive());
    EXPECT_EQ(till->IndexFiles(), QStringList({"vente.ntx", "ticket.ntx"}));
    EXPECT_EQ(till->Filter(), filter);
    EXPECT_EQ(sellAtTill(), "41");
    EXPECT_EQ(salesRows().size(), 6);

    holder.closeWriteChannel();
    ASSERT_TRUE(holder.waitForFinished(30000));
    program().switchTo(program().FCaisse, f);
    reset(f);
    EXPECT_EQ(dialogs_.messages, QStringList{"Fichier copier sous le nom de vente5032005.dbf"});
    EXPECT_EQ(storedRows(path("Vente.dbf")), 0u);
    EXPECT_EQ(storedRows(path("vente5032005.dbf")), 6u);
}

TEST_F(ResetTest, ACopyThatFailsLeavesTheSalesAndNoArchive) {
    addSales();
    const QByteArray before = bytesOf(path("Vente.dbf"));
    TFFond* f = openFond();
    for (long long limit : {0LL, before.size() / 2LL, before.size() - 1LL}) {
        setArchiveWriteLimit(limit);
        reset(f);
        EXPECT_EQ(dialogs_.messages,
                  QStringList{"Fichier ne s'est pas copier !!!!!! sous le nom de vente5032005.dbf"});
        EXPECT_EQ(bytesOf(path("Vente.dbf")), before);
        EXPECT_TRUE(dataFiles().isEmpty()) << dataFiles().join(',').toStdString();
        EXPECT_TRUE(f->ATVente->Active());
        EXPECT_TRUE(program().FCaisse->ATVente->Active());
    }
    setArchiveWriteLimit(-1);
    reset(f);
    EXPECT_EQ(dialogs_.messages, QStringList{"Fichier copier sous le nom de vente5032005.dbf"});
}

// The sales-by-article window keeps its handle on the sales file open once
// used, and the ticket search holds one while it is shown: they are closed
// for the reset and come back as they were.
TEST_F(ResetTest, OtherWindowsHandlesOnTheSalesFileDoNotStopIt) {
    addSales();
    TFFond* f = openFond();
    program().switchTo(f, program().FVentart);
    program().switchTo(program().FVentart, f);
    program().showWindow(program().FTicket);
    TApolloTable* byArticle = program().FVentart->ATVente;
    TApolloTable* search = program().FTicket->ATTicket;
    ASSERT_TRUE(byArticle->Active());
    ASSERT_TRUE(search->Active());
    const QStringList searchIndexes = search->IndexFiles();
    reset(f);
    EXPECT_EQ(dialogs_.messages, QStringList{"Fichier copier sous le nom de vente5032005.dbf"});
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join('|').toStdString();
    EXPECT_EQ(storedRows(path("Vente.dbf")), 0u);
    ASSERT_TRUE(byArticle->Active());
    EXPECT_EQ(byArticle->IndexFiles(), QStringList{"ventart.ntx"});
    ASSERT_TRUE(search->Active());
    EXPECT_EQ(search->IndexFiles(), searchIndexes);
    EXPECT_TRUE(search->Eof());
}
