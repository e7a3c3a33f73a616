#include "controls/db_edit.h"

#include <QFocusEvent>

#include "common/dialogs.h"
#include "common/field_text.h"
#include "store/apollo_table.h"

TDBEdit::TDBEdit(const QString& name, QWidget* parent)
    : QLineEdit(parent),
      link_(this, [this] { return text(); }, [this](const QString& t) { setText(t); }) {
    setObjectName(name);
    connect(this, &QLineEdit::textEdited, this, guarded([this] { link_.textTyped(); }));
}

void TDBEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    link_.focusLeft(event->reason());
}

TDBText::TDBText(const QString& name, QWidget* parent) : QLabel(parent) {
    setObjectName(name);
    connect(&link_, &TFieldDataLink::changed, this, &TDBText::showField);
    showField();
}

void TDBText::showField() {
    TField* f = link_.field();
    setText(f ? fieldDisplayText(*f) : QString());
}

namespace {
template <class Control>
Control* bound(QWidget* parent, const char* name, TDataSource* source, const char* field,
               const QRect& geometry) {
    auto* c = new Control(QLatin1String(name), parent);
    c->setGeometry(geometry);
    c->setDataSource(source);
    c->setDataField(QLatin1String(field));
    return c;
}
}  // namespace

TDBEdit* boundEdit(QWidget* parent, const char* name, TDataSource* source, const char* field,
                   const QRect& geometry) {
    return bound<TDBEdit>(parent, name, source, field, geometry);
}

TDBText* boundText(QWidget* parent, const char* name, TDataSource* source, const char* field,
                   const QRect& geometry) {
    return bound<TDBText>(parent, name, source, field, geometry);
}
