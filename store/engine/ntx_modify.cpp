// Key insertion and removal: classic B-tree splits, rotations and merges.
// Every changed page is kept aside until the change is complete, then
// written; a damaged page met on the way aborts before anything is written.
//
// Invariants of the writer's commit (checked with assert in commit()):
// - nothing reaches the file before commit(): every changed page waits in
//   pending_, and the header fields changed so far live only in hdr_;
// - the index write lock is held (or the file is open exclusively) from
//   the first page read of the change to the header write;
// - every page in pending_ is a whole page inside the file as it will be;
//   a page that existed before the change has its old bytes in originals_
//   (what rollBack() writes back), a page past the old end is new;
// - new pages are written first, then the pages that link to them, then
//   the header: an old page never links to a page not yet written, and a
//   reader that sees the new version counter finds every page in place;
// - the version counter goes up by exactly one per commit;
// - the root and the free list head in the header are pages of the file.
#include <algorithm>
#include <cassert>
#include <cstring>

#include "dbf_table.h"
#include "errors.h"
#include "ntx_index.h"
#include "ntx_node.h"
#include "ntx_page.h"

namespace sde {

class NtxWriter {
public:
    explicit NtxWriter(NtxIndex& ix) : ix_(ix), savedRoot_(ix.hdr_.root),
        savedFree_(ix.hdr_.freeHead), savedSize_(ix.fileSize_), savedVersion_(ix.hdr_.version) {}

    ~NtxWriter() {
        if (!committed_) {  // abandoned: the tree in memory is as before
            ix_.pending_.clear();
            ix_.hdr_.root = savedRoot_;
            ix_.hdr_.freeHead = savedFree_;
            ix_.fileSize_ = savedSize_;
        }
    }

    NtxPage& mut(uint32_t off) {
        auto it = ix_.pending_.find(off);
        if (it != ix_.pending_.end()) return *it->second;
        auto original = ix_.page(off);
        originals_[off] = original;
        auto copy = std::make_shared<NtxPage>(*original);
        auto& ref = *copy;
        ix_.pending_[off] = std::move(copy);
        return ref;
    }

    NtxNode node(uint32_t off) { return ntxDecode(*ix_.page(off), ix_.hdr_); }
    void store(uint32_t off, const NtxNode& n) { ntxEncode(n, ix_.hdr_, mut(off)); }

    uint32_t allocPage() {
        uint32_t off;
        if (ix_.hdr_.freeHead != 0) {
            off = ix_.hdr_.freeHead;
            NtxPage raw{};
            ix_.file_->readExact(off, raw.data(), raw.size(), ix_.path_.c_str());
            unsigned slot = readLe16(raw.data() + kNtxSlotTable);  // item 0
            if (slot < kNtxSlotTable || slot + 4 > kNtxPageSize)
                throw DamagedIndexError(ix_.path_, "Damaged index " + ix_.path_ + ": bad free page");
            uint32_t nextFree = readLe32(raw.data() + slot + kNtxItemChild);
            if (nextFree % kNtxPageSize || nextFree >= ix_.fileSize_ || nextFree == off)
                throw DamagedIndexError(ix_.path_, "Damaged index " + ix_.path_ + ": bad free page chain");
            ix_.hdr_.freeHead = nextFree;
            originals_[off] = std::make_shared<const NtxPage>(raw);
        } else {
            if (ix_.fileSize_ + kNtxPageSize > 0xFFFFFC00ULL)
                throw EngineError("Index file is full: " + ix_.path_);
            off = static_cast<uint32_t>(ix_.fileSize_);
            ix_.fileSize_ += kNtxPageSize;
        }
        auto p = std::make_shared<NtxPage>();
        p->fill(0);
        ix_.pending_[off] = std::move(p);
        return off;
    }

    void freePage(uint32_t off) {
        NtxPage& p = mut(off);
        NtxNode empty;
        empty.rightChild = ix_.hdr_.freeHead;  // the chain runs through entry 0
        ntxEncode(empty, ix_.hdr_, p);
        ix_.hdr_.freeHead = off;
    }

    void commit() {
        // New pages first, then the pages that point to them, then the header.
        std::vector<uint32_t> order;
        for (auto& [off, pg] : ix_.pending_) order.push_back(off);
        auto isNew = [&](uint32_t o) { return o >= savedSize_; };
        std::stable_partition(order.begin(), order.end(), isNew);
        assert(std::is_partitioned(order.begin(), order.end(), isNew));
        assert(ix_.exclusive_ || ix_.writeLocked_);
        for ([[maybe_unused]] uint32_t off : order) {
            assert(off != 0 && off % kNtxPageSize == 0 && off < ix_.fileSize_);
            assert(isNew(off) || originals_.count(off) == 1);
        }
        assert(ix_.hdr_.root != 0 && ix_.hdr_.root % kNtxPageSize == 0 &&
               ix_.hdr_.root < ix_.fileSize_);
        assert(ix_.hdr_.freeHead % kNtxPageSize == 0 && ix_.hdr_.freeHead < ix_.fileSize_);
        assert(ix_.hdr_.version == savedVersion_);
        size_t started = 0;  // writes begun, a failed one included
        try {
            std::vector<uint64_t> offsets(order.begin(), order.end());
            std::vector<const unsigned char*> present;
            for (uint32_t off : order) {
                auto it = originals_.find(off);
                present.push_back(it != originals_.end() ? it->second->data() : nullptr);
            }
            ix_.file_->willOverwrite(offsets, present, kNtxPageSize);
            for (uint32_t off : order) {
                ++started;
                ix_.file_->writeAt(off, ix_.pending_[off]->data(), kNtxPageSize);
            }
            ++started;
            ix_.hdr_.version = static_cast<uint16_t>(ix_.hdr_.version + 1);
            ix_.writeHeaderFields();
            ix_.ownVersion_ = ix_.hdr_.version;
            ix_.ownVersionValid_ = true;
        } catch (const EngineError&) {
            rollBack(order, started);
            throw;
        }
        for (auto& [off, pg] : ix_.pending_) ix_.cachePut(off, pg);
        ix_.pending_.clear();
        ++ix_.generation_;
        committed_ = true;
    }

    // After a failed write (disk full, I/O error): the pages written so far
    // get their old bytes back, the file its old size and the header its old
    // fields, so that the file stays the tree it was. Best effort: a disk
    // that keeps failing leaves what it leaves.
    void rollBack(const std::vector<uint32_t>& order, size_t started) {
        ix_.ownVersionValid_ = false;
        ix_.heldKeyKnown_ = false;
        ix_.hdr_.version = savedVersion_;
        ix_.hdr_.root = savedRoot_;
        ix_.hdr_.freeHead = savedFree_;
        try {
            for (size_t i = 0; i < started && i < order.size(); ++i) {
                auto it = originals_.find(order[i]);
                if (it != originals_.end())
                    ix_.file_->writeAt(order[i], it->second->data(), kNtxPageSize);
            }
            ix_.file_->truncate(savedSize_);
            if (started > order.size()) ix_.writeHeaderFields();
        } catch (const EngineError&) {
        }
    }

    // Inserts item at position pos of the node at path[level]; the entry that
    // follows it gets `rightOfItem` as its child when that is not zero.
    void insertAt(std::vector<NtxCursor::Step>& path, size_t level, NtxItem item,
                  uint32_t rightOfItem) {
        const auto& h = ix_.hdr_;
        uint32_t off = path[level].page;
        int pos = path[level].pos;
        auto pg = ix_.page(off);
        NtxNodeView v{pg->data()};
        int n = v.count();
        if (n < h.maxKeys && rightOfItem == 0) {
            // The common case, done in place as Clipper does: shift the slot
            // table and write the item into the first unused slot.
            NtxPage& p = mut(off);
            unsigned char* table = p.data() + kNtxSlotTable;
            uint16_t freeSlot = readLe16(table + 2 * (n + 1));
            std::memmove(table + 2 * (pos + 1), table + 2 * pos, 2 * static_cast<size_t>(n + 1 - pos));
            writeLe16(table + 2 * pos, freeSlot);
            unsigned char* it = p.data() + freeSlot;
            writeLe32(it + kNtxItemChild, item.child);
            writeLe32(it + kNtxItemRecno, item.recno);
            std::memcpy(it + kNtxItemKey, item.key.data(), h.keySize);
            writeLe16(p.data() + kNtxKeyCountField, static_cast<uint16_t>(n + 1));
            return;
        }
        NtxNode node = ntxDecode(*pg, h);
        node.items.insert(node.items.begin() + pos, item);
        if (rightOfItem != 0) {
            if (static_cast<size_t>(pos + 1) < node.items.size())
                node.items[static_cast<size_t>(pos + 1)].child = rightOfItem;
            else
                node.rightChild = rightOfItem;
        }
        if (static_cast<int>(node.items.size()) <= h.maxKeys) {
            store(off, node);
            return;
        }
        // Split: the median goes up, the left half stays in this page.
        size_t half = node.items.size() / 2;
        NtxNode left, right;
        left.items.assign(node.items.begin(), node.items.begin() + static_cast<long>(half));
        left.rightChild = node.items[half].child;
        right.items.assign(node.items.begin() + static_cast<long>(half) + 1, node.items.end());
        right.rightChild = node.rightChild;
        NtxItem median = node.items[half];
        uint32_t rightOff = allocPage();
        store(off, left);
        store(rightOff, right);
        median.child = off;
        if (level == 0) {
            uint32_t rootOff = allocPage();
            NtxNode root;
            root.items.push_back(median);
            root.rightChild = rightOff;
            store(rootOff, root);
            ix_.hdr_.root = rootOff;
            return;
        }
        insertAt(path, level - 1, median, rightOff);
    }

    // Restores the minimum fill of the node at path[level] after a removal:
    // borrows a key from a sibling that can spare one, else merges with a
    // sibling, which takes a key from the parent: then the parent's turn.
    void rebalance(std::vector<NtxCursor::Step>& path, size_t level) {
        while (level > 0) {
            const uint32_t off = path[level].page;
            NtxNode x = node(off);
            if (static_cast<int>(x.items.size()) >= ix_.hdr_.halfPage) return;
            Family f{off, std::move(x), path[level - 1].page, node(path[level - 1].page),
                     static_cast<size_t>(path[level - 1].pos)};
            if (borrowFromLeft(f) || borrowFromRight(f)) return;
            if (!mergeWithSibling(f, level - 1 == 0)) return;
            --level;
        }
    }

private:
    // An underfull node x, child j of its parent, while it is rebalanced.
    struct Family {
        uint32_t off;
        NtxNode x;
        uint32_t parentOff;
        NtxNode parent;
        size_t j;

        uint32_t childAt(size_t i) const {
            return i < parent.items.size() ? parent.items[i].child : parent.rightChild;
        }
        void setChild(size_t i, uint32_t c) {
            if (i < parent.items.size())
                parent.items[i].child = c;
            else
                parent.rightChild = c;
        }
    };

    // Rotates the left sibling's last key up into the parent and the
    // separator down into x, when the sibling has more than half a page.
    bool borrowFromLeft(Family& f) {
        if (f.j == 0) return false;
        uint32_t leftOff = f.childAt(f.j - 1);
        NtxNode left = node(leftOff);
        if (static_cast<int>(left.items.size()) <= ix_.hdr_.halfPage) return false;
        NtxItem sep = f.parent.items[f.j - 1];
        sep.child = left.rightChild;
        f.x.items.insert(f.x.items.begin(), sep);
        NtxItem up = left.items.back();
        left.items.pop_back();
        left.rightChild = up.child;
        up.child = leftOff;
        f.parent.items[f.j - 1] = up;
        store(leftOff, left);
        store(f.off, f.x);
        store(f.parentOff, f.parent);
        return true;
    }

    // The same from the right sibling: its first key goes up.
    bool borrowFromRight(Family& f) {
        if (f.j >= f.parent.items.size()) return false;
        uint32_t rightOff = f.childAt(f.j + 1);
        NtxNode right = node(rightOff);
        if (static_cast<int>(right.items.size()) <= ix_.hdr_.halfPage) return false;
        NtxItem sep = f.parent.items[f.j];
        sep.child = f.x.rightChild;
        f.x.items.push_back(sep);
        NtxItem up = right.items.front();
        right.items.erase(right.items.begin());
        f.x.rightChild = up.child;
        up.child = f.off;
        f.parent.items[f.j] = up;
        store(rightOff, right);
        store(f.off, f.x);
        store(f.parentOff, f.parent);
        return true;
    }

    // Merges x with a sibling through the separator between them; the right
    // page of the two is freed. True when the parent, now a key short, is
    // to be rebalanced in turn.
    bool mergeWithSibling(Family& f, bool parentIsRoot) {
        size_t sepIdx = f.j > 0 ? f.j - 1 : f.j;
        if (sepIdx >= f.parent.items.size()) return false;  // lone child: nothing to merge with
        uint32_t leftOff = f.childAt(sepIdx);
        uint32_t rightOff = f.childAt(sepIdx + 1);
        NtxNode left = leftOff == f.off ? f.x : node(leftOff);
        NtxNode right = rightOff == f.off ? f.x : node(rightOff);
        NtxItem sep = f.parent.items[sepIdx];
        sep.child = left.rightChild;
        left.items.push_back(sep);
        left.items.insert(left.items.end(), right.items.begin(), right.items.end());
        left.rightChild = right.rightChild;
        f.parent.items.erase(f.parent.items.begin() + static_cast<long>(sepIdx));
        f.setChild(sepIdx, leftOff);
        store(leftOff, left);
        freePage(rightOff);
        if (parentIsRoot && f.parent.items.empty()) {
            // The root lost its last key: its only child becomes the root.
            freePage(f.parentOff);
            ix_.hdr_.root = leftOff;
            return false;
        }
        store(f.parentOff, f.parent);
        return true;
    }

    NtxIndex& ix_;
    uint32_t savedRoot_;
    uint32_t savedFree_;
    uint64_t savedSize_;
    uint16_t savedVersion_;
    bool committed_ = false;
    // What the pages changed in place held before, for rollBack().
    std::map<uint32_t, std::shared_ptr<const NtxPage>> originals_;
};

void NtxIndex::writeHeaderFields() {
    unsigned char h[kNtxChangingSize];
    writeLe16(h + kNtxSignature, hdr_.signature);
    writeLe16(h + kNtxVersion, hdr_.version);
    writeLe32(h + kNtxRoot, hdr_.root);
    writeLe32(h + kNtxFreeHead, hdr_.freeHead);
    if (mappedHeader_ && writable_) {
        file_->beforeFrontWrite();
        std::memcpy(mappedHeader_, h, sizeof h);  // seen at once by every process
    } else {
        file_->writeAt(0, h, sizeof h);
    }
}

void NtxIndex::lockForWrite() {
    if (!writable_) throw EngineError("Index is open read only: " + path_);
    if (!exclusive_) {
        if (!file_->lockRange(kLockBase, 1, true, true))
            throw LockedError("Cannot lock index " + path_);
        writeLocked_ = true;
        try {
            syncWithFile();
        } catch (...) {
            unlockForWrite();
            throw;
        }
    }
}

void NtxIndex::unlockForWrite() {
    if (!exclusive_) file_->unlockRange(kLockBase, 1);
    writeLocked_ = false;
}

namespace {
struct WriteLock {
    explicit WriteLock(NtxIndex& ix, void (NtxIndex::*unlock)()) : ix_(ix), unlock_(unlock) {}
    ~WriteLock() { (ix_.*unlock_)(); }
    NtxIndex& ix_;
    void (NtxIndex::*unlock_)();
};
}  // namespace

// Whether a unique index holds the key already, seen without its write lock
// (a post whose ticket is there changes nothing in it). Every writer bumps
// the version before it lets its lock go: the version we searched still in
// the header, and no write lock held after the search, mean that nothing
// changed under the search.
bool NtxIndex::holdsUniqueKeyUnlocked(std::string_view key) {
    if (!hdr_.unique || !mappedHeader_) return false;
    // The key this index was last seen to hold, at a version that is still
    // the file's: nothing was committed since, so it is there (a commit in
    // progress elsewhere comes after this post, which reads nothing of it).
    // The rows of one ticket find their ticket so.
    const uint16_t now = exclusive_ ? hdr_.version : readLe16(mappedHeader_ + kNtxVersion);
    if (heldKeyKnown_ && heldKeyVersion_ == now && key == heldKey_) return true;
    if (exclusive_) return false;  // the locked way costs no system call then
    syncWithFile();
    const uint16_t searched = hdr_.version;
    NtxCursor c;
    if (!seek(c, key, hdr_.keySize) || std::memcmp(c.key.data(), key.data(), hdr_.keySize) != 0)
        return false;
    if (!file_->noWriteLockOn(kLockBase, 1) || readLe16(mappedHeader_ + kNtxVersion) != searched)
        return false;
    noteHeldKey(key);
    return true;
}

void NtxIndex::noteHeldKey(std::string_view key) {
    heldKey_.assign(key);
    heldKeyVersion_ = hdr_.version;
    heldKeyKnown_ = true;
}

void NtxIndex::insert(std::string_view key, uint32_t recno) {
    if (key.size() != hdr_.keySize) throw EngineError("Key of the wrong size for " + path_);
    if (!writable_) throw EngineError("Index is open read only: " + path_);
    if (holdsUniqueKeyUnlocked(key)) return;
    lockForWrite();
    WriteLock guard(*this, &NtxIndex::unlockForWrite);
    const auto* k = reinterpret_cast<const unsigned char*>(key.data());
    if (hdr_.unique) {
        NtxCursor c;
        if (seek(c, key, hdr_.keySize) && std::memcmp(c.key.data(), k, hdr_.keySize) == 0) {
            noteHeldKey(key);
            return;
        }
    }
    // Descend to the leaf, keeping equal keys in record order.
    std::vector<NtxCursor::Step> path;
    uint32_t off = hdr_.root;
    for (;;) {
        if (path.size() >= kNtxMaxDepth)
            throw DamagedIndexError(path_, "Damaged index " + path_ + ": cycle in the page links");
        auto pg = page(off);
        NtxNodeView v{pg->data()};
        int lo = 0, hi = v.count();
        while (lo < hi) {
            int mid = (lo + hi) / 2;
            int c = compareKeys(v.key(mid), k, hdr_.keySize);
            if (c < 0 || (c == 0 && v.recno(mid) < recno))
                lo = mid + 1;
            else
                hi = mid;
        }
        path.push_back({off, lo});
        if (v.leaf()) break;
        off = v.child(lo);
    }
    NtxWriter w(*this);
    w.insertAt(path, path.size() - 1, NtxItem{0, recno, std::string(key)}, 0);
    w.commit();
    if (hdr_.unique) noteHeldKey(key);
}

bool NtxIndex::remove(std::string_view key, uint32_t recno) {
    if (key.size() != hdr_.keySize) throw EngineError("Key of the wrong size for " + path_);
    lockForWrite();
    WriteLock guard(*this, &NtxIndex::unlockForWrite);
    NtxCursor c;
    if (!find(c, key, recno)) return false;
    NtxWriter w(*this);
    auto path = c.path;
    size_t level = path.size() - 1;
    NtxNode x = w.node(path[level].page);
    size_t pos = static_cast<size_t>(path[level].pos);
    if (x.items[pos].child == 0) {
        x.items.erase(x.items.begin() + static_cast<long>(pos));
        w.store(path[level].page, x);
    } else {
        // An inner key is replaced by its predecessor, the last key of the
        // rightmost leaf of its left subtree.
        NtxCursor pred;
        pred.path.assign(path.begin(), path.end());
        uint32_t child = x.items[pos].child;
        descendRightmost(pred, child);
        size_t leafLevel = pred.path.size() - 1;
        uint32_t leafOff = pred.path[leafLevel].page;
        NtxNode leaf = w.node(leafOff);
        if (leaf.items.empty())
            throw DamagedIndexError(path_, "Damaged index " + path_ + ": empty leaf page");
        NtxItem up = leaf.items.back();
        leaf.items.pop_back();
        up.child = x.items[pos].child;
        x.items[pos] = up;
        w.store(path[level].page, x);
        w.store(leafOff, leaf);
        path = pred.path;
        level = leafLevel;
    }
    w.rebalance(path, level);
    w.commit();
    return true;
}

}  // namespace sde
