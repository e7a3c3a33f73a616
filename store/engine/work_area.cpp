// A work area's life, the reading of its rows, its record locks and its
// query. Moves are in work_area_moves.cpp, changes in work_area_changes.cpp.
#include "work_area.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <chrono>
#include <thread>

#include "errors.h"

namespace sde {

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

}  // namespace sde
