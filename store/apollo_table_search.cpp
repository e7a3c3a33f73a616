// What a table handle shows and finds: its filter, a locate by field, and
// the index files that order its view.
#include "store/apollo_table.h"

#include <algorithm>

#include "store/apollo_errors.h"
#include "store/file_names.h"
#include "store/sde_api.h"
#include "store/sde_binding.h"

namespace {

QByteArray local(const QString& s) { return s.toLocal8Bit(); }

}  // namespace

// ---- filter ----

void TApolloTable::applyFilter(bool checkValidity) {
    ++viewGeneration_;
    checkBrowseMode();  // the view is read again: a change under way is posted first
    select();
    if (filtered_ && !filter_.isEmpty()) {
        QByteArray expr = local(filter_);
        if (checkValidity && sde().sx_EvalTest(expr.constData()) != SDE_EVAL_LOGICAL)
            throw EApolloError(ApolloText::kInvalidQuery);
        sde().sx_Query(expr.constData());
    } else {
        sde().sx_Query("");
    }
    sde().sx_GoTop();
    eof_ = false;
    readCurrent();
    bof_ = true;
    emit positionSettled();
}

// ---- locate ----

namespace {

// Whether the engine's current order is an index whose key is on `field`,
// and one that upper-cases its key.
bool keyOnField(const QString& field) {
    return QString::fromLatin1(sde().sx_IndexKeyField()).compare(field, Qt::CaseInsensitive) == 0;
}
bool keyUpper() {
    return QString::fromLatin1(sde().sx_IndexKey()).contains(QLatin1String("UPPER("), Qt::CaseInsensitive);
}

// Orders the engine by an upper-cased index on the field, the current order
// first; leaves `currentOrder` when there is none.
void orderByUpperIndexOn(const QString& field, int currentOrder) {
    int indexCount = static_cast<int>(sde().sx_SysProp(SDE_PROP_INDEX_COUNT, nullptr));
    if (indexCount <= 0 || (currentOrder != 0 && keyOnField(field) && keyUpper())) return;
    bool chosen = false;
    for (int i = 1; i <= indexCount && !chosen; ++i) {
        sde().sx_SetOrder(i);
        chosen = keyOnField(field) && keyUpper();
    }
    if (!chosen) sde().sx_SetOrder(currentOrder);
}

}  // namespace

bool TApolloTable::Locate(const QString& field, const QString& text, bool partial) {
    if (!Active()) return false;
    checkBrowseMode();
    select();
    const long rememberedRow = recno_;
    const int rememberedOrder = sde().sx_IndexOrd();
    orderByUpperIndexOn(field, rememberedOrder);
    long found = 0;
    // A seek in an upper-cased index of the field that finds no key settles
    // it: no row can match, and the table is not read row by row.
    bool settled = false;
    if (sde().sx_IndexOrd() > 0 && keyOnField(field)) {
        const bool upper = keyUpper();
        QString key = upper ? text.toUpper() : text;
        int previousExact = sde().sx_SetExact(partial ? 0 : 1);
        if (sde().sx_Seek(local(key).constData()))
            found = sde().sx_RecNo();
        else
            settled = upper;
        sde().sx_SetExact(previousExact);
        // The seek judged the filter with the locate's exact rule.
        if (found && !sde().sx_Visible()) found = 0;
    }
    sde().sx_SetOrder(rememberedOrder);
    if (!found && !settled) found = firstMatchOfView(field, text, partial);
    if (found) {
        sde().sx_Go(found);
        eof_ = bof_ = false;
        readCurrent();
        return true;
    }
    if (rememberedRow)
        sde().sx_Go(rememberedRow);
    else
        sde().sx_GoTop();  // an empty view stays empty, wherever the search ended
    eof_ = bof_ = false;
    readCurrent();
    return false;
}

// No index decided: asks the engine for the rows that match, then keeps the
// first one of the view. The restriction in force is the engine's (a refused
// Filter text never reached it). 0 when none is in the view.
long TApolloTable::firstMatchOfView(const QString& field, const QString& text, bool partial) {
    QString value = text;
    if (!partial) {
        auto f = std::find_if(fields_.begin(), fields_.end(), [&](const auto& x) {
            return x->FieldName().compare(field, Qt::CaseInsensitive) == 0;
        });
        int width = f != fields_.end() ? sde().sx_FieldWidth(local((*f)->FieldName()).constData()) : 0;
        if (value.size() < width) value += QString(width - value.size(), QLatin1Char(' '));
    }
    QString expr = (QStringLiteral("UPPER(") + field + QStringLiteral(")=\"") + value + QStringLiteral("\"")).toUpper();
    const QByteArray restriction(sde().sx_DBFilter());
    std::vector<long> matches;
    int previousExact = sde().sx_SetExact(partial ? 0 : 1);
    if (sde().sx_Query(local(expr).constData()))
        for (sde().sx_GoTop(); !sde().sx_Eof(); sde().sx_Skip(1)) matches.push_back(sde().sx_RecNo());
    sde().sx_Query(restriction.constData());
    sde().sx_SetExact(previousExact);
    for (long r : matches) {
        sde().sx_Go(r);
        if (sde().sx_Visible()) return r;
    }
    return 0;
}

// ---- indexes ----

void TApolloTable::CreateIndex(const QString& file, const QString& key, bool unique) {
    ++viewGeneration_;
    if (!Active()) return;
    if (file.isEmpty()) throw EApolloError(ApolloText::kMissingIndexFile);
    if (key.isEmpty()) throw EApolloError(ApolloText::kMissingIndexKey);
    checkBrowseMode();
    select();
    QString path = folder() + file;
    QString existing = findFileAnyCase(path);
    int order = sde().sx_Index(local(existing.isEmpty() ? path : existing).constData(),
                               local(key).constData(), unique ? 1 : 0, 0, "");
    if (order == 0) engineFailed(QStringLiteral("Cannot create index ") + file + QStringLiteral(": "));
    sde().sx_SetOrder(order);
    indexName_ = file;
    rememberIndex(file);
    goToRow(recno_);
}

void TApolloTable::OpenIndex(const QString& file) {
    ++viewGeneration_;
    requireOpen();
    QString path = findFileAnyCase(folder() + file);
    if (path.isEmpty()) throw EApolloError(ApolloText::kIndexDoesNotExist + file);
    checkBrowseMode();
    select();
    int order = sde().sx_IndexOpen(local(path).constData());  // an open one keeps its number
    reportRepairedIndexes();
    if (order == 0) engineFailed(QStringLiteral("Cannot open index ") + file + QStringLiteral(": "));
    sde().sx_SetOrder(order);
    indexName_ = file;
    rememberIndex(file);
    goToRow(recno_);
}

void TApolloTable::RequireIndexes(const QStringList& files) const {
    requireOpen();  // a closed table has no index open: say that it is closed
    for (const QString& file : files)
        if (!indexFiles_.contains(file, Qt::CaseInsensitive))
            throw EApolloError(ApolloText::kIndexNotOpen + file, EngineFailure::NotFound);
}

namespace {
std::function<void(const QString&)>& repairNotice() {
    static std::function<void(const QString&)> notice;
    return notice;
}
}  // namespace

void TApolloTable::setIndexRepairNotice(std::function<void(const QString& path)> notice) {
    repairNotice() = std::move(notice);
}

void TApolloTable::reportRepairedIndexes() {
    const QString paths = QString::fromLocal8Bit(sde().sx_RepairedIndexes());
    if (paths.isEmpty() || !repairNotice()) return;
    for (const QString& path : paths.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) repairNotice()(path);
}

// An index file opened twice stays open once, at its first place.
void TApolloTable::rememberIndex(const QString& file) {
    for (const QString& open : indexFiles_)
        if (open.compare(file, Qt::CaseInsensitive) == 0) return;
    indexFiles_ << file;
}

void TApolloTable::CloseIndexes() {
    ++viewGeneration_;
    if (!Active()) return;
    select();
    sde().sx_CloseIndexes();
    indexName_.clear();
    indexFiles_.clear();
}

void TApolloTable::Reindex() {
    ++viewGeneration_;
    if (!Active()) return;
    checkBrowseMode();
    select();
    if (!sde().sx_Reindex()) engineFailed(QStringLiteral("Cannot rebuild the indexes: "));
    goToRow(recno_);
}

void TApolloTable::Zap() {
    ++viewGeneration_;
    requireChangeable();
    if (!exclusive_) throw EApolloError(ApolloText::kZapExclusive);
    checkBrowseMode();
    select();
    if (!sde().sx_Zap()) engineFailed(QStringLiteral("Cannot empty the table: "));
    sde().sx_GoTop();
    settle();
}
