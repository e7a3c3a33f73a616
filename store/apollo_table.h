// A table handle: one window's view of one table file, with its own current
// row, order, filter, open index files and edit state.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "store/apollo_errors.h"
#include "store/apollo_field.h"

enum class TTableType { ttSXNTX, ttSXFOX, ttSXNSX };
enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

class TApolloTable : public QObject {
    Q_OBJECT
public:
    // `name` is the component name that prefixes some messages ("ATVente").
    explicit TApolloTable(const QString& name, QObject* parent = nullptr);
    ~TApolloTable() override;

    const QString& Name() const { return name_; }

    // Properties; the first three are refused on an open handle.
    const QString& TableName() const { return tableName_; }
    void setTableName(const QString& name);
    bool Exclusive() const { return exclusive_; }
    void setExclusive(bool on);
    bool ReadOnly() const { return readOnly_; }
    void setReadOnly(bool on);
    TTableType TableType() const { return tableType_; }
    void setTableType(TTableType t) { tableType_ = t; }
    bool Filtered() const { return filtered_; }
    void setFiltered(bool on);
    const QString& Filter() const { return filter_; }
    void setFilter(const QString& expression);
    const QString& IndexName() const { return indexName_; }
    // The index files open on the handle, in the order they were opened
    // (the last one is the order); empty when closed.
    const QStringList& IndexFiles() const { return indexFiles_; }
    bool Active() const { return state_ != TDataSetState::dsInactive; }
    void setActive(bool on);
    TDataSetState State() const { return state_; }
    // A row is being edited or inserted (and its lock is held).
    bool Editing() const { return state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert; }

    // Declared fields; a handle that declares none gets all of the file's.
    TField* addField(const QString& name, TFieldType type, int size = 0);
    TField* FieldByName(const QString& name) const;
    int FieldCount() const { return static_cast<int>(fields_.size()); }
    TField* Fields(int i) const { return fields_[static_cast<size_t>(i)].get(); }

    // Operations.
    void Open();
    void Close();
    void First();
    void Last();
    void Next() { Skip(1); }
    void Prior() { Skip(-1); }
    void Skip(int n);
    bool Eof() const { return eof_; }
    bool Bof() const { return bof_; }
    int RecordCount();
    long RecNo() const { return recno_; }
    // Back to a row by its number (a grid puts the cursor back after reading
    // the view); a row no longer in the view gives the next one.
    void GoTo(long recno);
    void Insert();
    void Edit();
    void Post();
    // A field of the row the last Post wrote, as stored, whether or not
    // that row is in the view: a filter may leave another row current.
    QVariant PostedValue(const QString& field) const;
    void Cancel();
    // A row being edited or inserted is posted when it was changed, else
    // put back to browsing unwritten (what a move does first).
    void CheckBrowseMode();
    void Delete();
    void Refresh();
    // Flushes the table and its open index to disk, so that what was posted
    // survives a power cut.
    void FlushBuffers();
    // Makes current the first row of the view whose field holds `text`
    // without regard to case (with `partial`, whose field begins with it);
    // false when there is none, the current row staying as it was.
    bool Locate(const QString& field, const QString& text, bool partial);
    void CreateIndex(const QString& file, const QString& key, bool unique);
    void OpenIndex(const QString& file);
    void CloseIndexes();
    // Refuses with the layer's message when one of `files` is not open on
    // the handle: a table whose rows must all be in its indexes is never
    // written without them.
    void RequireIndexes(const QStringList& files) const;
    void Reindex();
    void Zap();

    // Controls that hold typed text not yet in the fields (a data-aware
    // edit) write it when the row is about to be posted, by Post or by a
    // move; an error they raise stops the post and the row stays in edit.
    // `owner` going away removes its updater.
    void addRecordUpdater(QObject* owner, std::function<void()> update);
    // Has those controls write their text now, on a row being edited or
    // inserted (a button that sets fields of its own writes what was typed
    // first, so that its values win).
    void UpdateRecord();
    void removeRecordUpdaters(QObject* owner);

    // For fields: the row may only change while editing or inserting.
    void checkWritable() const;
    void fieldChanged(TField* field);

    // The path the handle opens (folder + file + ".DBF" when no extension).
    QString tablePath() const;

    // Told the path of each index file that the engine found damaged and
    // rebuilt from its table, once; the program shows it to the user.
    static void setIndexRepairNotice(std::function<void(const QString& path)> notice);

    // Controls attached to the handle are not told of its moves and changes
    // until the matching EnableControls, which tells them once: a loop of
    // posts costs one redraw. The calls nest.
    void DisableControls();
    void EnableControls();
    // Changes whenever the rows of the view may have changed otherwise than
    // by rows this handle appended at its end (open, close, filter, order,
    // an edit, a deletion, a refresh...): a control holding the view's rows
    // reads them all again only then, else it reads the rows past its last.
    unsigned long ViewGeneration() const { return viewGeneration_; }

    // Every open handle, for settings that refresh them all.
    static const std::vector<TApolloTable*>& openHandles();
    // Re-applies the engine-wide Deleted setting, then re-reads the row.
    void applySettings();

signals:
    void dataChanged();   // the current row or one of its fields changed
    void stateChanged();  // opened, closed, browse / edit / insert
    // A move that reached an end of the view is complete: Bof and Eof are
    // final. They are set after dataChanged, so that a control that walks
    // the handle unseen when told (a grid) cannot leave them wrong.
    void positionSettled();

private:
    void select() const;
    void requireOpen() const;
    void requireChangeable() const;
    enum class EngineReason { Shown, Hidden };
    EApolloError engineError(const QString& message, EngineReason reason = EngineReason::Shown) const;
    [[noreturn]] void engineFailed(const QString& message,
                                   EngineReason reason = EngineReason::Shown) const;
    void bindFields();
    void readCurrent();
    void settle();
    bool lastOfView(long recno);
    void goToRow(long recno);
    void applyFilter(bool checkValidity);
    long firstMatchOfView(const QString& field, const QString& text, bool partial);
    void setState(TDataSetState s);
    void checkBrowseMode();
    void clearValues();
    void updateRecord();
    void rememberIndex(const QString& file);
    static void reportRepairedIndexes();
    QString folder() const;
    QString makeAlias() const;

    QString name_;
    QString tableName_;
    TTableType tableType_ = TTableType::ttSXNTX;
    bool exclusive_ = false;
    bool readOnly_ = false;
    bool filtered_ = false;
    QString filter_;
    QString indexName_;
    QStringList indexFiles_;
    std::vector<std::pair<QObject*, std::function<void()>>> updaters_;
    TDataSetState state_ = TDataSetState::dsInactive;

    std::vector<std::unique_ptr<TField>> fields_;
    bool declared_ = false;  // fields_ were declared by the window
    int area_ = 0;
    int recordSize_ = 0;
    long recno_ = 0;
    long recnoBeforeInsert_ = 0;
    QByteArray posted_;  // the image the last Post wrote
    unsigned long viewGeneration_ = 0;
    int controlsDisabled_ = 0;
    TDataSetState stateWhenDisabled_ = TDataSetState::dsInactive;
    bool eof_ = true;
    bool bof_ = true;
    bool modified_ = false;
};

// Controls disabled on a handle for the life of the object.
class TControlsDisabled {
public:
    explicit TControlsDisabled(TApolloTable& table) : table_(table) { table_.DisableControls(); }
    ~TControlsDisabled() { table_.EnableControls(); }
    TControlsDisabled(const TControlsDisabled&) = delete;
    TControlsDisabled& operator=(const TControlsDisabled&) = delete;

private:
    TApolloTable& table_;
};
