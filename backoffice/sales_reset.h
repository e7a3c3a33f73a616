// The end of a sales period, without widgets: the sales table is archived
// under a name made from the date of its first sale, then emptied.
//
// The table is never emptied without its archive: the program's own handles
// on the sales file are closed first and the till's handle takes the file
// exclusively, so that nobody writes while it is copied; the copy is
// complete, on disk and identical before it gets its name; only then are
// the rows removed. When the file cannot be had to itself, or the copy
// fails, every handle is opened again as it was and no archive is left, so
// that the reset can be tried again. When the rows could not be removed
// after the copy, the archive stays; a later reset that finds it identical
// to the sales file takes it as its copy and empties the table.
#pragma once

#include <QString>

class TApolloTable;

// "vente" + day + month + year + ".dbf" cut by position out of the short
// date text of the period's first sale: from "05/03/2005" vente05032005.dbf,
// from "5/03/2005" (a '/' second) vente5032005.dbf.
QString archiveFileName(const QString& shortDateText);

// The reset is offered for a sales table with rows whose first date is
// not the zero date.
bool resetAllowed(const QString& firstDateText, bool eof);

namespace ResetText {
inline const QString kExists = QStringLiteral("Fichier existe déjà");
inline const QString kNotCopied = QStringLiteral("Fichier ne s'est pas copier !!!!!! sous le nom de ");
inline const QString kCopied = QStringLiteral("Fichier copier sous le nom de ");
inline const QString kNotEmptied =
    QStringLiteral("Les ventes n'ont pas été mises à zéro ; elles restent dans la table et "
                   "leur copie reste sous le nom de ");
}  // namespace ResetText

class SalesReset {
public:
    enum class Outcome { Done, Exists, CopyFailed };

    // `own`: the cash float window's handle, open, standing on the first
    // sale of the period; `till`: the till's handle on the same file.
    SalesReset(TApolloTable& own, TApolloTable& till) : own_(own), till_(till) {}

    // The archive's file name, from the first sale's date.
    QString archiveName() const;

    // Archives and empties the sales table. Done: the till's handle is open
    // again with vente.ntx and ticket.ntx (the order), rebuilt; `own` stays
    // closed; other handles on the file are open again as they were.
    // Exists (an archive of that name holds other bytes) / CopyFailed:
    // nothing changed. The table layer's error when
    // the file cannot be had exclusively (every handle back as it was, no
    // archive), or when emptying fails (archive kept, handles back).
    Outcome run();

    // Why the last copy failed, for the curious.
    const QString& copyError() const { return copyError_; }

private:
    TApolloTable& own_;
    TApolloTable& till_;
    QString copyError_;
};
