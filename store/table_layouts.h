// The record layouts of the six tables of a data folder: what the installer
// writes and what the windows declare their fields from.
#pragma once

#include <QString>
#include <initializer_list>
#include <vector>

class TApolloTable;

// The data folder's files, one constant each. The names are matched without
// regard to letter case, so these spellings open the files whatever case
// another tool gave them.
namespace TableFile {
inline const QString kSales = QStringLiteral("Vente.dbf");
inline const QString kSettings = QStringLiteral("config.dbf");
inline const QString kArticles = QStringLiteral("consomation.DBF");
inline const QString kCardPayments = QStringLiteral("Ptsres.DBF");
inline const QString kMembers = QStringLiteral("Membre.DBF");
inline const QString kQuantities = QStringLiteral("QteVente.DBF");  // sales by article
}  // namespace TableFile

namespace IndexFile {
// On the sales table, key upper(ticket): one entry per ticket (unique), and
// every row (the till's order).
inline const QString kTickets = QStringLiteral("vente.ntx");
inline const QString kSalesByTicket = QStringLiteral("ticket.ntx");
// On the sales table, key upper(Libelle): the sales-by-article window's own.
inline const QString kSalesByLabel = QStringLiteral("ventart.ntx");
// On the articles: upper(libelle), the article window's order; upper(ordre),
// the till's buttons.
inline const QString kArticleNames = QStringLiteral("consomation.ntx");
inline const QString kArticleOrder = QStringLiteral("ordre.ntx");
inline const QString kCardPayments = QStringLiteral("PtsRES.ntx");  // upper(Nom)
inline const QString kMembers = QStringLiteral("membre.ntx");       // upper(Nom), unique
}  // namespace IndexFile

struct TableLayout {
    const char* file;
    const char* fields;  // NAME,TYPE,WIDTH,DECIMALS;...
};

const std::vector<TableLayout>& tableLayouts();

// Writes a new empty table file at `path` with `fields` (NAME,TYPE,WIDTH,
// DECIMALS;...); throws EApolloError with the engine's reason when it
// cannot. Only the data-folder installer makes tables.
void createTable(const QString& path, const char* fields);

// Declares on `table` (whose TableName is set) the named fields, in the
// order given, with the type and width of the table's layout.
void declareFields(TApolloTable* table, std::initializer_list<const char*> names);
