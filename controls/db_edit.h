// Data-aware edits: a one-line edit and a read-only text bound to one field
// of a data source's current row.
#pragma once

#include <QLabel>
#include <QLineEdit>

#include "controls/data_link.h"

// A one-line edit of a field (see TFieldEditLink for when the typed text
// is written).
class TDBEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TDBEdit(const QString& name, QWidget* parent = nullptr);

    TDataSource* DataSource() const { return link_.DataSource(); }
    void setDataSource(TDataSource* source) { link_.setDataSource(source); }
    const QString& DataField() const { return link_.DataField(); }
    void setDataField(const QString& field) { link_.setDataField(field); }
    const QString& DisplayFormat() const { return link_.DisplayFormat(); }
    void setDisplayFormat(const QString& mask) { link_.setDisplayFormat(mask); }

    // Writes the typed text into the field when it was changed.
    void UpdateRecord() { link_.UpdateRecord(); }

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    TFieldEditLink link_;
};

// An edit and a read-only text of `field` of `source` at `geometry`, named
// for the tests.
TDBEdit* boundEdit(QWidget* parent, const char* name, TDataSource* source, const char* field,
                   const QRect& geometry);
class TDBText;
TDBText* boundText(QWidget* parent, const char* name, TDataSource* source, const char* field,
                   const QRect& geometry);

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
