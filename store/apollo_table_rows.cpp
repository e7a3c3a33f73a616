// A table handle's moves and its changes to rows: insert, edit, post,
// cancel, delete.
#include "store/apollo_table.h"

#include "store/apollo_env.h"
#include "store/apollo_errors.h"
#include "store/sde_api.h"
#include "store/sde_binding.h"

// ---- moves ----

void TApolloTable::CheckBrowseMode() { checkBrowseMode(); }

void TApolloTable::checkBrowseMode() {
    if (Editing()) {
        updateRecord();
        if (modified_)
            Post();
        else
            Cancel();
    }
}

void TApolloTable::First() {
    requireOpen();
    checkBrowseMode();
    select();
    sde().sx_GoTop();
    eof_ = false;
    readCurrent();
    bof_ = true;
    emit positionSettled();
}

void TApolloTable::Last() {
    requireOpen();
    checkBrowseMode();
    select();
    sde().sx_GoBottom();
    bof_ = false;
    readCurrent();
    eof_ = true;
    emit positionSettled();
}

void TApolloTable::Skip(int n) {
    requireOpen();
    checkBrowseMode();
    select();
    if (recno_ == 0) {  // an empty view stays empty
        sde().sx_GoTop();
        readCurrent();
        return;
    }
    if (sde().sx_RecNo() != recno_) sde().sx_Go(recno_);
    sde().sx_Skip(n);
    bool pastEnd = n > 0 && sde().sx_Eof();
    bool beforeStart = n < 0 && sde().sx_Bof();
    eof_ = bof_ = false;
    readCurrent();
    if (pastEnd) eof_ = true;
    if (beforeStart) bof_ = true;
    emit positionSettled();
}

int TApolloTable::RecordCount() {
    if (!Active()) return 0;
    select();
    return static_cast<int>(sde().sx_RecCount());
}

// ---- changes ----

void TApolloTable::Insert() {
    requireChangeable();
    checkBrowseMode();
    recnoBeforeInsert_ = recno_;
    clearValues();
    modified_ = false;
    setState(TDataSetState::dsInsert);
    emit dataChanged();
}

void TApolloTable::Edit() {
    requireChangeable();
    if (Editing()) return;
    if (recno_ == 0) {  // nothing to change: a new row
        Insert();
        return;
    }
    select();
    if (!sde().sx_Rlock(recno_)) engineFailed(ApolloText::kLockFailure, EngineReason::Hidden);
    sde().sx_Go(recno_);
    readCurrent();
    modified_ = false;
    setState(TDataSetState::dsEdit);
}

void TApolloTable::Post() {
    if (!Editing())
        throw EDatabaseError(name_ + QStringLiteral(": ") + ApolloText::kNotEditing);
    updateRecord();
    select();
    const bool inserting = state_ == TDataSetState::dsInsert;
    // Start from the stored image so that undeclared fields keep their values.
    QByteArray image(recordSize_, ' ');
    if (!inserting) {
        sde().sx_Go(recno_);
        sde().sx_GetRecord(reinterpret_cast<unsigned char*>(image.data()));
    }
    // Every conversion happens before anything is written: a refused value
    // leaves the file as it was and the handle still editing.
    for (auto& f : fields_) f->writeTo(image, TApolloEnv::current().epoch);
    // A new row goes in whole with the keys of every open index, or not at
    // all; an edit leaves the old image and keys when a write fails.
    if (inserting) {
        image[0] = ' ';
    } else {
        if (sde().sx_Deleted()) image[0] = '*';
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(image.constData());
    if (!(inserting ? sde().sx_AppendRecord(bytes) : sde().sx_PutRecord(bytes))) {
        const EApolloError failure = engineError(QString());
        sde().sx_Unlock(0);
        throw failure;
    }
    long posted = sde().sx_RecNo();
    sde().sx_Unlock(0);
    posted_ = image;
    modified_ = false;
    state_ = TDataSetState::dsBrowse;
    // The posted row is current when it belongs to the view; a new row
    // outside the filter leaves the row that was current before Insert.
    sde().sx_Go(posted);
    if (inserting && !sde().sx_Visible()) {
        goToRow(recnoBeforeInsert_);
    } else {
        if (!inserting || !lastOfView(posted)) ++viewGeneration_;
        eof_ = bof_ = false;
        readCurrent();
    }
    emit stateChanged();
}

// Whether the visible row `recno` ends the view; the engine stands on it
// again afterwards.
bool TApolloTable::lastOfView(long recno) {
    sde().sx_Skip(1);
    const bool last = sde().sx_Eof() != 0;
    sde().sx_Go(recno);
    return last;
}

void TApolloTable::DisableControls() {
    if (controlsDisabled_++ > 0) return;
    stateWhenDisabled_ = state_;
    blockSignals(true);
}

void TApolloTable::EnableControls() {
    if (controlsDisabled_ == 0 || --controlsDisabled_ > 0) return;
    blockSignals(false);
    if (state_ != stateWhenDisabled_) emit stateChanged();
    emit dataChanged();
    emit positionSettled();
}

QVariant TApolloTable::PostedValue(const QString& field) const {
    TField copy = *FieldByName(field);
    copy.readFrom(posted_);
    return copy.Value();
}

void TApolloTable::FlushBuffers() {
    requireOpen();
    if (!sde().sx_Commit()) engineFailed(QString());
}

void TApolloTable::Cancel() {
    if (!Editing()) return;
    select();
    const bool inserting = state_ == TDataSetState::dsInsert;
    if (sde().sx_Locked(recno_)) sde().sx_Unlock(0);
    modified_ = false;
    state_ = TDataSetState::dsBrowse;
    goToRow(inserting ? recnoBeforeInsert_ : recno_);
    emit stateChanged();
}

void TApolloTable::Delete() {
    ++viewGeneration_;
    requireChangeable();
    if (state_ == TDataSetState::dsInsert) {
        Cancel();
        return;
    }
    checkBrowseMode();
    if (recno_ == 0) throw EApolloError(ApolloText::kEmptyTable);
    select();
    const long current = recno_;
    sde().sx_Go(current);
    sde().sx_Skip(1);
    const long next = sde().sx_Eof() ? 0 : sde().sx_RecNo();
    sde().sx_Go(current);
    if (!sde().sx_Delete()) engineFailed(QString());
    if (next)
        sde().sx_Go(next);
    else
        sde().sx_GoBottom();
    settle();
}

void TApolloTable::GoTo(long recno) {
    requireOpen();
    checkBrowseMode();
    select();
    goToRow(recno);
}

void TApolloTable::Refresh() {
    ++viewGeneration_;
    requireOpen();
    checkBrowseMode();
    select();
    goToRow(recno_);
}

void TApolloTable::applySettings() {
    ++viewGeneration_;
    select();
    sde().sx_SetDeleted(TApolloEnv::current().deleted ? 1 : 0);
    if (state_ == TDataSetState::dsBrowse) goToRow(recno_);
}
