// The data-folder installer, its tables read back by two independent dBase
// readers (Debian's python3-dbfread and python3-dbf), and caisse-init.
#include <QCryptographicHash>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QSet>

#include "store/apollo_table.h"
#include "tests/support/store_fixture.h"

namespace {

// Every table of the folder: fields as dbfread and as dbf see them
// ([name, type, width, decimals]) and the rows as dbfread reads them.
const char kDumpTables[] = R"PY(
import json, os, sys
import dbf, dbfread
folder = sys.argv[1]
out = {}
for name in sorted(os.listdir(folder)):
    path = os.path.join(folder, name)
    reader = dbfread.DBF(path, encoding='cp1252', char_decode_errors='strict')
    other = dbf.Table(path)
    other.open(dbf.READ_ONLY)
    rows = [{k: (v.isoformat() if hasattr(v, 'isoformat') else v) for k, v in r.items()}
            for r in reader]
    out[name] = {
        'fields': [[f.name, f.type, f.length, f.decimal_count] for f in reader.fields],
        'other': [[n.upper(), chr(other.field_info(n)[0]), other.field_info(n)[1],
                   other.field_info(n)[2]] for n in other.field_names],
        'rows': rows,
        'count': len(other),
    }
    other.close()
print(json.dumps(out))
)PY";

QString python() {
    const QByteArray env = qgetenv("SDE_TEST_PYTHON");
    return env.isEmpty() ? QStringLiteral(SDE_TEST_PYTHON_DEFAULT) : QString::fromLocal8Bit(env);
}

bool readersAvailable() {
    if (!QFileInfo(python()).isExecutable()) return false;
    QProcess p;
    p.start(python(), {QStringLiteral("-c"), QStringLiteral("import dbf, dbfread")});
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QJsonObject dumpTables(const QString& folder) {
    QProcess p;
    p.start(python(), {QStringLiteral("-c"), QString::fromLatin1(kDumpTables), folder});
    EXPECT_TRUE(p.waitForFinished(60000));
    const QByteArray err = p.readAllStandardError();
    EXPECT_EQ(p.exitCode(), 0) << err.toStdString();
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

QMap<QString, QByteArray> fileHashes(const QString& folder) {
    QMap<QString, QByteArray> hashes;
    for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files)) {
        QFile file(f.filePath());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        hashes[f.fileName()] = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
    }
    return hashes;
}

QString fieldList(const QJsonArray& fields) {
    QStringList items;
    for (const auto& f : fields) {
        const QJsonArray a = f.toArray();
        items << QStringLiteral("%1 %2%3.%4").arg(a[0].toString(), a[1].toString()).arg(a[2].toInt()).arg(a[3].toInt());
    }
    return items.join(QStringLiteral(", "));
}

class InstallerTest : public StoreTest {};

TEST_F(InstallerTest, SixTablesReadByOtherDbaseReaders) {
    if (!readersAvailable()) GTEST_SKIP() << "python3-dbf / python3-dbfread not installed";
    install();
    const QJsonObject tables = dumpTables(dir_.path());
    const QMap<QString, QString> expected = {
        {"Vente.dbf", "NOM C30.0, LIBELLE C30.0, PRIX N10.2, TVA N5.2, TICKET C6.0, DATE D8.0, TIME C5.0"},
        {"config.dbf", "NUMTICKET C6.0, DATEFOND D8.0, FONDCAISSE N10.2"},
        {"consomation.DBF", "LIBELLE C30.0, PRIX N10.2, TVA N5.2, ORDRE C2.0"},
        {"Ptsres.DBF", "NOM C40.0, NUMRES C16.0, DATEACHAT D8.0, MONTANT N10.2, ADRESSE C40.0, LOCALITE C25.0"},
        {"Membre.DBF",
         "NUMAWBB C6.0, NOM C40.0, TYPE C10.0, NAISSANCE D8.0, LIEUX C40.0, PRENOM C40.0, ADRESSE C40.0, "
         "CP C4.0, LOCALITE C25.0, EMAIL C80.0, GSM C13.0, TEL C12.0, NUMRES C16.0, CATEGORIE C15.0, "
         "MOIS1 L1.0, MOIS2 L1.0, MOIS3 L1.0, MOIS4 L1.0, MOIS5 L1.0, MOIS6 L1.0, MOIS7 L1.0, MOIS8 L1.0"},
        {"QteVente.DBF", "LIBELLE C30.0, QTE N8.0, DATE D8.0"},
    };
    const QStringList found = tables.keys(), wanted = expected.keys();
    EXPECT_EQ(QSet<QString>(found.begin(), found.end()), QSet<QString>(wanted.begin(), wanted.end()));
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        const QJsonObject t = tables[it.key()].toObject();
        EXPECT_EQ(fieldList(t["fields"].toArray()), it.value()) << it.key().toStdString();
        EXPECT_EQ(fieldList(t["other"].toArray()), it.value()) << it.key().toStdString();
        const int rows = it.key() == QStringLiteral("config.dbf") ? 1 : 0;
        EXPECT_EQ(t["rows"].toArray().size(), rows) << it.key().toStdString();
        EXPECT_EQ(t["count"].toInt(), rows) << it.key().toStdString();
    }
    const QJsonObject config = tables["config.dbf"].toObject()["rows"].toArray()[0].toObject();
    EXPECT_EQ(config["NUMTICKET"].toString(), QStringLiteral("1"));
    EXPECT_TRUE(config["DATEFOND"].isNull());
    EXPECT_TRUE(config["FONDCAISSE"].isDouble());
    EXPECT_EQ(config["FONDCAISSE"].toDouble(-1), 0.0);
}

TEST_F(InstallerTest, DemoPriceListAndMembers) {
    if (!readersAvailable()) GTEST_SKIP() << "python3-dbf / python3-dbfread not installed";
    install(true);
    const QJsonObject tables = dumpTables(dir_.path());

    const QJsonArray articles = tables["consomation.DBF"].toObject()["rows"].toArray();
    ASSERT_EQ(articles.size(), 60) << "one article per till button";
    QSet<double> rates;
    QSet<QString> labels;
    for (int i = 0; i < articles.size(); ++i) {
        const QJsonObject a = articles[i].toObject();
        EXPECT_EQ(a["ORDRE"].toString(), QStringLiteral("%1").arg(i + 1, 2, 10, QLatin1Char('0')));
        EXPECT_FALSE(a["LIBELLE"].toString().isEmpty());
        EXPECT_GT(a["PRIX"].toDouble(), 0.0);
        rates.insert(a["TVA"].toDouble());
        labels.insert(a["LIBELLE"].toString());
    }
    EXPECT_EQ(rates, QSet<double>({6.0, 21.0}));
    EXPECT_EQ(labels.size(), articles.size()) << "no till button repeats an article";

    // The float is dated the day before: the float warning shows at once.
    const QJsonObject config = tables["config.dbf"].toObject()["rows"].toArray()[0].toObject();
    EXPECT_EQ(config["DATEFOND"].toString(), QDate::currentDate().addDays(-1).toString(Qt::ISODate));
    EXPECT_GT(config["FONDCAISSE"].toDouble(), 0.0);

    const QJsonArray members = tables["Membre.DBF"].toObject()["rows"].toArray();
    ASSERT_EQ(members.size(), 12);
    QSet<QString> cards;
    for (const auto& m : members) {
        const QJsonObject o = m.toObject();
        cards.insert(o["NUMRES"].toString());
        EXPECT_FALSE(o["NOM"].toString().isEmpty());
        EXPECT_FALSE(o["ADRESSE"].toString().isEmpty());
        EXPECT_FALSE(o["LOCALITE"].toString().isEmpty());
        EXPECT_TRUE(o["MOIS1"].isBool());
    }
    EXPECT_EQ(cards.size(), 12) << "every member has a card number of his own";
    EXPECT_FALSE(cards.contains(QString()));
    EXPECT_EQ(tables["Vente.dbf"].toObject()["count"].toInt(), 0);
}

TEST_F(InstallerTest, NeverWritesOverExistingTables) {
    install(true);
    const auto before = fileHashes(dir_.path());
    const InstallResult again = installDataFolder(dir_.path(), false);
    EXPECT_FALSE(again.ok);
    for (const QString& name : dataTableNames())
        EXPECT_TRUE(again.message.contains(name)) << again.message.toStdString();
    EXPECT_EQ(fileHashes(dir_.path()), before);

    // One table present, in another letter case: nothing is written.
    const QString partial = path(QStringLiteral("partial"));
    ASSERT_TRUE(QDir().mkpath(partial));
    ASSERT_TRUE(QFile::copy(path("Vente.dbf"), partial + QStringLiteral("/VENTE.DBF")));
    const InstallResult one = installDataFolder(partial, false);
    EXPECT_FALSE(one.ok);
    EXPECT_TRUE(one.message.contains(QStringLiteral("Vente.dbf"))) << one.message.toStdString();
    EXPECT_FALSE(one.message.contains(QStringLiteral("config.dbf"))) << one.message.toStdString();
    EXPECT_EQ(QDir(partial).entryList(QDir::Files), QStringList({"VENTE.DBF"}));
}

TEST_F(InstallerTest, CaisseInitCommand) {
    const QString exe = QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).dir().filePath(
        QStringLiteral("caisse-init"));
    ASSERT_TRUE(QFileInfo(exe).isExecutable()) << exe.toStdString();
    auto run = [&](const QStringList& args) {
        QProcess p;
        p.start(exe, args);
        EXPECT_TRUE(p.waitForFinished(60000));
        return p.exitCode();
    };
    const QString folder = path(QStringLiteral("club"));
    EXPECT_EQ(run({folder, QStringLiteral("--demo")}), 0);
    for (const QString& name : dataTableNames()) EXPECT_TRUE(QFile::exists(folder + QLatin1Char('/') + name)) << name.toStdString();
    EXPECT_EQ(run({folder}), 1) << "a second run refuses";
    EXPECT_EQ(run({}), 2);

    TApolloTable articles(QStringLiteral("ATConsomation"));
    articles.setTableName(folder + QStringLiteral("/consomation.DBF"));
    articles.Open();
    EXPECT_EQ(articles.RecordCount(), 60);

    // The tables hold members' names and card numbers: nothing for others.
    for (const QString& name : dataTableNames()) {
        const QFileDevice::Permissions others = QFile::permissions(folder + QLatin1Char('/') + name) &
            (QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther);
        EXPECT_EQ(others, QFileDevice::Permissions()) << name.toStdString();
    }
}

}  // namespace
