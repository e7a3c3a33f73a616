// A damaged index of the sales table at start: the program rebuilds it from
// the table, says so once, and the till books into both indexes as usual.
// caisse-check --repair mends the same files.
#include <QProcess>
#include <QtEndian>
#include <functional>

#include "tests/support/till_fixture.h"

namespace {

using Patch = std::function<void(QByteArray&)>;

quint16 get16(const QByteArray& b, int at) { return qFromLittleEndian<quint16>(b.constData() + at); }
quint32 get32(const QByteArray& b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }
void put16(QByteArray& b, int at, quint16 v) { qToLittleEndian(v, b.data() + at); }
void put32(QByteArray& b, int at, quint32 v) { qToLittleEndian(v, b.data() + at); }
int root(const QByteArray& b) { return static_cast<int>(get32(b, 4)); }
// Where the child link of the root's first item is, and of its last (the
// page right of every key, where the till's new tickets go).
int firstLink(const QByteArray& b) { return root(b) + get16(b, root(b) + 2); }
int lastLink(const QByteArray& b) { return root(b) + get16(b, root(b) + 2 + 2 * get16(b, root(b))); }

struct Damage {
    const char* name;
    Patch patch;
};

// The damages the engine meets at open (header) and at the first read (pages).
const std::vector<Damage>& damages() {
    static const std::vector<Damage> all = {
        {"root page outside the file", [](QByteArray& b) { put32(b, 4, static_cast<quint32>(b.size()) + 8192); }},
        {"root page not on a page boundary", [](QByteArray& b) { put32(b, 4, 1000); }},
        {"more keys per page than fit", [](QByteArray& b) { put16(b, 18, 100); }},
        {"half page above half the maximum", [](QByteArray& b) { put16(b, 20, get16(b, 18)); }},
        {"unknown signature", [](QByteArray& b) { put16(b, 0, 8); }},
        {"size not a whole number of pages", [](QByteArray& b) { b.append(100, '\0'); }},
        {"last page cut short", [](QByteArray& b) { b.chop(24); }},
        {"child page outside the file", [](QByteArray& b) { put32(b, firstLink(b), 1u << 30); }},
        {"root linking to itself", [](QByteArray& b) { put32(b, lastLink(b), static_cast<quint32>(root(b))); }},
        {"more keys in the root than a page holds", [](QByteArray& b) { put16(b, root(b), 999); }},
    };
    return all;
}

class DamagedIndexAtStart : public TillTest,
                            public ::testing::WithParamInterface<std::tuple<const char*, size_t>> {
protected:
    const char* indexFile() const { return std::get<0>(GetParam()); }
    const Damage& damage() const { return damages()[std::get<1>(GetParam())]; }

    // 120 tickets: both indexes of the sales table have a root over leaves.
    void prepareDamagedFolder() {
        prepare(numberedArticles(3));
        start();
        program_.reset();
        TApolloTable sales("ATVente");
        sales.setTableName("Vente.dbf");
        sales.Open();
        sales.OpenIndex("vente.ntx");
        sales.OpenIndex("ticket.ntx");
        for (int t = 100; t < 220; ++t) {
            sales.Insert();
            sales.FieldByName("TICKET")->setAsString(QString::number(t));
            sales.Post();
        }
        sales.Close();
        QFile f(path(indexFile()));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        QByteArray bytes = f.readAll();
        f.close();
        ASSERT_NE(get32(bytes, firstLink(bytes)), 0u) << "the root has children";
        damage().patch(bytes);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    // The tickets of the sales table in the order of `file`.
    QStringList ticketsBy(const QString& file) {
        TApolloTable sales("check");
        sales.setTableName("Vente.dbf");
        sales.Open();
        sales.OpenIndex(file);
        QStringList tickets;
        for (sales.First(); !sales.Eof(); sales.Next()) tickets << sales.FieldByName("TICKET")->AsString();
        return tickets;
    }
    int caisseCheck(const QStringList& extra, QString* output) {
        QProcess check;
        check.start(CAISSE_CHECK_EXE, QStringList{dir_.path()} + extra);
        EXPECT_TRUE(check.waitForFinished(60000));
        *output = QString::fromUtf8(check.readAllStandardOutput());
        return check.exitCode();
    }
};

TEST_P(DamagedIndexAtStart, TheProgramRebuildsItSaysSoAndTheTillBooksIntoBothIndexes) {
    SCOPED_TRACE(damage().name);
    prepareDamagedFolder();
    TFCaisse* till = openTill();
    press(till, 1);
    QCoreApplication::processEvents();  // the message comes after the step that met the damage
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join("|").toStdString();
    EXPECT_EQ(dialogs_.messages,
              QStringList{QStringLiteral("L'index %1 était endommagé ; il a été reconstruit à partir de sa table.")
                              .arg(indexFile())})
        << dialogs_.messages.join("|").toStdString();
    EXPECT_EQ(till->DBGrid1->model()->rowCount(), 1);
    EXPECT_EQ(till->TotalTicket, 0.5);
    program_.reset();
    QStringList expected;
    for (int t = 100; t < 220; ++t) expected << QString::number(t);
    expected << "41";
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ticketsBy("vente.ntx"), expected);
    EXPECT_EQ(ticketsBy("ticket.ntx"), expected);
    QString report;
    EXPECT_EQ(caisseCheck({}, &report), 0) << report.toStdString();
}

TEST_P(DamagedIndexAtStart, CaisseCheckFindsItAndRepairMendsIt) {
    SCOPED_TRACE(damage().name);
    prepareDamagedFolder();
    QString report;
    EXPECT_EQ(caisseCheck({}, &report), 1);
    EXPECT_TRUE(report.contains(QStringLiteral("%1 : index endommagé").arg(indexFile()))) << report.toStdString();
    EXPECT_EQ(caisseCheck({"--repair"}, &report), 0) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("reconstruit depuis"))) << report.toStdString();
    EXPECT_EQ(caisseCheck({}, &report), 0) << report.toStdString();
    EXPECT_EQ(ticketsBy(indexFile()).size(), 120);
}

INSTANTIATE_TEST_SUITE_P(Damages, DamagedIndexAtStart,
                         ::testing::Combine(::testing::Values("vente.ntx", "ticket.ntx"),
                                            ::testing::Range<size_t>(0, 10)));

// When the index cannot be rebuilt (another program holds it), the till
// refuses to book rather than write sales its ticket view would miss.
TEST_F(TillTest, ASaleIsRefusedWhileAnIndexOfTheSalesTableIsNotOpen) {
    prepare(numberedArticles(3));
    TFCaisse* till = openTill();
    till->ATVente->CloseIndexes();
    till->ATVente->OpenIndex("ticket.ntx");
    dialogs_.errors.clear();
    press(till, 1);
    EXPECT_EQ(dialogs_.errors, QStringList{"Index file is not open.\rFile: vente.ntx"});
    EXPECT_TRUE(salesRows().isEmpty());
    EXPECT_EQ(till->TotalTicket, 0.0);
}

}  // namespace
