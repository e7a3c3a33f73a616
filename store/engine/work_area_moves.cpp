// Moves of a work area: the candidate rows of the current order (record
// order, an index, an index range that a query narrows), then the first
// of them that is visible.
#include "work_area.h"

#include <cstdlib>

namespace sde {

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

}  // namespace sde
