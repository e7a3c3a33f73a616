// Changes of a work area: record writes, appends and index operations, each
// one journaled change of the table and its open indexes.
#include "work_area.h"

#include <algorithm>
#include <cassert>

#include "errors.h"

namespace sde {

// The table's rows in record order, read in blocks, for index builds.
bool WorkArea::TableRecords::next(const unsigned char** image, uint32_t* recno) {
    if (++at_ > t_.recordCount()) return false;
    *image = t_.cachedRecord(at_);
    *recno = at_;
    return true;
}

// One change to the table and its open indexes, journaled (journal.h):
// under the header lock (shared mode), a journal naming the files is
// written first; commit() removes it; leaving without commit() writes the
// old bytes back and brings the work area's view of the files in line.
class WorkArea::Change {
public:
    enum class Files { TableAndIndexes, Table, Indexes };

    Change(WorkArea& wa, Files which) : wa_(wa), journal_(lockAndOpenJournal(wa)) {
        assert(!journal_.active());
        DbfTable& t = *wa.table_;
        try {
            if (which != Files::Indexes) {
                t.vouchForChange();
                journal_.add(t.file(), kDbfDate + kDbfUpdatedSize);
            }
            if (which != Files::Table)
                for (auto& ix : wa.indexes_) {
                    ix->vouchForChange();
                    journal_.add(ix->file(), kNtxChangingSize);
                }
            journal_.begin();
        } catch (...) {
            journal_.rollBack();
            t.unlockHeader();
            throw;
        }
    }
    ~Change() {
        if (journal_.active()) {
            journal_.rollBack();
            try {
                wa_.reloadAfterRollback();
            } catch (...) {
            }
        }
        wa_.table_->unlockHeader();
    }
    void commit() { journal_.commit(); }

private:
    // Takes the header lock, rolls back a journal left by a writer that
    // died since the table was opened, and gives the journal file.
    static Journal& lockAndOpenJournal(WorkArea& wa) {
        DbfTable& t = *wa.table_;
        if (!t.lockHeader(true)) throw LockedError("Cannot lock the table header");
        try {
            return wa.changeJournal();
        } catch (...) {
            t.unlockHeader();
            throw;
        }
    }

    WorkArea& wa_;
    Journal& journal_;
};

File& WorkArea::journalFile() {
    // Held exclusively, the table's journal is ours alone: a journal left by
    // a writer that died was rolled back when the table was opened.
    if (journal_ && table_->mode() == DbfTable::Mode::Exclusive) return *journal_;
    if (!journal_) journal_ = Journal::openFor(table_->path());
    // Hot, it belongs to a writer that died (it held the header lock, now ours).
    if (Journal::hot(*journal_) && Journal::recover(table_->path())) reloadAfterRollback();
    return *journal_;
}

Journal& WorkArea::changeJournal() {
    File& file = journalFile();
    if (!changes_ || &changes_->file() != &file) changes_ = std::make_unique<Journal>(file);
    return *changes_;
}

void WorkArea::reloadAfterRollback() {
    table_->reloadAfterRollback();
    for (auto& ix : indexes_) ix->reloadAfterRollback();
    cursorSynced_ = false;
}

// ---- writing ----

void WorkArea::getRecord(unsigned char* out) {
    if (!eof_ && table_->mode() != DbfTable::Mode::Exclusive && !appendPending_)
        table_->readRecord(recno_, record_.data());  // what others wrote last
    std::copy(record_.begin(), record_.end(), out);
}

void WorkArea::updateKeys(const unsigned char* oldImage, const unsigned char* newImage,
                          bool isNew) {
    for (auto& ix : indexes_) {
        std::string newKey = ix->makeKey(newImage, recno_, true);
        bool newIn = ix->passesFor(newImage, recno_);
        if (isNew) {
            if (newIn) ix->insert(newKey, recno_);
            continue;
        }
        std::string oldKey = ix->makeKey(oldImage, recno_, true);
        bool oldIn = ix->passesFor(oldImage, recno_);
        if (oldKey == newKey && oldIn == newIn) continue;
        if (oldIn) ix->remove(oldKey, recno_);
        if (newIn) ix->insert(newKey, recno_);
    }
}

void WorkArea::putRecord(const unsigned char* image) {
    if (eof_) throw EngineError("No current record to write");
    if (!table_->writable()) throw EngineError("Table is open read only");
    std::vector<unsigned char> old(record_.size());
    if (appendPending_) {
        // The row of an appendBlank: its image goes in first, then its keys
        // (a key that fails leaves the row in the table, as a reindex finds it).
        // One write of the whole image: a process killed meanwhile leaves
        // the old image or the new one, so no journal is needed for it.
        old = table_->blankRecord();
        table_->writeRecord(recno_, image, old.data());
        std::copy(image, image + record_.size(), record_.begin());
        appendPending_ = false;
        cursorSynced_ = false;
        if (!indexes_.empty()) {
            Change change(*this, Change::Files::Indexes);
            updateKeys(old.data(), image, true);
            change.commit();
        }
    } else {
        // An edit: the new image and its keys, or the old image and the old keys.
        Change change(*this, Change::Files::TableAndIndexes);
        table_->readRecord(recno_, old.data());
        table_->writeRecord(recno_, image, old.data());
        updateKeys(old.data(), image, false);
        change.commit();
        std::copy(image, image + record_.size(), record_.begin());
    }
    cursorSynced_ = false;
    checkPosition();
}

void WorkArea::appendRecord(const unsigned char* image) {
    flushPendingAppend();
    if (!table_->writable()) throw EngineError("Table is open read only");
    uint32_t r;
    {
        Change change(*this, Change::Files::TableAndIndexes);
        table_->refreshCount();
        r = table_->appendRecord(image);
        for (auto& ix : indexes_)
            if (ix->passesFor(image, r)) ix->insert(ix->rowKey(image, r), r);
        change.commit();
    }
    std::copy(image, image + record_.size(), record_.begin());
    recno_ = r;
    eof_ = bof_ = false;
    cursorSynced_ = false;
    checkPosition();
}

void WorkArea::commit() {
    flushPendingAppend();
    table_->sync();
    for (auto& ix : indexes_) ix->sync();
}

void WorkArea::appendBlank() {
    flushPendingAppend();
    if (!table_->writable()) throw EngineError("Table is open read only");
    uint32_t r;
    std::vector<unsigned char> blank = table_->blankRecord();
    // A killed process leaves the row whole or not at all: the count is
    // taken from the file size, so no journal is needed for a blank row.
    if (!table_->lockHeader(true)) throw LockedError("Cannot lock the table header");
    try {
        table_->refreshCount();
        r = table_->appendRecord(blank.data());
    } catch (...) {
        table_->unlockHeader();
        throw;
    }
    table_->unlockHeader();
    record_ = blank;
    recno_ = r;
    eof_ = bof_ = false;
    appendPending_ = true;
    cursorSynced_ = false;
    checkPosition();
}

void WorkArea::flushPendingAppend() {
    if (!appendPending_) return;
    appendPending_ = false;
    if (indexes_.empty()) return;
    Change change(*this, Change::Files::Indexes);
    updateKeys(record_.data(), record_.data(), true);
    change.commit();
}

void WorkArea::setDeletedFlag(bool deleted) {
    if (eof_) return;
    std::vector<unsigned char> image(record_.size());
    if (appendPending_)
        image = record_;
    else
        table_->readRecord(recno_, image.data());
    image[0] = deleted ? kDbfDeletedFlag : ' ';
    putRecord(image.data());
}

// ---- indexes ----

int WorkArea::createIndex(const std::string& path, const std::string& key, bool unique,
                          bool descending, const std::string& condition) {
    flushPendingAppend();
    // Replacing an index open here: close it first.
    for (size_t i = 0; i < indexes_.size(); ++i) {
        if (indexes_[i]->path() == path) {
            indexes_.erase(indexes_.begin() + static_cast<long>(i));
            order_ = 0;
            break;
        }
    }
    TableRecords records(*table_);
    table_->refreshCount();
    auto ix = NtxIndex::create(path, key, unique, descending, condition, table_->fields(),
                               table_->blankRecord(), records, settings_.deleted,
                               table_->mode() == DbfTable::Mode::Exclusive);
    indexes_.push_back(std::move(ix));
    order_ = static_cast<int>(indexes_.size());
    cursorSynced_ = false;
    planAssistedRange();
    return order_;
}

int WorkArea::openIndex(const std::string& path) {
    flushPendingAppend();
    for (size_t i = 0; i < indexes_.size(); ++i)
        if (indexes_[i]->path() == path) return static_cast<int>(i) + 1;
    std::unique_ptr<NtxIndex> ix;
    try {
        ix = NtxIndex::open(path, table_->writable(), table_->mode() == DbfTable::Mode::Exclusive,
                            table_->fields());
    } catch (const CorruptFileError&) {
        ix = rebuildFromTable(path);
        if (!ix) throw;
    }
    indexes_.push_back(std::move(ix));
    if (order_ == 0 && indexes_.size() == 1) order_ = 1;
    cursorSynced_ = false;
    planAssistedRange();
    return static_cast<int>(indexes_.size());
}

namespace {
std::vector<std::string>& repairedIndexes() {
    thread_local std::vector<std::string> paths;
    return paths;
}
}  // namespace

std::vector<std::string> WorkArea::takeRepairedIndexes() {
    std::vector<std::string> paths;
    paths.swap(repairedIndexes());
    return paths;
}

// The table is the source of truth: a damaged index is written again from
// its rows with the key, unique flag, order and condition its header still
// names. The new file is built under an exclusive hold, so that no other
// work area or program is reading it meanwhile; nullptr when that hold, the
// definition or the build fails.
std::unique_ptr<NtxIndex> WorkArea::rebuildFromTable(const std::string& path) {
    if (!table_->writable()) return nullptr;
    try {
        NtxHeader def = NtxIndex::readDefinition(path);
        TableRecords records(*table_);
        table_->refreshCount();
        NtxIndex::create(path, def.keyExpr, def.unique, def.descending, def.forExpr, table_->fields(),
                         table_->blankRecord(), records, settings_.deleted, true);
        auto ix = NtxIndex::open(path, true, table_->mode() == DbfTable::Mode::Exclusive, table_->fields());
        repairedIndexes().push_back(path);
        return ix;
    } catch (const EngineError&) {
        return nullptr;
    }
}

bool WorkArea::repairIndex(const std::string& path) {
    auto it = std::find_if(indexes_.begin(), indexes_.end(),
                           [&](const std::unique_ptr<NtxIndex>& ix) { return ix->path() == path; });
    if (it == indexes_.end() || !table_->writable()) return false;
    it->reset();  // our own hold would keep the rebuild out
    *it = rebuildFromTable(path);
    cursor_.valid = false;
    cursorSynced_ = false;
    pendingNextIsCurrent_ = false;
    if (!*it) {
        try {
            *it = NtxIndex::open(path, true, table_->mode() == DbfTable::Mode::Exclusive, table_->fields());
        } catch (const EngineError&) {
            // Gone from under us: the area goes on without it.
            const int removed = static_cast<int>(it - indexes_.begin()) + 1;
            indexes_.erase(it);
            if (order_ == removed) order_ = 0;
            if (order_ > removed) --order_;
        }
        planAssistedRange();
        return false;
    }
    planAssistedRange();
    return true;
}

int WorkArea::setOrder(int order) {
    flushPendingAppend();
    int previous = order_;
    if (order >= 0 && order <= static_cast<int>(indexes_.size())) order_ = order;
    cursorSynced_ = false;
    pendingNextIsCurrent_ = false;
    return previous;
}

void WorkArea::closeIndexes() {
    flushPendingAppend();
    indexes_.clear();
    order_ = 0;
    rangeActive_ = false;
    cursor_.valid = false;
    pendingNextIsCurrent_ = false;
    checkPosition();
}

void WorkArea::reindex() {
    flushPendingAppend();
    if (indexes_.empty()) return;
    Change change(*this, Change::Files::Indexes);
    for (auto& ix : indexes_) {
        TableRecords records(*table_);
        table_->refreshCount();
        ix->rebuild(records, settings_.deleted);
    }
    change.commit();
    cursorSynced_ = false;
}

void WorkArea::zap() {
    flushPendingAppend();
    if (table_->mode() != DbfTable::Mode::Exclusive)
        throw EngineError("Zap needs the table opened exclusively");
    {
        Change change(*this, Change::Files::TableAndIndexes);
        table_->zap();
        for (auto& ix : indexes_) ix->zap();
        change.commit();
    }
    goEof();
    bof_ = true;
}

bool WorkArea::seek(const std::string& text) {
    flushPendingAppend();
    found_ = false;
    NtxIndex* ix = currentIndex();
    if (!ix) throw EngineError("Seek needs an index order");
    size_t len = 0;
    syncIndexes();
    std::string key = ix->seekKey(text, settings_.exact, &len);
    pendingNextIsCurrent_ = false;
    cursorSynced_ = true;
    bool ok = ix->seek(cursor_, key, len);
    while (ok) {
        if (cursor_.key.compare(0, len, key, 0, len) != 0) break;
        const unsigned char* image = fetch(cursor_.recno);
        if (visible(cursor_.recno, image)) {
            position(cursor_.recno, image);
            found_ = true;
            checkPosition();
            return true;
        }
        ok = ix->next(cursor_);
    }
    goEof();
    checkPosition();
    return false;
}

}  // namespace sde
