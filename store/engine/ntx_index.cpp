#include "ntx_index.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dbf_table.h"
#include "errors.h"
#include "key_shape.h"
#include "ntx_page.h"

namespace sde {

uint16_t ntxMaxKeys(int keySize) {
    // The count word, max + 1 slot entries and max + 1 items fit in a page.
    int m = static_cast<int>(kNtxPageSize - kNtxSlotTable) /
                (keySize + static_cast<int>(kNtxItemOverhead) + 2) - 1;
    if (m > 2 && (m % 2) == 1) --m;
    return static_cast<uint16_t>(std::max(m, 0));
}

std::string encodeNumericKey(double value, int width, int decimals) {
    bool negative = value < 0;
    double mag = std::fabs(value);
    char buf[64];
    int dec = std::clamp(decimals, 0, 15);
    std::snprintf(buf, sizeof buf, "%.*f", dec, mag);
    std::string s(buf);
    if (static_cast<int>(s.size()) > width) {
        s.assign(static_cast<size_t>(std::max(width, 0)), '*');
    } else {
        s.insert(0, static_cast<size_t>(width) - s.size(), '0');
    }
    if (negative && mag != 0) {
        for (auto& c : s)
            if (c >= '0' && c <= '9') c = static_cast<char>(0x5C - c);  // '0' -> ',', '9' -> '#'
    }
    return s;
}

NtxIndex::~NtxIndex() = default;

std::unique_ptr<NtxIndex> NtxIndex::open(const std::string& path, bool writable, bool exclusive,
                                         const std::vector<FieldInfo>& fields) {
    std::unique_ptr<NtxIndex> ix(new NtxIndex());
    ix->path_ = path;
    ix->writable_ = writable;
    ix->exclusive_ = exclusive;
    ix->file_ = std::make_unique<JournaledFile>(
        openFile(path, writable ? OpenFlags::ReadWrite : OpenFlags::ReadOnly), path);
    if (!ix->file_->lockOpenMode(exclusive))
        throw LockedError("Index is in use by another work area or program: " + path);
    ix->id_ = ix->file_->id();
    ix->file_->setSoleWriter(exclusive && writable);
    ix->readHeader();
    ix->compileExpressions(fields, nullptr);
    ix->mappedHeader_ = ix->file_->mapFront(kNtxPageSize, writable);
    return ix;
}

NtxHeader NtxIndex::readDefinition(const std::string& path) {
    auto file = openFile(path, OpenFlags::ReadOnly);
    NtxPage h{};
    const size_t got = file->readAt(0, h.data(), h.size());
    auto text = [&](size_t off) {
        const char* s = reinterpret_cast<const char*>(h.data() + off);
        return std::string(s, strnlen(s, kNtxExprSize));
    };
    NtxHeader def;
    def.signature = readLe16(h.data() + kNtxSignature);
    const bool withFor = def.signature == kNtxSignatureFor;
    if (got < (withFor ? kNtxForExpr + kNtxExprSize : kNtxDescending + 2))
        throw CorruptFileError("Damaged index " + path + ": header is gone");
    def.keyExpr = text(kNtxKeyExpr);
    def.unique = h[kNtxUnique] != 0;
    def.descending = h[kNtxDescending] != 0;
    if (withFor) def.forExpr = text(kNtxForExpr);
    if (def.keyExpr.empty()) throw CorruptFileError("Damaged index " + path + ": no key expression");
    return def;
}

void NtxIndex::readHeader() {
    fileSize_ = file_->size();
    if (fileSize_ < 2 * kNtxPageSize || fileSize_ % kNtxPageSize != 0)
        throw DamagedIndexError(path_, "Damaged index " + path_ + ": size is not a whole number of pages");
    if (fileSize_ / kNtxPageSize > 0xFFFFFFFFULL / kNtxPageSize)
        throw DamagedIndexError(path_, "Damaged index " + path_ + ": too large");
    NtxPage h{};
    file_->readExact(0, h.data(), h.size(), path_.c_str());
    hdr_.signature = readLe16(h.data() + kNtxSignature);
    if (hdr_.signature != kNtxSignaturePlain && hdr_.signature != kNtxSignatureFor)
        throw DamagedIndexError(path_, "Unsupported index " + path_ + ": signature " +
                               std::to_string(hdr_.signature));
    hdr_.version = readLe16(h.data() + kNtxVersion);
    hdr_.root = readLe32(h.data() + kNtxRoot);
    hdr_.freeHead = readLe32(h.data() + kNtxFreeHead);
    hdr_.itemSize = readLe16(h.data() + kNtxItemSize);
    hdr_.keySize = readLe16(h.data() + kNtxKeySize);
    hdr_.decimals = readLe16(h.data() + kNtxDecimals);
    hdr_.maxKeys = readLe16(h.data() + kNtxMaxKeys);
    hdr_.halfPage = readLe16(h.data() + kNtxHalfPage);
    auto text = [&](size_t off, size_t n) {
        const char* s = reinterpret_cast<const char*>(h.data() + off);
        return std::string(s, strnlen(s, n));
    };
    hdr_.keyExpr = text(kNtxKeyExpr, kNtxExprSize);
    hdr_.unique = h[kNtxUnique] != 0;
    hdr_.descending = h[kNtxDescending] != 0;
    hdr_.forExpr = hdr_.signature == kNtxSignatureFor ? text(kNtxForExpr, kNtxExprSize) : std::string();

    auto bad = [&](const std::string& why) {
        throw DamagedIndexError(path_, "Damaged index " + path_ + ": " + why);
    };
    if (hdr_.keySize < 1 || hdr_.keySize > kNtxMaxKeySize) bad("key size out of range");
    if (hdr_.itemSize != hdr_.keySize + kNtxItemOverhead) bad("item size disagrees with the key size");
    unsigned capacity = (kNtxPageSize - kNtxSlotTable) / (2u + hdr_.itemSize);  // slots that fit
    if (hdr_.maxKeys < 2 || hdr_.maxKeys + 1u > capacity) bad("page count over the maximum");
    // Above max / 2 a merge of two pages under it would not fit in one.
    if (hdr_.halfPage < 1 || hdr_.halfPage > hdr_.maxKeys / 2) bad("half page out of range");
    // A writer adds its pages before it writes the header that names them:
    // a file grown since we took its size holds them.
    if ((hdr_.root >= fileSize_ || hdr_.freeHead >= fileSize_) && !exclusive_) fileSize_ = file_->size();
    if (hdr_.root == 0 || hdr_.root % kNtxPageSize != 0 || hdr_.root >= fileSize_)
        bad("root page offset outside the file");
    if (hdr_.freeHead % kNtxPageSize != 0 || hdr_.freeHead >= fileSize_)
        bad("free page offset outside the file");
    if (hdr_.keyExpr.empty()) bad("no key expression");
}

void NtxIndex::compileExpressions(const std::vector<FieldInfo>& fields,
                                  const std::vector<unsigned char>* blankRecord) {
    try {
        key_ = Expression::compile(hdr_.keyExpr, fields);
        rowKeys_.reset();
        if (!hdr_.forExpr.empty()) {
            for_ = Expression::compile(hdr_.forExpr, fields);
            if (for_->resultType() != Value::Type::Logical)
                throw ExpressionError("FOR condition is not logical: " + hdr_.forExpr);
        }
    } catch (const ExpressionError& e) {
        throw ExpressionError("Index " + path_ + ": " + e.what());
    }
    keyInfo_.type = key_->resultType();
    keyInfo_.decimals = hdr_.decimals;
    keyInfo_.size = hdr_.keySize;
    (void)blankRecord;
}

std::string_view NtxIndex::rowKey(const unsigned char* image, uint32_t recno) {
    if (!rowKeys_) rowKeys_ = std::make_unique<KeyReader>(*this);
    return {reinterpret_cast<const char*>(rowKeys_->key(image, recno)), hdr_.keySize};
}

std::string NtxIndex::makeKey(const unsigned char* image, uint32_t recno, bool exact) const {
    EvalContext ctx{image, recno, exact};
    Value v = key_->eval(ctx);
    size_t n = hdr_.keySize;
    std::string k;
    switch (v.type) {
        case Value::Type::Char:
        case Value::Type::Date:
            k = std::move(v.text);
            break;
        case Value::Type::Num:
            k = encodeNumericKey(v.number, static_cast<int>(n), hdr_.decimals);
            break;
        case Value::Type::Logical:
            k.assign(1, v.logical ? 'T' : 'F');  // not = "T": GCC 12 at -O3 reports a false -Wrestrict overlap
            break;
    }
    k.resize(n, ' ');
    return k;
}

bool NtxIndex::passesFor(const unsigned char* image, uint32_t recno) const {
    if (!for_) return true;
    EvalContext ctx{image, recno, true};
    return for_->eval(ctx).logical;
}

std::string NtxIndex::seekKey(std::string_view text, bool exact, size_t* length) const {
    size_t n = hdr_.keySize;
    std::string k;
    if (keyInfo_.type == Value::Type::Num) {
        char* end = nullptr;
        std::string t(text);
        double v = std::strtod(t.c_str(), &end);
        k = encodeNumericKey(v, static_cast<int>(n), hdr_.decimals);
        *length = n;
        return k;
    }
    k.assign(text.substr(0, n));
    if (exact || keyInfo_.type != Value::Type::Char) {
        k.resize(n, ' ');
        *length = n;
    } else {
        *length = k.size();
    }
    return k;
}

int NtxIndex::compareKeys(const unsigned char* a, const unsigned char* b, size_t len) const {
    int c = std::memcmp(a, b, len);
    return hdr_.descending ? -c : c;
}

void NtxIndex::syncWithFile() {
    if (exclusive_) return;
    unsigned char h[kNtxChangingSize];
    if (mappedHeader_)
        std::memcpy(h, mappedHeader_, sizeof h);
    else if (file_->readAt(0, h, sizeof h) != sizeof h)
        throw DamagedIndexError(path_, "Damaged index " + path_ + ": header is gone");
    uint16_t version = readLe16(h + kNtxVersion);
    if (version == hdr_.version) return;
    uint32_t root = readLe32(h + kNtxRoot);
    uint32_t freeHead = readLe32(h + kNtxFreeHead);
    file_->forgetSize();  // another program changed it: what we followed is old
    fileSize_ = file_->size();
    if (root == 0 || root % kNtxPageSize || root >= fileSize_ || freeHead % kNtxPageSize ||
        freeHead >= fileSize_)
        throw DamagedIndexError(path_, "Damaged index " + path_ + ": page offset outside the file");
    hdr_.version = version;
    hdr_.root = root;
    hdr_.freeHead = freeHead;
    dropCache();
}

void NtxIndex::vouchForChange() {
    file_->vouch(exclusive_ || (mappedHeader_ && ownVersionValid_ &&
                                readLe16(mappedHeader_ + kNtxVersion) == ownVersion_));
}

void NtxIndex::reloadAfterRollback() {
    ownVersionValid_ = false;
    file_->forgetSize();
    pending_.clear();
    fileSize_ = file_->size();
    unsigned char h[kNtxChangingSize];
    if (file_->readAt(0, h, sizeof h) == sizeof h) {
        hdr_.version = readLe16(h + kNtxVersion);
        hdr_.root = readLe32(h + kNtxRoot);
        hdr_.freeHead = readLe32(h + kNtxFreeHead);
    }
    dropCache();
}

void NtxIndex::dropCache() {
    heldKeyKnown_ = false;
    lru_.clear();
    cache_.clear();
    ++generation_;
}

void NtxIndex::validateNode(const NtxPage& p, uint32_t offset) const {
    int n = readLe16(p.data() + kNtxKeyCountField);
    auto bad = [&](const std::string& why) {
        throw DamagedIndexError(path_, "Damaged index " + path_ + ": page at " + std::to_string(offset) +
                               " " + why);
    };
    if (n > hdr_.maxKeys) bad("holds more keys than a page can");
    unsigned lo = ntxItemsStart(hdr_.maxKeys);
    unsigned hi = kNtxPageSize - hdr_.itemSize;
    std::array<bool, kNtxPageSize> used{};
    for (int i = 0; i <= hdr_.maxKeys; ++i) {
        unsigned s = readLe16(p.data() + kNtxSlotTable + 2 * i);
        // The table is a permutation of the item grid (as written by every
        // writer); anything else overlaps items, used now or by later inserts.
        if (s < lo || s > hi || (s - lo) % hdr_.itemSize != 0) bad("has a slot outside the page");
        if (used[s]) bad("uses one slot twice");
        used[s] = true;
    }
    for (int i = 0; i <= n; ++i) {
        uint32_t child = readLe32(p.data() + readLe16(p.data() + kNtxSlotTable + 2 * i) + kNtxItemChild);
        if (child % kNtxPageSize != 0 || child >= fileSize_ || (child != 0 && child < kNtxPageSize))
            bad("links to a page outside the file");
    }
}

std::shared_ptr<const NtxPage> NtxIndex::loadPage(uint32_t offset) {
    // Another process may have grown the file since we last looked.
    if (offset >= fileSize_ && !exclusive_) fileSize_ = file_->size();
    if (offset == 0 || offset % kNtxPageSize != 0 || offset >= fileSize_)
        throw DamagedIndexError(path_, "Damaged index " + path_ + ": page offset " +
                               std::to_string(offset) + " outside the file");
    auto p = std::make_shared<NtxPage>();
    file_->readExact(offset, p->data(), p->size(), path_.c_str());
    try {
        validateNode(*p, offset);
    } catch (const CorruptFileError&) {
        if (exclusive_ || writeLocked_) throw;  // nobody else can be writing it
        // Another program may be writing this very page: read it again once
        // its write lock is gone before calling the file damaged.
        if (!file_->lockRange(kLockBase, 1, false, true)) throw;
        try {
            fileSize_ = file_->size();  // the pages it linked to are there now
            file_->readExact(offset, p->data(), p->size(), path_.c_str());
            validateNode(*p, offset);
        } catch (...) {
            file_->unlockRange(kLockBase, 1);
            throw;
        }
        file_->unlockRange(kLockBase, 1);
    }
    return p;
}

std::shared_ptr<const NtxPage> NtxIndex::page(uint32_t offset) {
    if (!pending_.empty()) {
        auto it = pending_.find(offset);
        if (it != pending_.end()) return it->second;
    }
    auto it = cache_.find(offset);
    if (it != cache_.end()) {
        lru_.splice(lru_.begin(), lru_, it->second);
        return it->second->second;
    }
    auto p = loadPage(offset);
    cachePut(offset, p);
    return p;
}

void NtxIndex::cachePut(uint32_t offset, std::shared_ptr<const NtxPage> p) {
    auto it = cache_.find(offset);
    if (it != cache_.end()) {
        it->second->second = std::move(p);
        lru_.splice(lru_.begin(), lru_, it->second);
        return;
    }
    lru_.emplace_front(offset, std::move(p));
    cache_[offset] = lru_.begin();
    if (cache_.size() > cacheLimit_) {
        cache_.erase(lru_.back().first);
        lru_.pop_back();
    }
}

// ---- navigation ----

void NtxIndex::descendLeftmost(NtxCursor& c, uint32_t pageOff) {
    for (;;) {
        if (c.path.size() >= kNtxMaxDepth)
            throw DamagedIndexError(path_, "Damaged index " + path_ + ": cycle in the page links");
        auto pg = page(pageOff);
        NtxNodeView v{pg->data()};
        c.path.push_back({pageOff, 0});
        if (v.leaf()) return;
        pageOff = v.child(0);
    }
}

void NtxIndex::descendRightmost(NtxCursor& c, uint32_t pageOff) {
    for (;;) {
        if (c.path.size() >= kNtxMaxDepth)
            throw DamagedIndexError(path_, "Damaged index " + path_ + ": cycle in the page links");
        auto pg = page(pageOff);
        NtxNodeView v{pg->data()};
        int n = v.count();
        if (v.leaf()) {
            c.path.push_back({pageOff, n - 1});
            return;
        }
        c.path.push_back({pageOff, n});
        pageOff = v.child(n);
    }
}

// Moves up from a position past the end of a page to the entry that follows;
// fills the cursor's key and record. False past the last entry.
bool NtxIndex::settle(NtxCursor& c) {
    while (!c.path.empty()) {
        auto& top = c.path.back();
        auto pg = page(top.page);
        NtxNodeView v{pg->data()};
        if (top.pos >= 0 && top.pos < v.count()) {
            c.key.assign(reinterpret_cast<const char*>(v.key(top.pos)), hdr_.keySize);
            c.recno = v.recno(top.pos);
            c.generation = generation_;
            c.valid = true;
            return true;
        }
        c.path.pop_back();
    }
    c.valid = false;
    return false;
}

bool NtxIndex::first(NtxCursor& c) {
    c.path.clear();
    descendLeftmost(c, hdr_.root);
    return settle(c);
}

bool NtxIndex::last(NtxCursor& c) {
    c.path.clear();
    descendRightmost(c, hdr_.root);
    // Climbing from an empty rightmost leaf lands on the separator before it.
    while (!c.path.empty()) {
        auto& top = c.path.back();
        if (top.pos >= 0) break;
        c.path.pop_back();
        if (!c.path.empty()) c.path.back().pos -= 1;
    }
    return settle(c);
}

bool NtxIndex::reposition(NtxCursor& c, bool* exact) {
    std::string key = c.key;
    uint32_t recno = c.recno;
    *exact = find(c, key, recno);
    if (*exact) return true;
    // The entry left the tree: stand on the first entry after where it was.
    if (!seek(c, key, key.size())) return false;
    while (c.valid && c.key == key && c.recno < recno)
        if (!next(c)) return false;
    return c.valid;
}

bool NtxIndex::next(NtxCursor& c) {
    if (!c.valid) return false;
    if (c.generation != generation_) {
        bool exact = false;
        if (!reposition(c, &exact)) return false;
        if (!exact) return true;
    }
    auto& top = c.path.back();
    auto pg = page(top.page);
    NtxNodeView v{pg->data()};
    if (!v.leaf()) {
        uint32_t child = v.child(top.pos + 1);
        top.pos += 1;
        descendLeftmost(c, child);
        return settle(c);
    }
    top.pos += 1;
    return settle(c);
}

bool NtxIndex::prev(NtxCursor& c) {
    if (!c.valid) return false;
    if (c.generation != generation_) {
        bool exact = false;
        if (!reposition(c, &exact)) {
            return last(c);
        }
    }
    auto& top = c.path.back();
    auto pg = page(top.page);
    NtxNodeView v{pg->data()};
    if (!v.leaf()) {
        uint32_t child = v.child(top.pos);
        descendRightmost(c, child);
    } else {
        top.pos -= 1;
    }
    // Climb while the position is before the start of its page.
    while (!c.path.empty() && c.path.back().pos < 0) {
        c.path.pop_back();
        if (!c.path.empty()) c.path.back().pos -= 1;
    }
    if (c.path.empty()) {
        c.valid = false;
        return false;
    }
    return settle(c);
}

bool NtxIndex::seek(NtxCursor& c, std::string_view key, size_t len) {
    len = std::min<size_t>(len, hdr_.keySize);
    const auto* k = reinterpret_cast<const unsigned char*>(key.data());
    c.path.clear();
    uint32_t pageOff = hdr_.root;
    for (;;) {
        if (c.path.size() >= kNtxMaxDepth)
            throw DamagedIndexError(path_, "Damaged index " + path_ + ": cycle in the page links");
        auto pg = page(pageOff);
        NtxNodeView v{pg->data()};
        int lo = 0, hi = v.count();
        while (lo < hi) {  // first entry with key >= k
            int mid = (lo + hi) / 2;
            if (compareKeys(v.key(mid), k, len) < 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        c.path.push_back({pageOff, lo});
        if (v.leaf()) break;
        pageOff = v.child(lo);
    }
    return settle(c);
}

bool NtxIndex::find(NtxCursor& c, std::string_view key, uint32_t recno) {
    if (!seek(c, key, hdr_.keySize)) return false;
    while (c.valid && c.key == key) {
        if (c.recno == recno) return true;
        if (!next(c)) return false;
    }
    return false;
}

uint64_t NtxIndex::keyCount() {
    // Adds up the key counts of the pages, level by level, without reading
    // any row. Each level's pages are read in file order, neighbours in one
    // read, so that a large index costs few system calls.
    if (!exclusive_) fileSize_ = file_->size();
    uint64_t total = 0;
    uint64_t pagesLeft = fileSize_ / kNtxPageSize;
    std::vector<uint32_t> level{hdr_.root}, next;
    std::vector<unsigned char> buf;
    for (int depth = 0; !level.empty(); ++depth) {
        if (depth > kNtxMaxDepth) throw DamagedIndexError(path_, "Damaged index " + path_ + ": cycle in the page links");
        std::sort(level.begin(), level.end());
        next.clear();
        for (size_t i = 0; i < level.size();) {
            size_t run = 1;
            while (i + run < level.size() && run < 64 &&
                   level[i + run] == level[i] + run * kNtxPageSize)
                ++run;
            if (level[i] == 0 || level[i] % kNtxPageSize || level[i] + run * kNtxPageSize > fileSize_)
                throw DamagedIndexError(path_, "Damaged index " + path_ + ": page offset outside the file");
            buf.resize(run * kNtxPageSize);
            file_->readExact(level[i], buf.data(), buf.size(), path_.c_str());
            for (size_t j = 0; j < run; ++j) {
                if (pagesLeft-- == 0) throw DamagedIndexError(path_, "Damaged index " + path_ + ": cycle in the page links");
                NtxPage pg;
                std::memcpy(pg.data(), buf.data() + j * kNtxPageSize, kNtxPageSize);
                validateNode(pg, level[i + j]);
                NtxNodeView v{pg.data()};
                total += static_cast<uint64_t>(v.count());
                if (!v.leaf())
                    for (int k = 0; k <= v.count(); ++k) next.push_back(v.child(k));
            }
            i += run;
        }
        level.swap(next);
    }
    return total;
}

uint64_t NtxIndex::countEntries() {
    NtxCursor c;
    uint64_t n = 0;
    for (bool ok = first(c); ok; ok = next(c)) ++n;
    return n;
}

}  // namespace sde
