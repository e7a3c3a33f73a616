// What every data-aware control shares: the data source it is attached to
// and the field it shows, followed through the source's row, state and
// handle changes. The edit and the read-only text use one each; a combo box
// bound to a field uses one the same way, and a navigator, which shows no
// field, leaves the field name empty and reads only the handle's state.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

#include "store/data_source.h"

class TField;

class TFieldDataLink : public QObject {
    Q_OBJECT
public:
    explicit TFieldDataLink(QObject* parent = nullptr) : QObject(parent) {}

    TDataSource* DataSource() const { return source_; }
    void setDataSource(TDataSource* source);
    const QString& DataField() const { return field_; }
    void setDataField(const QString& name);

    // The handle behind the source, or nullptr.
    TApolloTable* table() const { return source_ ? source_->DataSet() : nullptr; }
    // The field of the open handle, or nullptr (closed handle, no field of
    // that name).
    TField* field() const;
    // The handle's row is being edited or inserted.
    bool editing() const;

    // Called before the handle posts its row, so that the control writes
    // the text it holds; an error it raises stops the post.
    void setRecordUpdater(std::function<void()> update);

signals:
    // The row, a field, the state or the handle changed: show again.
    void changed();

private:
    void attach();

    QPointer<TDataSource> source_;
    QPointer<TApolloTable> attached_;  // where the record updater is
    QString field_;
    std::function<void()> update_;
};
