// An editable drop-down list bound to a field: the user chooses one of its
// items or types a text, which goes into the field as the edit's text does
// (see TFieldEditLink): the article window's VAT rates "0.00", "6.00",
// "21.00", read with the decimal separator rule of the typed numbers.
#pragma once

#include <QComboBox>

#include "controls/data_link.h"

class TDBComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TDBComboBox(const QString& name, QWidget* parent = nullptr);

    TDataSource* DataSource() const { return link_.DataSource(); }
    void setDataSource(TDataSource* source) { link_.setDataSource(source); }
    const QString& DataField() const { return link_.DataField(); }
    void setDataField(const QString& field) { link_.setDataField(field); }
    const QString& DisplayFormat() const { return link_.DisplayFormat(); }
    void setDisplayFormat(const QString& mask) { link_.setDisplayFormat(mask); }

    // Writes the chosen or typed text into the field when it was changed.
    void UpdateRecord() { link_.UpdateRecord(); }

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    TFieldEditLink link_;
};
