#include "controls/data_link.h"

#include "common/dialogs.h"
#include "common/field_text.h"
#include "store/apollo_table.h"

void TFieldDataLink::setDataSource(TDataSource* source) {
    if (source_) disconnect(source_, nullptr, this, nullptr);
    source_ = source;
    if (source_) {
        connect(source_, &TDataSource::dataChanged, this, &TFieldDataLink::changed);
        connect(source_, &TDataSource::stateChanged, this, &TFieldDataLink::changed);
        connect(source_, &TDataSource::positionSettled, this, &TFieldDataLink::changed);
        connect(source_, &TDataSource::dataSetChanged, this, &TFieldDataLink::attach);
    }
    attach();
    emit changed();
}

void TFieldDataLink::setDataField(const QString& name) {
    field_ = name;
    emit changed();
}

void TFieldDataLink::setRecordUpdater(std::function<void()> update) {
    update_ = std::move(update);
    attach();
}

void TFieldDataLink::attach() {
    if (attached_) attached_->removeRecordUpdaters(this);
    attached_ = table();
    if (attached_ && update_) attached_->addRecordUpdater(this, update_);
}

TField* TFieldDataLink::field() const {
    TApolloTable* t = table();
    if (!t || !t->Active() || field_.isEmpty()) return nullptr;
    for (int i = 0; i < t->FieldCount(); ++i)
        if (t->Fields(i)->FieldName().compare(field_, Qt::CaseInsensitive) == 0) return t->Fields(i);
    return nullptr;
}

bool TFieldDataLink::editing() const {
    TApolloTable* t = table();
    return t && t->Editing();
}

TFieldEditLink::TFieldEditLink(QWidget* control, std::function<QString()> text,
                               std::function<void(const QString&)> setText)
    : control_(control), text_(std::move(text)), setText_(std::move(setText)) {
    connect(this, &TFieldDataLink::changed, this, &TFieldEditLink::showField);
    setRecordUpdater([this] { UpdateRecord(); });
    showField();
}

void TFieldEditLink::setDisplayFormat(const QString& mask) {
    format_ = mask;
    showField();
}

// Text the user is typing stays while the row is being edited; everything
// else follows the field.
void TFieldEditLink::showField() {
    if (modified_ && editing()) return;
    TField* f = field();
    setText_(f ? fieldDisplayText(*f, format_) : QString());
    modified_ = false;
}

void TFieldEditLink::textTyped() {
    TApolloTable* t = table();
    if (t && t->State() == TDataSetState::dsBrowse && field()) {
        const QString typed = text_();
        t->Edit();  // reads the row again, which shows the stored text
        setText_(typed);
    }
    modified_ = true;
}

void TFieldEditLink::UpdateRecord() {
    if (!modified_) return;
    TField* f = field();
    if (!f) return;
    try {
        setFieldText(*f, text_());  // a refusal leaves the text and the flag
    } catch (...) {
        control_->setFocus();
        throw;
    }
    modified_ = false;
    showField();
}

void TFieldEditLink::focusLeft(Qt::FocusReason reason) {
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return;
    if (modified_ && editing()) runGuarded([this] { UpdateRecord(); });
}
