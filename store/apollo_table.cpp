#include "store/apollo_table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "store/apollo_env.h"
#include "store/apollo_errors.h"
#include "store/file_names.h"
#include "store/sde_api.h"
#include "store/sde_binding.h"

namespace {

std::vector<TApolloTable*>& registry() {
    static std::vector<TApolloTable*> handles;
    return handles;
}

QByteArray local(const QString& s) { return s.toLocal8Bit(); }

bool hasExtension(const QString& fileName) { return !QFileInfo(fileName).suffix().isEmpty(); }

// First byte values that announce a memo file, and its extension.
QString memoExtension(unsigned char first, TTableType* type) {
    switch (first) {
        case 131:
        case 134: *type = TTableType::ttSXNTX; return QStringLiteral(".DBT");
        case 245:
        case 246: *type = TTableType::ttSXFOX; return QStringLiteral(".FPT");
        case 229:
        case 230: *type = TTableType::ttSXNSX; return QStringLiteral(".SMT");
        default: return {};
    }
}

}  // namespace

TApolloTable::TApolloTable(const QString& name, QObject* parent) : QObject(parent), name_(name) {}

TApolloTable::~TApolloTable() {
    if (Active() && SdeLibrary::loaded()) {
        select();
        sde().sx_Close();  // an unposted change is dropped
    }
    auto& r = registry();
    r.erase(std::remove(r.begin(), r.end(), this), r.end());
}

const std::vector<TApolloTable*>& TApolloTable::openHandles() { return registry(); }

// ---- properties ----

void TApolloTable::setTableName(const QString& name) {
    if (name == tableName_) return;
    if (Active()) throw EApolloError(ApolloText::kOpenTable);
    tableName_ = name;
    if (!declared_) fields_.clear();
    // A new file's field list is read at once, as the component did.
    const QString path = findFileAnyCase(tablePath());
    if (!name.isEmpty() && !path.isEmpty() && SdeLibrary::loaded()) {
        int previous = sde().sx_Select(0);
        int area = sde().sx_Use(local(path).constData(), "", SDE_READONLY, SDE_NTX);
        if (area) sde().sx_Close();
        sde().sx_Select(previous);
    }
}

void TApolloTable::setExclusive(bool on) {
    if (on == exclusive_) return;
    if (Active()) throw EApolloError(ApolloText::kOpenTable);
    exclusive_ = on;
}

void TApolloTable::setReadOnly(bool on) {
    if (on == readOnly_) return;
    if (Active()) throw EApolloError(ApolloText::kOpenTable);
    readOnly_ = on;
}

void TApolloTable::setFiltered(bool on) {
    filtered_ = on;
    if (Active()) applyFilter(true);
}

void TApolloTable::setFilter(const QString& expression) {
    filter_ = expression;
    if (Active() && filtered_) applyFilter(true);
}

void TApolloTable::setActive(bool on) {
    if (on)
        Open();
    else
        Close();
}

TField* TApolloTable::addField(const QString& name, TFieldType type, int size) {
    declared_ = true;
    fields_.push_back(std::make_unique<TField>(this, name.toUpper(), type, size));
    return fields_.back().get();
}

TField* TApolloTable::FieldByName(const QString& name) const {
    for (const auto& f : fields_)
        if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0) return f.get();
    throw EDatabaseError(name_ + QStringLiteral(": ") + ApolloText::kFieldNotFound.arg(name));
}

// ---- helpers ----

void TApolloTable::select() const { sde().sx_Select(area_); }

void TApolloTable::requireOpen() const {
    if (!Active()) throw EDatabaseError(name_ + QStringLiteral(": ") + ApolloText::kClosed);
    select();
}

void TApolloTable::requireChangeable() const {
    requireOpen();
    if (readOnly_) throw EApolloError(ApolloText::kReadOnly);
}

// The one place where the engine's last failure becomes the layer's error:
// its kind, and the layer's message followed by the engine's reason unless
// the layer's fixed text stands alone.
EApolloError TApolloTable::engineError(const QString& message, EngineReason reason) const {
    EngineFailure kind = EngineFailure::Other;
    switch (sde().sx_ErrorCode()) {
    case SDE_ERR_NONE: kind = EngineFailure::None; break;
    case SDE_ERR_CORRUPT: kind = EngineFailure::Corrupt; break;
    case SDE_ERR_LOCKED: kind = EngineFailure::Locked; break;
    case SDE_ERR_NOT_FOUND: kind = EngineFailure::NotFound; break;
    case SDE_ERR_IO: kind = EngineFailure::InputOutput; break;
    case SDE_ERR_EXPRESSION: kind = EngineFailure::Expression; break;
    default: break;
    }
    if (reason == EngineReason::Hidden) return EApolloError(message, kind);
    return EApolloError(message + QString::fromLocal8Bit(sde().sx_ErrorText()), kind);
}

void TApolloTable::engineFailed(const QString& message, EngineReason reason) const {
    throw engineError(message, reason);
}

void TApolloTable::checkWritable() const {
    if (!Editing())
        throw EDatabaseError(name_ + QStringLiteral(": ") + ApolloText::kNotEditing);
}

void TApolloTable::fieldChanged(TField*) {
    modified_ = true;
    emit dataChanged();
}

void TApolloTable::addRecordUpdater(QObject* owner, std::function<void()> update) {
    const bool known = std::any_of(updaters_.begin(), updaters_.end(),
                                   [owner](const auto& u) { return u.first == owner; });
    updaters_.emplace_back(owner, std::move(update));
    if (!known)
        connect(owner, &QObject::destroyed, this, [this, owner] { removeRecordUpdaters(owner); });
}

void TApolloTable::removeRecordUpdaters(QObject* owner) {
    std::erase_if(updaters_, [owner](const auto& u) { return u.first == owner; });
}

void TApolloTable::UpdateRecord() { updateRecord(); }

// A copy of the list is walked: an updater may attach or detach controls.
void TApolloTable::updateRecord() {
    if (!Editing()) return;
    const auto updaters = updaters_;
    for (const auto& u : updaters) u.second();
}

void TApolloTable::setState(TDataSetState s) {
    if (s == state_) return;
    state_ = s;
    emit stateChanged();
}

QString TApolloTable::folder() const {
    QFileInfo info(tableName_);
    if (tableName_.contains(QLatin1Char('/'))) return info.path() + QLatin1Char('/');
    return QDir::currentPath() + QLatin1Char('/');
}

QString TApolloTable::tablePath() const {
    QString file = QFileInfo(tableName_).fileName();
    return folder() + file + (hasExtension(file) ? QString() : QStringLiteral(".DBF"));
}

// The file name, upper-cased, without extension, at most 8 characters of
// A to Z ('_' for others); a taken alias gets the attempt number appended
// to its first 8 - d characters, as VENTE, VENTE1, VENTE12 show.
QString TApolloTable::makeAlias() const {
    QString base = QFileInfo(tableName_).completeBaseName().toUpper().left(8);
    for (auto& c : base)
        if (c < QLatin1Char('A') || c > QLatin1Char('Z')) c = QLatin1Char('_');
    QString alias = base;
    for (int n = 1; sde().sx_WorkArea(local(alias).constData()) != 0; ++n) {
        QString number = QString::number(n);
        alias = alias.left(8 - static_cast<int>(number.size())) + number;
    }
    return alias;
}

void TApolloTable::clearValues() {
    for (auto& f : fields_) {
        if (f->DataType() == TFieldType::ftString)
            f->readFrom(QByteArray());  // the empty text
        f->setNull();
    }
}

// Reads the engine's current row into the fields; never rests past the
// last row of the view.
void TApolloTable::readCurrent() {
    reportRepairedIndexes();
    if (sde().sx_Eof()) sde().sx_GoBottom();
    if (sde().sx_Eof()) {
        clearValues();
        recno_ = 0;
        eof_ = bof_ = true;
        emit dataChanged();
        return;
    }
    recno_ = sde().sx_RecNo();
    QByteArray image(recordSize_, ' ');
    sde().sx_GetRecord(reinterpret_cast<unsigned char*>(image.data()));
    for (auto& f : fields_) f->readFrom(image);
    emit dataChanged();
}

void TApolloTable::goToRow(long recno) {
    if (recno > 0) {
        sde().sx_Go(recno);
        if (!sde().sx_Visible()) sde().sx_Skip(1);  // the row left the view: the next one
    } else {
        sde().sx_GoTop();
    }
    eof_ = bof_ = false;
    readCurrent();
}

void TApolloTable::settle() {
    eof_ = bof_ = false;
    readCurrent();
}

// ---- open and close ----

void TApolloTable::Open() {
    ++viewGeneration_;
    if (Active()) return;
    if (tableName_.isEmpty())
        throw EApolloError(name_ + QStringLiteral(" : ") + ApolloText::kMissingTableName);
    const QString path = tablePath();
    const QString onDisk = findFileAnyCase(path);
    const QString alias = makeAlias();

    if (!onDisk.isEmpty()) {
        QFile f(onDisk);
        if (f.open(QIODevice::ReadOnly)) {
            char first = 0;
            if (f.read(&first, 1) == 1) {
                TTableType type = tableType_;
                QString ext = memoExtension(static_cast<unsigned char>(first), &type);
                if (!ext.isEmpty()) {
                    tableType_ = type;
                    QString memo = path.left(path.size() - QFileInfo(path).suffix().size() - 1) + ext;
                    if (!fileExistsAnyCase(memo))
                        throw EApolloError(ApolloText::kMemoMissing + memo.toUpper());
                }
            }
        }
    }
    // The engine numbers its table types from SDE_NTX in this order.
    int engineType = SDE_NTX + static_cast<int>(tableType_);
    int mode = exclusive_ ? SDE_EXCLUSIVE : readOnly_ ? SDE_READONLY : SDE_SHARED;
    if (onDisk.isEmpty()) throw EApolloError(ApolloText::kTableDoesNotExist + path);

    sde().sx_SetEpoch(TApolloEnv::current().epoch);
    area_ = sde().sx_Use(local(onDisk).constData(), local(alias).constData(), mode, engineType);
    if (area_ == 0) {
        // The engine's reason (a damaged file, a read error) on a line of its
        // own; a file in use by another program keeps the fixed text alone.
        QString message = ApolloText::kUnableToOpen + path;
        const QString why = QString::fromLocal8Bit(sde().sx_ErrorText());
        if (sde().sx_ErrorCode() != SDE_ERR_LOCKED && !why.isEmpty()) message += QLatin1Char('\r') + why;
        engineFailed(message, EngineReason::Hidden);
    }
    sde().sx_SetTurboRead(0);
    sde().sx_SetDeleted(TApolloEnv::current().deleted ? 1 : 0);

    try {
        if (!indexName_.isEmpty()) {
            QString ix = folder() + indexName_ + (hasExtension(indexName_) ? QString() : QStringLiteral(".NTX"));
            if (fileExistsAnyCase(ix)) {
                int order = sde().sx_IndexOpen(local(ix).constData());
                if (order > 0) {
                    sde().sx_SetOrder(order);
                    indexFiles_ = QStringList{indexName_};
                }
            }
        }
        bindFields();
    } catch (...) {
        sde().sx_Close();
        area_ = 0;
        throw;
    }
    registry().push_back(this);
    state_ = TDataSetState::dsBrowse;
    if (filtered_ && !filter_.isEmpty()) sde().sx_Query(local(filter_).constData());
    sde().sx_GoTop();
    bof_ = true;
    eof_ = false;
    readCurrent();
    emit stateChanged();
}

void TApolloTable::bindFields() {
    recordSize_ = sde().sx_RecSize();
    struct Stored {
        QString name;
        char letter;
        int offset, width, decimals;
    };
    std::vector<Stored> stored;
    int count = sde().sx_FieldCount();
    for (int i = 1; i <= count; ++i) {
        QByteArray name = sde().sx_FieldName(i);
        Stored s;
        s.name = QString::fromLatin1(name);
        s.letter = sde().sx_FieldType(name.constData())[0];
        s.offset = sde().sx_FieldOffset(name.constData()) - 1;
        s.width = sde().sx_FieldWidth(name.constData());
        s.decimals = sde().sx_FieldDecimals(name.constData());
        stored.push_back(s);
    }
    if (!declared_) {
        fields_.clear();
        for (const auto& s : stored) {
            TFieldType t = fieldTypeOf(s.letter, s.width, s.decimals);
            fields_.push_back(std::make_unique<TField>(this, s.name, t, t == TFieldType::ftString ? s.width : 0));
        }
    }
    for (auto& f : fields_) {
        auto it = std::find_if(stored.begin(), stored.end(),
                               [&](const Stored& s) { return s.name.compare(f->FieldName(), Qt::CaseInsensitive) == 0; });
        auto fail = [&](const QString& message) { throw EDatabaseError(name_ + QStringLiteral(": ") + message); };
        if (it == stored.end()) fail(ApolloText::kFieldNotFound.arg(f->FieldName()));
        TFieldType actual = fieldTypeOf(it->letter, it->width, it->decimals);
        if (actual != f->DataType())
            fail(ApolloText::kFieldType.arg(f->FieldName(), fieldTypeName(f->DataType()), fieldTypeName(actual)));
        if (actual == TFieldType::ftString && f->Size() != it->width)
            fail(ApolloText::kFieldSize.arg(f->FieldName()).arg(f->Size()).arg(it->width));
        f->bind(it->offset, it->width, it->decimals, it->letter);
    }
}

void TApolloTable::Close() {
    ++viewGeneration_;
    if (!Active()) return;
    select();
    sde().sx_Close();
    area_ = 0;
    auto& r = registry();
    r.erase(std::remove(r.begin(), r.end(), this), r.end());
    clearValues();
    indexFiles_.clear();
    eof_ = bof_ = true;
    recno_ = 0;
    modified_ = false;
    setState(TDataSetState::dsInactive);
}

// ---- moves ----

void TApolloTable::CheckBrowseMode() { checkBrowseMode(); }

void TApolloTable::checkBrowseMode() {
    if (Editing()) {
        updateRecord();
        if (modified_)
            Post();
        else
            Cancel();
    }
}

void TApolloTable::First() {
    requireOpen();
    checkBrowseMode();
    select();
    sde().sx_GoTop();
    eof_ = false;
    readCurrent();
    bof_ = true;
    emit positionSettled();
}

void TApolloTable::Last() {
    requireOpen();
    checkBrowseMode();
    select();
    sde().sx_GoBottom();
    bof_ = false;
    readCurrent();
    eof_ = true;
    emit positionSettled();
}

void TApolloTable::Skip(int n) {
    requireOpen();
    checkBrowseMode();
    select();
    if (recno_ == 0) {  // an empty view stays empty
        sde().sx_GoTop();
        readCurrent();
        return;
    }
    if (sde().sx_RecNo() != recno_) sde().sx_Go(recno_);
    sde().sx_Skip(n);
    bool pastEnd = n > 0 && sde().sx_Eof();
    bool beforeStart = n < 0 && sde().sx_Bof();
    eof_ = bof_ = false;
    readCurrent();
    if (pastEnd) eof_ = true;
    if (beforeStart) bof_ = true;
    emit positionSettled();
}

int TApolloTable::RecordCount() {
    if (!Active()) return 0;
    select();
    return static_cast<int>(sde().sx_RecCount());
}

// ---- changes ----

void TApolloTable::Insert() {
    requireChangeable();
    checkBrowseMode();
    recnoBeforeInsert_ = recno_;
    clearValues();
    modified_ = false;
    setState(TDataSetState::dsInsert);
    emit dataChanged();
}

void TApolloTable::Edit() {
    requireChangeable();
    if (Editing()) return;
    if (recno_ == 0) {  // nothing to change: a new row
        Insert();
        return;
    }
    select();
    if (!sde().sx_Rlock(recno_)) engineFailed(ApolloText::kLockFailure, EngineReason::Hidden);
    sde().sx_Go(recno_);
    readCurrent();
    modified_ = false;
    setState(TDataSetState::dsEdit);
}

void TApolloTable::Post() {
    if (!Editing())
        throw EDatabaseError(name_ + QStringLiteral(": ") + ApolloText::kNotEditing);
    updateRecord();
    select();
    const bool inserting = state_ == TDataSetState::dsInsert;
    // Start from the stored image so that undeclared fields keep their values.
    QByteArray image(recordSize_, ' ');
    if (!inserting) {
        sde().sx_Go(recno_);
        sde().sx_GetRecord(reinterpret_cast<unsigned char*>(image.data()));
    }
    // Every conversion happens before anything is written: a refused value
    // leaves the file as it was and the handle still editing.
    for (auto& f : fields_) f->writeTo(image, TApolloEnv::current().epoch);
    // A new row goes in whole with the keys of every open index, or not at
    // all; an edit leaves the old image and keys when a write fails.
    if (inserting) {
        image[0] = ' ';
    } else {
        if (sde().sx_Deleted()) image[0] = '*';
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(image.constData());
    if (!(inserting ? sde().sx_AppendRecord(bytes) : sde().sx_PutRecord(bytes))) {
        const EApolloError failure = engineError(QString());
        sde().sx_Unlock(0);
        throw failure;
    }
    long posted = sde().sx_RecNo();
    sde().sx_Unlock(0);
    posted_ = image;
    modified_ = false;
    state_ = TDataSetState::dsBrowse;
    // The posted row is current when it belongs to the view; a new row
    // outside the filter leaves the row that was current before Insert.
    sde().sx_Go(posted);
    if (inserting && !sde().sx_Visible()) {
        goToRow(recnoBeforeInsert_);
    } else {
        if (!inserting || !lastOfView(posted)) ++viewGeneration_;
        eof_ = bof_ = false;
        readCurrent();
    }
    emit stateChanged();
}

// Whether the visible row `recno` ends the view; the engine stands on it
// again afterwards.
bool TApolloTable::lastOfView(long recno) {
    sde().sx_Skip(1);
    const bool last = sde().sx_Eof() != 0;
    sde().sx_Go(recno);
    return last;
}

void TApolloTable::DisableControls() {
    if (controlsDisabled_++ > 0) return;
    stateWhenDisabled_ = state_;
    blockSignals(true);
}

void TApolloTable::EnableControls() {
    if (controlsDisabled_ == 0 || --controlsDisabled_ > 0) return;
    blockSignals(false);
    if (state_ != stateWhenDisabled_) emit stateChanged();
    emit dataChanged();
    emit positionSettled();
}

QVariant TApolloTable::PostedValue(const QString& field) const {
    TField copy = *FieldByName(field);
    copy.readFrom(posted_);
    return copy.Value();
}

void TApolloTable::FlushBuffers() {
    requireOpen();
    if (!sde().sx_Commit()) engineFailed(QString());
}

void TApolloTable::Cancel() {
    if (!Editing()) return;
    select();
    const bool inserting = state_ == TDataSetState::dsInsert;
    if (sde().sx_Locked(recno_)) sde().sx_Unlock(0);
    modified_ = false;
    state_ = TDataSetState::dsBrowse;
    goToRow(inserting ? recnoBeforeInsert_ : recno_);
    emit stateChanged();
}

void TApolloTable::Delete() {
    ++viewGeneration_;
    requireChangeable();
    if (state_ == TDataSetState::dsInsert) {
        Cancel();
        return;
    }
    checkBrowseMode();
    if (recno_ == 0) throw EApolloError(ApolloText::kEmptyTable);
    select();
    const long current = recno_;
    sde().sx_Go(current);
    sde().sx_Skip(1);
    const long next = sde().sx_Eof() ? 0 : sde().sx_RecNo();
    sde().sx_Go(current);
    if (!sde().sx_Delete()) engineFailed(QString());
    if (next)
        sde().sx_Go(next);
    else
        sde().sx_GoBottom();
    settle();
}

void TApolloTable::GoTo(long recno) {
    requireOpen();
    checkBrowseMode();
    select();
    goToRow(recno);
}

void TApolloTable::Refresh() {
    ++viewGeneration_;
    requireOpen();
    checkBrowseMode();
    select();
    goToRow(recno_);
}

void TApolloTable::applySettings() {
    ++viewGeneration_;
    select();
    sde().sx_SetDeleted(TApolloEnv::current().deleted ? 1 : 0);
    if (state_ == TDataSetState::dsBrowse) goToRow(recno_);
}

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

bool TApolloTable::Locate(const QString& field, const QString& text, bool partial, bool caseInsensitive) {
    if (!Active()) return false;
    checkBrowseMode();
    select();
    const long rememberedRow = recno_;
    const int rememberedOrder = sde().sx_IndexOrd();
    auto keyOnField = [&] { return QString::fromLatin1(sde().sx_IndexKeyField()).compare(field, Qt::CaseInsensitive) == 0; };
    auto keyUpper = [&] { return QString::fromLatin1(sde().sx_IndexKey()).contains(QLatin1String("UPPER("), Qt::CaseInsensitive); };

    // An upper-cased index on the field, the current order first.
    int indexCount = static_cast<int>(sde().sx_SysProp(SDE_PROP_INDEX_COUNT, nullptr));
    if (indexCount > 0 && (rememberedOrder == 0 || !keyOnField() || !keyUpper())) {
        bool chosen = false;
        for (int i = 1; i <= indexCount && !chosen; ++i) {
            sde().sx_SetOrder(i);
            chosen = keyOnField() && keyUpper();
        }
        if (!chosen) sde().sx_SetOrder(rememberedOrder);
    }
    long found = 0;
    // A seek in an upper-cased index of the field that finds no key settles
    // it: no row can match, and the table is not read row by row.
    bool settled = false;
    if (sde().sx_IndexOrd() > 0 && keyOnField()) {
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
    if (!found && !settled) {
        // No index decided: ask the engine for the rows that match, then keep
        // the first one of the view. The restriction in force is the engine's
        // (a refused Filter text never reached it).
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
            if (sde().sx_Visible()) {
                found = r;
                break;
            }
        }
    }
    (void)caseInsensitive;  // every locate of the program ignores case
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
