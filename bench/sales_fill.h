// Data the program benchmarks start from: a sales table of any size, written
// without indexes (the program builds them at start as it does for any
// missing index file), and today's cash float so that the till opens
// without its message.
#pragma once

#include <sys/resource.h>

#include <QDate>
#include <QString>
#include <QStringList>

#include "store/apollo_table.h"

namespace bench {

// Tickets 1 .. rows/rowsPerTicket, rowsPerTicket rows each, in the working
// folder; the rows' keys go into `indexes` too (index files of the folder).
inline void fillSales(long rows, int rowsPerTicket, const QStringList& indexes = {}) {
    TApolloTable v("fill");
    v.setTableName("Vente.dbf");
    v.setExclusive(true);
    v.Open();
    for (const QString& index : indexes) v.OpenIndex(index);
    for (long i = 0; i < rows; ++i) {
        v.Insert();
        v.FieldByName("NOM")->setAsString("Caissier1");
        v.FieldByName("LIBELLE")->setAsString(QStringLiteral("Article %1").arg(i % 30));
        v.FieldByName("PRIX")->setAsFloat(2.5);
        v.FieldByName("TVA")->setAsFloat(21);
        v.FieldByName("DATE")->setAsDate(QDate(2026, 12, 7));
        v.FieldByName("TIME")->setAsString("12:00");
        v.FieldByName("TICKET")->setAsString(QString::number(i / rowsPerTicket + 1));
        v.Post();
    }
}

inline void setTodaysFloat() {
    TApolloTable config("config");
    config.setTableName("config.dbf");
    config.Open();
    config.Edit();
    config.FieldByName("DATEFOND")->setAsDate(QDate::currentDate());
    config.Post();
}

inline long peakKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

}  // namespace bench
