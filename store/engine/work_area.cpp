#include "work_area.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <chrono>
#include <thread>

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

WorkArea::WorkArea(std::string alias, std::unique_ptr<DbfTable> table,
                   const AreaSettings& settings)
    : alias_(std::move(alias)), table_(std::move(table)), settings_(settings) {
    record_ = table_->blankRecord();
    recno_ = table_->recordCount() + 1;
}

WorkArea::~WorkArea() {
    try {
        flushPendingAppend();
    } catch (...) {
        // Closing never throws; the row itself is already in the file.
    }
    unlock(0);
    // The journal file goes with the last work area that holds it, unless a
    // change is under way (its writer holds the header lock).
    changes_.reset();
    if (journal_) {
        try {
            if (table_->lockHeader(false)) {
                Journal::release(std::move(journal_), table_->path());
                table_->unlockHeader();
            }
        } catch (...) {
            table_->unlockHeader();
        }
        journal_.reset();
    }
}

void WorkArea::beginCall() {
    ++call_;
    if (table_->mode() == DbfTable::Mode::Exclusive) return;
    table_->invalidateCache();
    indexesSynced_ = 0;
}

// Indexes are checked against the file only when a call reads them: writes
// check under their own lock anyway.
void WorkArea::syncIndexes() {
    // Only the order being read; the others are checked when written.
    if (indexesSynced_ == order_ || order_ == 0) return;
    indexesSynced_ = order_;
    currentIndex()->syncWithFile();
}

void WorkArea::checkPosition() const {
#ifndef NDEBUG
    assert(record_.size() == table_->recordLength());
    assert(order_ >= 0 && static_cast<size_t>(order_) <= indexes_.size());
    if (eof_) {
        assert(recno_ >= 1);
        assert(!appendPending_);
        assert(std::all_of(record_.begin(), record_.end(), [](unsigned char c) { return c == ' '; }));
    } else {
        assert(recno_ >= 1 && recno_ <= table_->recordCount());
    }
    assert(!pendingNextIsCurrent_ || (order_ > 0 && cursor_.valid));
    assert(!rangeActive_ ||
           (query_ && rangeOrder_ >= 1 && static_cast<size_t>(rangeOrder_) <= indexes_.size()));
#endif
}

// ---- reading ----

const unsigned char* WorkArea::fetch(uint32_t recno) {
    if (recno > table_->recordCount()) table_->refreshCount();
    const unsigned char* image;
    // Rows a little ahead of the last one (record order, or an index whose
    // keys follow the record order, as the till's tickets do) are read in
    // blocks. The block lives for one call in shared mode, where others may
    // write, and until our own next write in exclusive mode.
    // A block is read only after a few such steps in a row, so that a walk
    // in random order does not pay for a block per stray neighbour.
    bool nearAhead = recno >= lastFetched_ && recno - lastFetched_ <= 8;
    nearStreak_ = nearAhead ? nearStreak_ + 1 : 0;
    bool blockAlive = fetchCall_ == call_ || table_->mode() == DbfTable::Mode::Exclusive;
    if (blockAlive && (table_->isCached(recno) || (nearAhead && nearStreak_ >= 3))) {
        image = table_->cachedRecord(recno);
    } else {
        table_->readRecord(recno, record_.data());
        image = record_.data();
    }
    lastFetched_ = recno;
    fetchCall_ = call_;
    return image;
}

bool WorkArea::visible(uint32_t recno, const unsigned char* image) const {
    if (settings_.deleted && image[0] == kDbfDeletedFlag) return false;
    if (query_) {
        EvalContext ctx{image, recno, settings_.exact};
        if (!query_->eval(ctx).logical) return false;
    }
    return true;
}

void WorkArea::position(uint32_t recno, const unsigned char* image) {
    if (image != record_.data()) std::copy(image, image + record_.size(), record_.begin());
    recno_ = recno;
    eof_ = false;
    bof_ = false;
}

void WorkArea::goEof() {
    table_->refreshCount();
    recno_ = table_->recordCount() + 1;
    record_ = table_->blankRecord();
    eof_ = true;
    cursor_.valid = false;
    pendingNextIsCurrent_ = false;
    cursorSynced_ = true;  // at the end: next stays there, previous is the last
}

uint32_t WorkArea::recCount() {
    table_->refreshCount();
    return table_->recordCount();
}

// ---- candidates: the rows of the current order, before visibility ----

// The range depends on the exact setting, which may change while a query
// stays in force (a partial seek turns it off): plan it again then.
bool WorkArea::rangeInUse() {
    if (rangeExact_ != settings_.exact) planAssistedRange();
    return rangeActive_ && rangeOrder_ == order_;
}

bool WorkArea::inRange(const NtxCursor& c) {
    if (!rangeInUse()) return true;
    return c.key.compare(0, rangeLen_, rangeKey_, 0, rangeLen_) == 0;
}

// An entry outside the range ends a move, unless the move started before the
// range (from a row the query hides) and heads into it, or after it and back.
uint32_t WorkArea::fromCursor(bool ok, Dir dir) {
    if (ok && !inRange(cursor_)) {
        int side = cursor_.key.compare(0, rangeLen_, rangeKey_, 0, rangeLen_);
        if (dir == Dir::Forward && side < 0) return candidateFirst();
        if (dir == Dir::Backward && side > 0) return candidateLast();
        ok = false;
    }
    if (!ok) {
        cursor_.valid = false;
        return 0;
    }
    return cursor_.recno;
}

uint32_t WorkArea::candidateFirst() {
    syncIndexes();
    NtxIndex* ix = currentIndex();
    if (!ix) {
        table_->refreshCount();
        return table_->recordCount() >= 1 ? 1 : 0;
    }
    cursorSynced_ = true;
    if (rangeInUse()) return fromCursor(ix->seek(cursor_, rangeKey_, rangeLen_), Dir::Forward);
    return fromCursor(ix->first(cursor_), Dir::Forward);
}

uint32_t WorkArea::candidateLast() {
    syncIndexes();
    NtxIndex* ix = currentIndex();
    if (!ix) {
        table_->refreshCount();
        return table_->recordCount();
    }
    cursorSynced_ = true;
    if (rangeInUse()) {
        // Stand after the range, then step back into it.
        std::string after = rangeKey_.substr(0, rangeLen_);
        while (!after.empty() && static_cast<unsigned char>(after.back()) == 0xFF) after.pop_back();
        bool ok;
        if (after.empty()) {
            ok = ix->last(cursor_);
        } else {
            after.back() = static_cast<char>(static_cast<unsigned char>(after.back()) + 1);
            ok = ix->seek(cursor_, after, after.size()) ? ix->prev(cursor_) : ix->last(cursor_);
        }
        return fromCursor(ok, Dir::Backward);
    }
    return fromCursor(ix->last(cursor_), Dir::Backward);
}

void WorkArea::syncCursor() {
    syncIndexes();
    if (cursorSynced_) return;
    cursorSynced_ = true;
    pendingNextIsCurrent_ = false;  // said of the cursor being replaced
    NtxIndex* ix = currentIndex();
    if (!ix || eof_) {
        cursor_.valid = false;
        return;
    }
    // Find the current row in the index, or the place where it would be.
    std::string key = ix->makeKey(record_.data(), recno_, settings_.exact);
    if (ix->find(cursor_, key, recno_)) return;
    if (!ix->seek(cursor_, key, key.size())) return;
    while (cursor_.valid && cursor_.key == key && cursor_.recno < recno_) ix->next(cursor_);
    // The cursor now stands on the entry after the row: mark it so that the
    // next forward move takes it as is.
    cursor_.recno = cursor_.valid ? cursor_.recno : 0;
    pendingNextIsCurrent_ = cursor_.valid;
}

uint32_t WorkArea::candidateNext() {
    NtxIndex* ix = currentIndex();
    if (!ix) {
        if (eof_) return 0;
        uint32_t r = recno_ + 1;
        if (r > table_->recordCount()) table_->refreshCount();
        return r <= table_->recordCount() ? r : 0;
    }
    // At the end the cursor is invalid (goEof), unless a scan from the end
    // (goTop, goBottom) already stands on a hidden entry: step on from it.
    syncCursor();
    if (pendingNextIsCurrent_) {
        pendingNextIsCurrent_ = false;
        return fromCursor(true, Dir::Forward);
    }
    if (!cursor_.valid) return 0;
    return fromCursor(ix->next(cursor_), Dir::Forward);
}

uint32_t WorkArea::candidatePrev() {
    NtxIndex* ix = currentIndex();
    if (!ix) {
        if (eof_) return candidateLast();
        return recno_ > 1 ? recno_ - 1 : 0;
    }
    syncCursor();
    pendingNextIsCurrent_ = false;
    if (!cursor_.valid) return candidateLast();
    return fromCursor(ix->prev(cursor_), Dir::Backward);
}

// ---- moves ----

bool WorkArea::moveToVisible(uint32_t r, Dir dir) {
    while (r != 0) {
        const unsigned char* image = fetch(r);
        if (visible(r, image)) {
            position(r, image);
            return true;
        }
        if (!currentIndex()) {
            // Record order: step on from the row just passed over, which is
            // not the current row (that one may be far away or at the end).
            if (dir == Dir::Backward) {
                --r;
                continue;
            }
            if (++r > table_->recordCount()) table_->refreshCount();
            if (r > table_->recordCount()) r = 0;
            continue;
        }
        r = dir == Dir::Forward ? candidateNext() : candidatePrev();
    }
    return false;
}

void WorkArea::goTop() {
    flushPendingAppend();
    pendingNextIsCurrent_ = false;
    cursorSynced_ = true;
    if (!moveToVisible(candidateFirst(), Dir::Forward)) {
        goEof();
        bof_ = true;
    } else {
        bof_ = false;
    }
    checkPosition();
}

void WorkArea::goBottom() {
    flushPendingAppend();
    pendingNextIsCurrent_ = false;
    cursorSynced_ = true;
    if (!moveToVisible(candidateLast(), Dir::Backward)) {
        goEof();
        bof_ = true;
    }
    checkPosition();
}

void WorkArea::skip(long n) {
    flushPendingAppend();
    struct Check {
        const WorkArea& wa;
        ~Check() { wa.checkPosition(); }
    } check{*this};
    if (n == 0) {
        if (!eof_) position(recno_, fetch(recno_));
        return;
    }
    for (long i = 0; i < std::labs(n); ++i) {
        if (n > 0) {
            if (eof_) return;
            // Stepping forward from a row hidden since (deleted, filtered)
            // still starts from that row's place.
            if (!moveToVisible(candidateNext(), Dir::Forward)) {
                goEof();
                return;
            }
        } else {
            if (!moveToVisible(candidatePrev(), Dir::Backward)) {
                goTop();
                bof_ = true;
                return;
            }
        }
    }
}

void WorkArea::go(long recno) {
    flushPendingAppend();
    pendingNextIsCurrent_ = false;
    table_->refreshCount();
    if (recno < 1 || static_cast<uint64_t>(recno) > table_->recordCount()) {
        goEof();
        bof_ = false;
        return;
    }
    uint32_t r = static_cast<uint32_t>(recno);
    table_->readRecord(r, record_.data());
    lastFetched_ = r;
    position(r, record_.data());
    cursorSynced_ = false;
    checkPosition();
}

bool WorkArea::currentVisible() {
    if (eof_) return false;
    table_->readRecord(recno_, record_.data());
    return visible(recno_, record_.data());
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

// ---- locks ----

bool WorkArea::rlock(uint32_t recno) {
    if (recno < 1 || recno > recCount()) return false;
    if (locks_.count(recno)) return true;
    // A short wait: the other holder is usually just finishing a write.
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (table_->lockRecord(recno, false)) {
            locks_.insert(recno);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void WorkArea::unlock(uint32_t recno) {
    if (recno == 0) {
        for (uint32_t r : locks_) table_->unlockRecord(r);
        locks_.clear();
    } else if (locks_.erase(recno)) {
        table_->unlockRecord(recno);
    }
}

bool WorkArea::locked(uint32_t recno) const { return locks_.count(recno) != 0; }

// ---- query ----

std::unique_ptr<Expression> WorkArea::compile(const std::string& text) const {
    return Expression::compile(text, table_->fields());
}

void WorkArea::setQuery(const std::string& text) {
    std::string trimmed = text;
    while (!trimmed.empty() && std::isspace(static_cast<unsigned char>(trimmed.back()))) trimmed.pop_back();
    if (trimmed.empty()) {
        query_.reset();
        queryText_.clear();
        rangeActive_ = false;
        return;
    }
    auto q = compile(text);
    if (q->resultType() != Value::Type::Logical)
        throw ExpressionError("Query is not a logical expression: " + text);
    query_ = std::move(q);
    queryText_ = text;
    planAssistedRange();
}

// Looks for an open index whose key is the field compared with a constant;
// moves in that order then visit only the entries of that key.
void WorkArea::planAssistedRange() {
    rangeActive_ = false;
    rangeExact_ = settings_.exact;
    if (!query_) return;
    for (const auto& eq : query_->fieldEqualities()) {
        for (size_t i = 0; i < indexes_.size(); ++i) {
            NtxIndex& ix = *indexes_[i];
            const NtxHeader& h = ix.header();
            if (h.unique || h.descending || ix.hasFor()) continue;
            bool upper = false;
            if (ix.keyExpression().simpleKeyField(&upper) != eq.fieldIndex) continue;
            std::string key = eq.constant;
            if (upper)
                for (auto& c : key)  // as UPPER() does: a to z only, whatever the locale
                    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            if (settings_.exact) {
                while (!key.empty() && key.back() == ' ') key.pop_back();
                if (key.size() > h.keySize) continue;  // nothing can match; keep it plain
                key.resize(h.keySize, ' ');
            } else if (key.empty() || key.size() > h.keySize) {
                continue;
            }
            rangeActive_ = true;
            rangeOrder_ = static_cast<int>(i) + 1;
            rangeKey_ = key;
            rangeLen_ = key.size();
            return;
        }
    }
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
