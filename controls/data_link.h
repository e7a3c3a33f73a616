// What every data-aware control shares: the data source it is attached to
// and the field it shows, followed through the source's row, state and
// handle changes. The read-only text uses one; the edit and the combo box
// bound to a field use the editing link below, and the navigator, which
// shows no field, leaves the field name empty and reads only the handle's
// state.
#pragma once

#include <QObject>
#include <QWidget>
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

// The text of a control that edits a field (the edit, the combo box). It
// shows the field's display text; what the user types goes into the field
// when the focus leaves the control or when the row is posted. A text the
// field refuses (a number that does not read) raises the conversion error,
// the row stays in edit state and the typed text stays for correction.
// Typing on a row in browse state starts editing it.
class TFieldEditLink : public TFieldDataLink {
    Q_OBJECT
public:
    // `control` is the widget that shows the text: a refused text gives it
    // the focus back, so that the user corrects it there.
    TFieldEditLink(QWidget* control, std::function<QString()> text,
                   std::function<void(const QString&)> setText);

    // A display mask for a number field ("0.00", see maskText); empty for
    // the general format.
    const QString& DisplayFormat() const { return format_; }
    void setDisplayFormat(const QString& mask);

    // The control holds a typed text not yet in the field.
    bool modified() const { return modified_; }
    // The user changed the control's text.
    void textTyped();
    // Writes the typed text into the field when it was changed.
    void UpdateRecord();
    // The focus left the control. Another window taking it (this one
    // hiding, a message box) is not the user leaving: the text is written
    // when the row is posted.
    void focusLeft(Qt::FocusReason reason);

private:
    void showField();

    QWidget* control_;
    std::function<QString()> text_;
    std::function<void(const QString&)> setText_;
    QString format_;
    bool modified_ = false;
};
