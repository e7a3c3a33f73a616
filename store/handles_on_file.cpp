#include "store/handles_on_file.h"

#include <QFileInfo>
#include <algorithm>
#include <optional>

#include "store/app_error.h"
#include "store/file_names.h"

bool THandlesOnFile::sameFile(const QString& a, const QString& b) {
    const QString fa = findFileAnyCase(a);
    const QString fb = findFileAnyCase(b);
    if (fa.isEmpty() || fb.isEmpty()) return false;
    return QFileInfo(fa).canonicalFilePath() == QFileInfo(fb).canonicalFilePath();
}

THandlesOnFile::THandlesOnFile(const QString& path) {
    // Closing changes the list of open handles: work on a copy.
    const std::vector<TApolloTable*> open = TApolloTable::openHandles();
    for (TApolloTable* t : open) {
        if (!sameFile(t->tablePath(), path)) continue;
        closed_.push_back({t, t->IndexFiles(), t->RecNo()});
        t->Close();
    }
}

bool THandlesOnFile::closed(const TApolloTable* table) const {
    for (const Closed& c : closed_)
        if (c.table == table) return true;
    return false;
}

void THandlesOnFile::reopen(const std::vector<const TApolloTable*>& except) {
    std::optional<AppError> first;
    for (Closed& c : closed_) {
        if (!c.table || c.reopened) continue;
        if (std::find(except.begin(), except.end(), c.table.data()) != except.end()) continue;
        c.reopened = true;
        try {
            reopenHandle(*c.table, c.indexes, c.recno);
        } catch (const AppError& e) {
            if (!first) first = e;
        }
    }
    if (first) throw *first;
}

void reopenHandle(TApolloTable& table, const QStringList& indexes, long recno) {
    table.Open();
    table.CloseIndexes();  // the handle's last order opens with it: start from none
    for (const QString& index : indexes) table.OpenIndex(index);
    if (recno > 0) table.GoTo(recno);
}
