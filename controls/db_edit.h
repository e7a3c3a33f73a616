// Data-aware edits: a one-line edit and a read-only text bound to one field
// of a data source's current row.
#pragma once

#include <QLabel>
#include <QLineEdit>

#include "controls/data_link.h"

// Shows the field's display text. What the user types goes into the field
// when the focus leaves the edit or when the row is posted; a text the
// field refuses (a float that does not read) raises the conversion error,
// the row stays in edit state and the typed text stays for correction.
// Typing on a row in browse state starts editing it.
class TDBEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TDBEdit(const QString& name, QWidget* parent = nullptr);

    TDataSource* DataSource() const { return link_.DataSource(); }
    void setDataSource(TDataSource* source) { link_.setDataSource(source); }
    const QString& DataField() const { return link_.DataField(); }
    void setDataField(const QString& field) { link_.setDataField(field); }

    // Writes the typed text into the field when it was changed.
    void UpdateRecord();

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    void showField();
    void startEditing();

    TFieldDataLink link_;
};

// The field's display text, kept up to date; blank when the handle is
// closed or the field missing.
class TDBText : public QLabel {
    Q_OBJECT
public:
    explicit TDBText(const QString& name, QWidget* parent = nullptr);

    TDataSource* DataSource() const { return link_.DataSource(); }
    void setDataSource(TDataSource* source) { link_.setDataSource(source); }
    const QString& DataField() const { return link_.DataField(); }
    void setDataField(const QString& field) { link_.setDataField(field); }

private:
    void showField();

    TFieldDataLink link_;
};
