#include "controls/db_grid.h"

#include <QHeaderView>
#include <QSignalBlocker>

#include "common/conversions.h"
#include "common/dialogs.h"
#include "common/field_text.h"
#include "store/apollo_table.h"
#include "store/data_source.h"

void TDBGridModel::setDataSource(TDataSource* source) {
    if (source_) disconnect(source_, nullptr, this, nullptr);
    source_ = source;
    if (source_) {
        // A read that fails is shown in the error box; it never leaves the slot.
        connect(source_, &TDataSource::dataChanged, this, guarded([this] { reload(); }));
        connect(source_, &TDataSource::stateChanged, this, guarded([this] { reload(); }));
    }
    reload();
}

// The handle is walked unseen (its signals held) and put back on the row it
// stood on. The till's view is one ticket, so the read stays small; a hidden
// grid reads nothing, so a handle opened before its filter is set is never
// read whole; and the rows a booking appends are read alone.
void TDBGridModel::reload() {
    if (reading_) return;
    TApolloTable* table = source_ ? source_->DataSet() : nullptr;
    if (shown_ && !shown_()) {
        stale_ = true;
        return;
    }
    // A row being written is shown once posted: the handle's state change
    // then reads the view again, so each field assigned costs nothing here.
    if (table && table->Editing()) return;
    const bool grown = !stale_ && table && table == read_ &&
                       table->State() == TDataSetState::dsBrowse &&
                       table->ViewGeneration() == readGeneration_;
    stale_ = false;
    reading_ = true;
    struct Release {
        bool& reading;
        ~Release() { reading = false; }
    } release{reading_};
    if (grown) {
        readAppended(table);
    } else {
        readAll(table);
    }
    emit currentLineChanged(currentLine_);
}

QStringList TDBGridModel::lineOf(TApolloTable* table) const {
    QStringList line;
    for (int i = 0; i < table->FieldCount(); ++i) line << fieldDisplayText(*table->Fields(i));
    return line;
}

void TDBGridModel::findCurrentLine(long current) {
    currentLine_ = -1;
    for (size_t i = recnos_.size(); i-- > 0;)
        if (recnos_[i] == current) {
            currentLine_ = static_cast<int>(i);
            break;
        }
}

void TDBGridModel::readAll(TApolloTable* table) {
    beginResetModel();
    struct End {
        TDBGridModel& model;
        ~End() { model.endResetModel(); }
    } end{*this};
    titles_.clear();
    widths_.clear();
    lines_.clear();
    recnos_.clear();
    currentLine_ = -1;
    read_ = table;
    if (!table) return;
    readTitles(table);
    readGeneration_ = table->ViewGeneration();
    if (table->State() != TDataSetState::dsBrowse) return;
    QSignalBlocker hold(table);
    const long current = table->RecNo();
    for (table->First(); !table->Eof() && lines_.size() < kMaxLines; table->Next()) {
        lines_.push_back(lineOf(table));
        recnos_.push_back(table->RecNo());
    }
    table->GoTo(current);
    findCurrentLine(current);
}

// The lines read stand; the rows past the last one are new.
void TDBGridModel::readAppended(TApolloTable* table) {
    QSignalBlocker hold(table);
    const long current = table->RecNo();
    std::vector<QStringList> lines;
    std::vector<long> recnos;
    if (recnos_.empty()) {
        table->First();
    } else {
        table->GoTo(recnos_.back());
        table->Next();
    }
    for (; !table->Eof() && lines_.size() + lines.size() < kMaxLines; table->Next()) {
        lines.push_back(lineOf(table));
        recnos.push_back(table->RecNo());
    }
    table->GoTo(current);
    if (!lines.empty()) {
        const int first = static_cast<int>(lines_.size());
        beginInsertRows({}, first, first + static_cast<int>(lines.size()) - 1);
        lines_.insert(lines_.end(), lines.begin(), lines.end());
        recnos_.insert(recnos_.end(), recnos.begin(), recnos.end());
        endInsertRows();
    }
    findCurrentLine(current);
}

void TDBGridModel::readTitles(TApolloTable* table) {
    widths_.clear();
    for (int i = 0; i < table->FieldCount(); ++i) {
        const TField* f = table->Fields(i);
        titles_ << f->FieldName();
        widths_.push_back(f->DataType() == TFieldType::ftString ? f->Size() : 10);
    }
}

// The handle moves while the grid holds its reads: the lines stay as read,
// and the other controls on the data source follow the row.
void TDBGridModel::selectLine(int line) {
    TApolloTable* table = source_ ? source_->DataSet() : nullptr;
    if (!table || reading_ || line == currentLine_ || line < 0 ||
        static_cast<size_t>(line) >= recnos_.size())
        return;
    reading_ = true;
    struct Release {
        bool& reading;
        ~Release() { reading = false; }
    } release{reading_};
    table->GoTo(recnos_[static_cast<size_t>(line)]);
    currentLine_ = line;
}

void TDBGridModel::reloadIfStale() {
    if (stale_) reload();
}

int TDBGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

int TDBGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(titles_.size());
}

QVariant TDBGridModel::data(const QModelIndex& index, int role) const {
    if ((role != Qt::DisplayRole && role != Qt::EditRole) || !index.isValid()) return {};
    return lines_[static_cast<size_t>(index.row())].value(index.column());
}

QVariant TDBGridModel::headerData(int section, Qt::Orientation o, int role) const {
    if (role != Qt::DisplayRole || o != Qt::Horizontal) return {};
    return titles_.value(section);
}

Qt::ItemFlags TDBGridModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (editable_ && index.isValid()) f |= Qt::ItemIsEditable;
    return f;
}

namespace {

inline const QString kNotDate = QStringLiteral("'%1' n'est pas une date correcte");

// Puts a typed text into a field, converted as the field's type wants.
void assignTyped(TField& field, const QString& text) {
    const QString t = text.trimmed();
    switch (field.DataType()) {
        case TFieldType::ftFloat:
        case TFieldType::ftInteger:
        case TFieldType::ftSmallint:
            // A number cell cannot be emptied: reports rely on every
            // number of their rows printing.
            return field.setAsFloat(fieldTextToFloat(t, field.FieldName()));
        case TFieldType::ftDate: {
            if (t.isEmpty()) return field.Clear();
            const QDate d = QDate::fromString(t, formatSettings().shortDateFormat);
            if (!d.isValid()) throw EConvertError(kNotDate.arg(text));
            return field.setAsDate(d);
        }
        default: return field.setAsString(text);
    }
}

}  // namespace

// The row of the line is written and posted while the grid holds its
// reads; the line then shows what the row now holds.
bool TDBGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!editable_ || role != Qt::EditRole || !index.isValid() || reading_) return false;
    TApolloTable* table = source_ ? source_->DataSet() : nullptr;
    const auto line = static_cast<size_t>(index.row());
    if (!table || line >= recnos_.size()) return false;
    bool written = false;
    reading_ = true;
    runGuarded([&] {
        try {
            table->GoTo(recnos_[line]);
            TField* field = table->Fields(index.column());
            table->Edit();
            assignTyped(*field, value.toString());
            table->Post();
            lines_[line][index.column()] = fieldDisplayText(*field);
            written = true;
        } catch (...) {
            if (table->State() == TDataSetState::dsEdit) table->Cancel();
            throw;
        }
    });
    reading_ = false;
    if (written) {
        emit dataChanged(index, index);
        currentLine_ = index.row();
        emit currentLineChanged(currentLine_);
    }
    return written;
}

TDBGrid::TDBGrid(const QString& name, QWidget* parent) : QTableView(parent) {
    setObjectName(name);
    model_ = new TDBGridModel(this);
    setModel(model_);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    verticalHeader()->setDefaultSectionSize(17);
    model_->setShown([this] { return isVisible(); });
    connect(model_, &QAbstractItemModel::modelReset, this, &TDBGrid::sizeColumns);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                const int line = current.row();
                runGuarded([this, line] { model_->selectLine(line); });
            });
    connect(model_, &TDBGridModel::currentLineChanged, this, [this](int line) {
        if (line >= 0) {
            selectRow(line);
            scrollTo(model_->index(line, 0));
        }
    });
}

void TDBGrid::setEditable(bool on) {
    model_->setEditable(on);
    setEditTriggers(on ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed
                       : QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(on ? QAbstractItemView::SelectItems : QAbstractItemView::SelectRows);
}

// Each column is as wide as its field's display width in digits, or its
// title when that is wider (a text field its size, numbers and dates ten),
// plus the cell padding.
void TDBGrid::sizeColumns() {
    const QFontMetrics digits(font());
    const QFontMetrics titles(horizontalHeader()->font());
    for (int c = 0; c < model_->columnCount(); ++c) {
        const int chars = model_->displayWidth(c);
        const int title = titles.horizontalAdvance(model_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
        setColumnWidth(c, std::max(chars * digits.horizontalAdvance(QLatin1Char('0')), title) + 10);
    }
}

// The window's own show steps may still change the view (the till sets its
// filter when shown), so the read waits for them.
void TDBGrid::showEvent(QShowEvent* event) {
    QTableView::showEvent(event);
    QMetaObject::invokeMethod(model_, guarded([m = model_] { m->reloadIfStale(); }),
                              Qt::QueuedConnection);
}
