#include "controls/data_link.h"

#include "store/apollo_table.h"

void TFieldDataLink::setDataSource(TDataSource* source) {
    if (source_) disconnect(source_, nullptr, this, nullptr);
    source_ = source;
    if (source_) {
        connect(source_, &TDataSource::dataChanged, this, &TFieldDataLink::changed);
        connect(source_, &TDataSource::stateChanged, this, &TFieldDataLink::changed);
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
    return t && (t->State() == TDataSetState::dsEdit || t->State() == TDataSetState::dsInsert);
}
