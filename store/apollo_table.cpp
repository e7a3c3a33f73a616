// A table handle's life: its properties, the engine errors it raises, opening
// and closing. Moves and changes are in apollo_table_rows.cpp; the filter,
// locate and the index files in apollo_table_search.cpp.
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
