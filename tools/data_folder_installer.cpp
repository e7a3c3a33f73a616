#include "tools/data_folder_installer.h"

#include <QDate>
#include <QDir>
#include <iterator>

#include "store/apollo_errors.h"
#include "store/apollo_table.h"
#include "store/file_names.h"
#include "store/table_layouts.h"

namespace {

struct Article {
    const char* label;
    double price;
    double vat;
};

// A bar's full price list, in till button order: one article per button
// (ORDRE 01 to 60).
const Article kArticles[] = {
    {"Biere pression", 2.00, 21},   {"Biere pression 50cl", 3.50, 21}, {"Jupiler 33cl", 2.20, 21},
    {"Jupiler 0.0", 2.20, 21},      {"Leffe blonde", 3.00, 21},        {"Leffe brune", 3.00, 21},
    {"Duvel", 3.50, 21},            {"Chimay bleue", 3.80, 21},        {"Chimay triple", 3.80, 21},
    {"Kriek", 2.80, 21},            {"Hoegaarden", 2.60, 21},          {"Orval", 4.00, 21},
    {"Westmalle triple", 3.80, 21}, {"Westmalle double", 3.60, 21},    {"Karmeliet", 3.80, 21},
    {"La Chouffe", 3.80, 21},       {"Grimbergen blonde", 3.20, 21},   {"Rochefort 8", 4.00, 21},
    {"Maredsous blonde", 3.20, 21}, {"Rodenbach", 2.80, 21},           {"Cidre", 3.00, 21},
    {"Vin rouge verre", 3.00, 21},  {"Vin blanc verre", 3.00, 21},     {"Vin rose verre", 3.00, 21},
    {"Cava coupe", 4.50, 21},       {"Pecket", 2.50, 21},              {"Martini", 3.50, 21},
    {"Porto", 3.50, 21},            {"Coca-Cola", 2.00, 6},            {"Coca zero", 2.00, 6},
    {"Fanta", 2.00, 6},             {"Sprite", 2.00, 6},               {"Ice Tea", 2.20, 6},
    {"Ice Tea peche", 2.20, 6},     {"Aquarius", 2.50, 6},             {"Schweppes Agrumes", 2.20, 6},
    {"Schweppes Tonic", 2.20, 6},   {"Jus d'orange", 2.20, 6},         {"Jus de pomme", 2.20, 6},
    {"Eau plate", 1.60, 6},         {"Eau petillante", 1.60, 6},       {"Red Bull", 3.00, 6},
    {"Cafe", 1.80, 6},              {"Cafe au lait", 2.00, 6},         {"Cappuccino", 2.50, 6},
    {"The", 1.80, 6},               {"Chocolat chaud", 2.20, 6},       {"Soupe du jour", 2.50, 6},
    {"Chips sel", 1.20, 6},         {"Chips paprika", 1.20, 6},        {"Cacahuetes", 1.50, 6},
    {"Snickers", 1.50, 6},          {"Mars", 1.50, 6},                 {"Twix", 1.50, 6},
    {"Gaufre", 2.00, 6},            {"Croque-monsieur", 3.50, 6},      {"Hot-dog", 3.50, 6},
    {"Pain saucisse", 3.00, 6},     {"Sandwich jambon", 3.50, 6},      {"Sandwich fromage", 3.50, 6},
};
static_assert(std::size(kArticles) == 60, "one article per till button, ORDRE 01 to 60");

struct Member {
    const char* number;
    const char* name;
    const char* firstName;
    const char* card;
    const char* address;
    const char* postcode;
    const char* town;
};

const Member kMembers[] = {
    {"100201", "Dupont", "Jean", "RES-0001", "Rue de la Station 12", "5000", "Namur"},
    {"100202", "Martin", "Sophie", "RES-0002", "Avenue des Sports 3", "5100", "Jambes"},
    {"100203", "Lambert", "Luc", "RES-0003", "Chaussee de Louvain 210", "5020", "Champion"},
    {"100204", "Dubois", "Marie", "RES-0004", "Rue Haute 45", "5000", "Namur"},
    {"100205", "Leroy", "Pierre", "RES-0005", "Place du Marche 7", "5300", "Andenne"},
    {"100206", "Peeters", "An", "RES-0006", "Rue du Moulin 18", "5060", "Sambreville"},
    {"100207", "Janssens", "Tom", "RES-0007", "Rue des Ecoles 2", "5100", "Wepion"},
    {"100208", "Renard", "Claire", "RES-0008", "Rue du Stade 9", "5030", "Gembloux"},
    {"100209", "Simon", "Marc", "RES-0009", "Avenue Reine Astrid 60", "5000", "Namur"},
    {"100210", "Laurent", "Julie", "RES-0010", "Rue de Bruxelles 101", "5000", "Namur"},
    {"100211", "Michel", "Paul", "RES-0011", "Rue Saint-Nicolas 5", "5020", "Vedrin"},
    {"100212", "Lefevre", "Nathalie", "RES-0012", "Chemin des Pres 14", "5310", "Eghezee"},
};

QString pathIn(const QString& folder, const char* file) {
    return QDir(folder).filePath(QString::fromLatin1(file));
}

void fillDemo(const QString& folder) {
    TApolloTable articles(QStringLiteral("ATConsomation"));
    articles.setTableName(pathIn(folder, "consomation.DBF"));
    articles.Open();
    int order = 1;
    for (const Article& a : kArticles) {
        articles.Insert();
        articles.FieldByName("LIBELLE")->setAsString(QString::fromUtf8(a.label));
        articles.FieldByName("PRIX")->setAsFloat(a.price);
        articles.FieldByName("TVA")->setAsFloat(a.vat);
        articles.FieldByName("ORDRE")->setAsString(QStringLiteral("%1").arg(order++, 2, 10, QLatin1Char('0')));
        articles.Post();
    }
    articles.Close();

    TApolloTable members(QStringLiteral("ATMembre"));
    members.setTableName(pathIn(folder, "Membre.DBF"));
    members.Open();
    for (const Member& m : kMembers) {
        members.Insert();
        members.FieldByName("NUMAWBB")->setAsString(QString::fromUtf8(m.number));
        members.FieldByName("NOM")->setAsString(QString::fromUtf8(m.name));
        members.FieldByName("PRENOM")->setAsString(QString::fromUtf8(m.firstName));
        members.FieldByName("TYPE")->setAsString(QStringLiteral("Membre"));
        members.FieldByName("NUMRES")->setAsString(QString::fromUtf8(m.card));
        members.FieldByName("ADRESSE")->setAsString(QString::fromUtf8(m.address));
        members.FieldByName("CP")->setAsString(QString::fromUtf8(m.postcode));
        members.FieldByName("LOCALITE")->setAsString(QString::fromUtf8(m.town));
        members.FieldByName("CATEGORIE")->setAsString(QStringLiteral("Supporter"));
        for (int month = 1; month <= 8; ++month)
            members.FieldByName(QStringLiteral("MOIS%1").arg(month))->setAsBoolean(month <= 4);
        members.Post();
    }
    members.Close();
}

}  // namespace

QStringList dataTableNames() {
    QStringList names;
    for (const TableLayout& t : tableLayouts()) names << QString::fromLatin1(t.file);
    return names;
}

InstallResult installDataFolder(const QString& folder, bool demo) {
    InstallResult result;
    if (!QDir().mkpath(folder)) {
        result.message = QStringLiteral("Impossible de créer le dossier %1").arg(folder);
        return result;
    }
    QStringList existing;
    for (const TableLayout& t : tableLayouts())
        if (fileExistsAnyCase(pathIn(folder, t.file))) existing << QString::fromLatin1(t.file);
    if (!existing.isEmpty()) {
        result.message = QStringLiteral("Fichier existe déjà : %1. Aucune table n'a été écrite.")
                             .arg(existing.join(QStringLiteral(", ")));
        return result;
    }
    QStringList written;
    try {
        for (const TableLayout& t : tableLayouts()) {
            createTable(pathIn(folder, t.file), t.fields);
            written << QString::fromLatin1(t.file);
        }
        TApolloTable config(QStringLiteral("ATConfig"));
        config.setTableName(pathIn(folder, "config.dbf"));
        config.Open();
        config.Insert();
        config.FieldByName("NUMTICKET")->setAsString(QStringLiteral("1"));
        config.FieldByName("FONDCAISSE")->setAsFloat(demo ? 150.0 : 0.0);
        // Dated the day before, so the float warning and "Fond caisse" can be tried at once.
        if (demo) config.FieldByName("DATEFOND")->setAsDate(QDate::currentDate().addDays(-1));
        config.Post();
        config.Close();
        if (demo) fillDemo(folder);
    } catch (const AppError& e) {
        result.message = QStringLiteral("Erreur : %1").arg(e.message());
        if (!written.isEmpty())
            result.message += QStringLiteral(" (tables déjà écrites : %1)").arg(written.join(QStringLiteral(", ")));
        return result;
    }
    result.ok = true;
    result.message = QStringLiteral("Tables écrites dans %1 : %2%3")
                         .arg(folder, written.join(QStringLiteral(", ")),
                              demo ? QStringLiteral(" (avec les données de démonstration)") : QString());
    return result;
}
