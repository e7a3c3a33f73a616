#include "backoffice/sales_reset.h"
#include "store/table_layouts.h"

#include <QFileInfo>

#include "common/conversions.h"
#include "store/apollo_table.h"
#include "store/archive_copy.h"
#include "store/file_names.h"
#include "store/handles_on_file.h"

QString archiveFileName(const QString& d) {
    const bool shortDay = d.mid(1, 1) == QLatin1String("/");
    const QString day = shortDay ? d.mid(0, 1) : d.mid(0, 2);
    const QString month = shortDay ? d.mid(2, 2) : d.mid(3, 2);
    const QString year = shortDay ? d.mid(5, 4) : d.mid(6, 4);
    return QStringLiteral("vente") + day + month + year + QStringLiteral(".dbf");
}

bool resetAllowed(const QString& firstDateText, bool eof) {
    return firstDateText != QLatin1String("31/12/1899") && !eof;
}

QString SalesReset::archiveName() const {
    return archiveFileName(dateText(own_.FieldByName(QStringLiteral("DATE"))->AsDate()));
}

namespace {

// Leaves the till's handle shared and closed, whatever happened to it.
void releaseExclusive(TApolloTable& till) {
    till.Close();
    till.setExclusive(false);
}

}  // namespace

SalesReset::Outcome SalesReset::run() {
    const QString name = archiveName();
    const QString sales = findFileAnyCase(till_.tablePath());
    const QString folder = QFileInfo(sales.isEmpty() ? till_.tablePath() : sales).absolutePath();
    const QString archive = folder + QLatin1Char('/') + name;
    // An archive of that name is another period's, unless it is the copy of
    // these very sales that a reset made before failing to empty them.
    const bool archived = fileExistsAnyCase(archive);
    if (archived && !sameFileBytes(sales, findFileAnyCase(archive))) return Outcome::Exists;

    THandlesOnFile handles(till_.tablePath());
    till_.setExclusive(true);
    try {
        till_.Open();
    } catch (...) {
        till_.setExclusive(false);
        handles.reopen();
        throw;
    }

    // The comparison again, now that nobody else writes.
    const bool copied = archived ? sameFileBytes(sales, findFileAnyCase(archive))
                                 : archiveCopy(sales, archive, &copyError_);
    if (!copied) {
        releaseExclusive(till_);
        handles.reopen();
        return archived ? Outcome::Exists : Outcome::CopyFailed;
    }

    try {
        till_.Zap();
    } catch (const AppError& e) {
        releaseExclusive(till_);
        handles.reopen();
        throw AppError(e.message() + QLatin1Char('\r') + ResetText::kNotEmptied + name);
    }
    releaseExclusive(till_);
    reopenHandle(till_, {IndexFile::kTickets, IndexFile::kSalesByTicket}, 0);
    till_.Reindex();
    handles.reopen({&own_, &till_});
    return Outcome::Done;
}
