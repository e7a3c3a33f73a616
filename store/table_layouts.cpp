#include "store/table_layouts.h"

#include <QFileInfo>
#include <stdexcept>

#include "store/apollo_errors.h"
#include "store/apollo_table.h"
#include "store/sde_api.h"

const std::vector<TableLayout>& tableLayouts() {
    static const std::vector<TableLayout> layouts = {
        {"Vente.dbf",
         "NOM,C,30,0;LIBELLE,C,30,0;PRIX,N,10,2;TVA,N,5,2;TICKET,C,6,0;DATE,D,8,0;TIME,C,5,0"},
        {"config.dbf", "NUMTICKET,C,6,0;DATEFOND,D,8,0;FONDCAISSE,N,10,2"},
        {"consomation.DBF", "LIBELLE,C,30,0;PRIX,N,10,2;TVA,N,5,2;ORDRE,C,2,0"},
        {"Ptsres.DBF",
         "NOM,C,40,0;NUMRES,C,16,0;DATEACHAT,D,8,0;MONTANT,N,10,2;ADRESSE,C,40,0;LOCALITE,C,25,0"},
        {"Membre.DBF",
         "NUMAWBB,C,6,0;NOM,C,40,0;TYPE,C,10,0;NAISSANCE,D,8,0;LIEUX,C,40,0;PRENOM,C,40,0;"
         "ADRESSE,C,40,0;CP,C,4,0;LOCALITE,C,25,0;EMAIL,C,80,0;GSM,C,13,0;TEL,C,12,0;"
         "NUMRES,C,16,0;CATEGORIE,C,15,0;MOIS1,L,1,0;MOIS2,L,1,0;MOIS3,L,1,0;MOIS4,L,1,0;"
         "MOIS5,L,1,0;MOIS6,L,1,0;MOIS7,L,1,0;MOIS8,L,1,0"},
        {"QteVente.DBF", "LIBELLE,C,30,0;QTE,N,8,0;DATE,D,8,0"},
    };
    return layouts;
}

void createTable(const QString& path, const char* fields) {
    const QByteArray local = path.toLocal8Bit();
    if (!sde().sx_CreateTable(local.constData(), fields))
        throw EApolloError(QString::fromLocal8Bit(sde().sx_ErrorText()));
}

void declareFields(TApolloTable* table, std::initializer_list<const char*> names) {
    // "Ptsres" and "config.DBF" name the same files as the layouts.
    const QString base = QFileInfo(table->TableName()).completeBaseName();
    for (const TableLayout& layout : tableLayouts()) {
        if (QFileInfo(layout.file).completeBaseName().compare(base, Qt::CaseInsensitive) != 0)
            continue;
        const QStringList fields = QString::fromLatin1(layout.fields).split(';');
        for (const char* name : names) {
            bool found = false;
            for (const QString& f : fields) {
                const QStringList p = f.split(',');
                if (p[0] != QLatin1String(name)) continue;
                const char letter = p[1].at(0).toLatin1();
                table->addField(p[0], fieldTypeOf(letter, p[2].toInt(), p[3].toInt()),
                                letter == 'C' ? p[2].toInt() : 0);
                found = true;
            }
            if (!found) throw std::logic_error(std::string("no field ") + name);
        }
        return;
    }
    throw std::logic_error("no layout for " + table->TableName().toStdString());
}
