// Building an index in one go: the keys of all rows are sorted (in memory
// up to a fixed budget, then in runs merged from a temporary file) and the
// tree is written bottom-up, pages filled to the maximum as Clipper does.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <queue>

#include "dbf_table.h"
#include "errors.h"
#include "key_shape.h"
#include "ntx_index.h"
#include "ntx_node.h"
#include "ntx_sort.h"

namespace sde {
namespace {

// Writes pages at the end of the file through a buffer, in large
// sequential writes.
class PageAppender {
public:
    static constexpr size_t kBufferedPages = 256;
    PageAppender(File& f, uint64_t start) : file_(f), next_(start) { buf_.reserve(kBufferedPages * kNtxPageSize); }
    uint32_t add(const NtxPage& p) {
        if (next_ + kNtxPageSize > 0xFFFFFC00ULL) throw EngineError("Index file too large");
        uint32_t off = static_cast<uint32_t>(next_);
        buf_.insert(buf_.end(), p.begin(), p.end());
        next_ += kNtxPageSize;
        if (buf_.size() >= kBufferedPages * kNtxPageSize) flush();
        return off;
    }
    void flush() {
        if (buf_.empty()) return;
        file_.writeAt(next_ - buf_.size(), buf_.data(), buf_.size());
        buf_.clear();
    }
    uint64_t end() const { return next_; }

private:
    File& file_;
    uint64_t next_;
    std::vector<unsigned char> buf_;
};

// Page sizes of one level: full pages, the last two sharing what is left
// when the last would be less than half full.
class LevelPlan {
public:
    LevelPlan(uint64_t entries, int maxKeys, int half) : rem_(entries), max_(maxKeys), half_(half) {}
    int nextPageSize() {
        if (rem_ <= static_cast<uint64_t>(max_)) return static_cast<int>(rem_);
        if (rem_ - max_ - 1 >= static_cast<uint64_t>(half_)) return max_;
        return static_cast<int>(rem_ - 1 - (rem_ - 1) / 2);  // the larger half first, as Clipper
    }
    void took(uint64_t n) { rem_ -= n; }
    static uint64_t pages(uint64_t entries, int maxKeys, int half) {
        LevelPlan p(entries, maxKeys, half);
        uint64_t count = 0;
        for (;;) {
            int size = p.nextPageSize();
            ++count;
            p.took(static_cast<uint64_t>(size));
            if (p.rem_ == 0) return count;
            p.took(1);  // the separator that goes up
        }
    }

private:
    uint64_t rem_;
    int max_;
    int half_;
};

class TreeWriter {
public:
    TreeWriter(const NtxHeader& h, PageAppender& out, uint64_t entries) : h_(h), out_(out) {
        uint64_t n = entries;
        for (;;) {
            levels_.push_back(Level{LevelPlan(n, h.maxKeys, h.halfPage), NtxPage{}, 0, -1});
            uint64_t pages = LevelPlan::pages(n, h.maxKeys, h.halfPage);
            if (pages <= 1) break;
            n = pages - 1;
        }
        for (auto& lv : levels_) startPage(lv);
    }

    void add(const unsigned char* key, uint32_t recno) { push(0, 0, key, recno); }

    uint32_t finish() {
        uint32_t child = 0;
        for (auto& lv : levels_) child = closePage(lv, child);
        out_.flush();
        return child;
    }

private:
    // A page being filled in place: slot table in ascending order, items in
    // key order, unused bytes zero (what ntxEncode writes).
    struct Level {
        LevelPlan plan;
        NtxPage page;
        int count;
        int target;
    };

    unsigned base() const { return ntxItemsStart(h_.maxKeys); }

    void startPage(Level& lv) {
        lv.page.fill(0);
        for (int i = 0; i <= h_.maxKeys; ++i)
            writeLe16(lv.page.data() + kNtxSlotTable + 2 * i, static_cast<uint16_t>(base() + i * h_.itemSize));
        lv.count = 0;
    }

    uint32_t closePage(Level& lv, uint32_t rightChild) {
        writeLe16(lv.page.data() + kNtxKeyCountField, static_cast<uint16_t>(lv.count));
        writeLe32(lv.page.data() + base() + lv.count * h_.itemSize + kNtxItemChild, rightChild);
        uint32_t off = out_.add(lv.page);
        startPage(lv);
        return off;
    }

    void push(size_t level, uint32_t child, const unsigned char* key, uint32_t recno) {
        if (level >= levels_.size()) throw EngineError("Index build: more keys than counted");
        Level& lv = levels_[level];
        if (lv.target < 0) {
            lv.target = lv.plan.nextPageSize();
            lv.plan.took(static_cast<uint64_t>(lv.target));
        }
        if (lv.count < lv.target) {
            unsigned char* it = lv.page.data() + base() + lv.count * h_.itemSize;
            writeLe32(it + kNtxItemChild, child);
            writeLe32(it + kNtxItemRecno, recno);
            std::memcpy(it + kNtxItemKey, key, h_.keySize);
            ++lv.count;
            return;
        }
        // The page is complete: this entry separates it from the next one.
        uint32_t off = closePage(lv, child);
        lv.plan.took(1);
        lv.target = -1;
        push(level + 1, off, key, recno);
    }

    const NtxHeader& h_;
    PageAppender& out_;
    std::vector<Level> levels_;
};

void encodeHeader(const NtxHeader& h, NtxPage& p) {
    p.fill(0);
    writeLe16(p.data() + kNtxSignature, h.signature);
    writeLe16(p.data() + kNtxVersion, h.version);
    writeLe32(p.data() + kNtxRoot, h.root);
    writeLe32(p.data() + kNtxFreeHead, h.freeHead);
    writeLe16(p.data() + kNtxItemSize, h.itemSize);
    writeLe16(p.data() + kNtxKeySize, h.keySize);
    writeLe16(p.data() + kNtxDecimals, h.decimals);
    writeLe16(p.data() + kNtxMaxKeys, h.maxKeys);
    writeLe16(p.data() + kNtxHalfPage, h.halfPage);
    std::memcpy(p.data() + kNtxKeyExpr, h.keyExpr.data(), std::min(h.keyExpr.size(), kNtxExprSize - 1));
    p[kNtxUnique] = h.unique ? 1 : 0;
    p[kNtxDescending] = h.descending ? 1 : 0;
    std::memcpy(p.data() + kNtxForExpr, h.forExpr.data(), std::min(h.forExpr.size(), kNtxExprSize - 1));
}

std::string folderOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

constexpr uint32_t kDeletedLast = 0x80000000u;

// Sorts every key of the table and writes the whole file anew.
static void buildInto(NtxIndex& ix, File& file, NtxHeader& hdr, const std::string& path,
                      NtxIndex::RecordSource& records, bool skipDeletedForUnique) {
    KeySorter sorter(hdr.keySize, hdr.descending, folderOf(path));
    KeyReader keys(ix);
    const bool filtered = ix.hasFor();
    const unsigned char* image = nullptr;
    uint32_t recno = 0;
    while (records.next(&image, &recno)) {
        if (filtered && !ix.passesFor(image, recno)) continue;
        // With deleted rows hidden, a unique index keeps the first live row
        // of a key, and a deleted one only when the key has no live row:
        // deleted rows sort after live ones of the same key.
        if (recno >= kDeletedLast) throw EngineError("Too many records to index: " + path);
        uint32_t order = recno;
        if (hdr.unique && skipDeletedForUnique && image[0] == kDbfDeletedFlag) order |= kDeletedLast;
        sorter.add(keys.key(image, recno), order);
    }
    sorter.finishInput();

    uint64_t entries = 0;
    if (hdr.unique) {
        std::string lastKey;
        bool have = false;
        sorter.forEach([&](const unsigned char* k, uint32_t) {
            if (have && std::memcmp(lastKey.data(), k, hdr.keySize) == 0) return;
            lastKey.assign(reinterpret_cast<const char*>(k), hdr.keySize);
            have = true;
            ++entries;
        });
    } else {
        entries = sorter.size();
    }

    file.truncate(kNtxPageSize);
    PageAppender out(file, kNtxPageSize);
    TreeWriter tree(hdr, out, entries);
    std::string lastKey;
    bool have = false;
    sorter.forEach([&](const unsigned char* k, uint32_t r) {
        if (hdr.unique) {
            if (have && std::memcmp(lastKey.data(), k, hdr.keySize) == 0) return;
            lastKey.assign(reinterpret_cast<const char*>(k), hdr.keySize);
            have = true;
        }
        tree.add(k, r & ~kDeletedLast);
    });
    hdr.root = tree.finish();
    hdr.freeHead = 0;
    NtxPage hp{};
    encodeHeader(hdr, hp);
    file.writeAt(0, hp.data(), hp.size());
}

std::unique_ptr<NtxIndex> NtxIndex::create(const std::string& path, const std::string& keyExpr,
                                           bool unique, bool descending,
                                           const std::string& forExpr,
                                           const std::vector<FieldInfo>& fields,
                                           const std::vector<unsigned char>& blankRecord,
                                           RecordSource& records, bool skipDeletedForUnique,
                                           bool exclusive) {
    if (keyExpr.empty() || keyExpr.size() > kNtxExprSize - 1) throw EngineError("Bad key expression length");
    if (forExpr.size() > kNtxExprSize - 1) throw EngineError("FOR condition too long");
    std::unique_ptr<NtxIndex> ix(new NtxIndex());
    ix->path_ = path;
    ix->writable_ = true;
    ix->exclusive_ = exclusive;
    ix->hdr_.keyExpr = keyExpr;
    ix->hdr_.forExpr = forExpr;
    ix->hdr_.signature = forExpr.empty() ? kNtxSignaturePlain : kNtxSignatureFor;
    ix->hdr_.unique = unique;
    ix->hdr_.descending = descending;
    ix->hdr_.keySize = 1;  // until the key is measured below
    ix->compileExpressions(fields, nullptr);

    // The key's type and size come from the key of a blank record.
    EvalContext ctx{blankRecord.data(), 0, true};
    Value v = ix->key_->eval(ctx);
    int size = 0, decimals = 0;
    switch (v.type) {
        case Value::Type::Char: size = static_cast<int>(v.text.size()); break;
        case Value::Type::Date: size = 8; break;
        case Value::Type::Logical: size = 1; break;
        case Value::Type::Num:
            size = v.width;
            decimals = v.decimals;
            break;
    }
    if (size <= 0) throw EngineError("Data width error: the key of " + keyExpr + " is empty");
    if (size > kNtxMaxKeySize) throw EngineError("Key too long: " + keyExpr);
    auto& h = ix->hdr_;
    h.keySize = static_cast<uint16_t>(size);
    h.decimals = static_cast<uint16_t>(decimals);
    h.itemSize = static_cast<uint16_t>(size + kNtxItemOverhead);
    h.maxKeys = ntxMaxKeys(size);
    h.halfPage = static_cast<uint16_t>(h.maxKeys / 2);
    h.version = 1;
    ix->keyInfo_ = {v.type, size, decimals};

    if (fileExists(path)) {
        // Replacing a file: carry its counter on so that readers notice.
        try {
            auto old = openFile(path, OpenFlags::ReadOnly);
            unsigned char b[kNtxVersion + 2];
            if (old->readAt(0, b, sizeof b) == sizeof b) h.version = static_cast<uint16_t>(readLe16(b + kNtxVersion) + 1);
        } catch (const EngineError&) {
        }
        ix->file_ = std::make_unique<JournaledFile>(openFile(path, OpenFlags::ReadWrite), path);
    } else {
        ix->file_ = std::make_unique<JournaledFile>(openFile(path, OpenFlags::CreateNew), path);
    }
    if (!ix->file_->lockOpenMode(exclusive))
        throw LockedError("Index is in use by another work area or program: " + path);
    ix->id_ = ix->file_->id();
    ix->file_->setSoleWriter(exclusive);
    buildInto(*ix, *ix->file_, h, path, records, skipDeletedForUnique);
    ix->fileSize_ = ix->file_->size();
    ix->mappedHeader_ = ix->file_->mapFront(kNtxPageSize, true);
    return ix;
}

void NtxIndex::rebuild(RecordSource& records, bool skipDeletedForUnique) {
    lockForWrite();
    dropCache();
    try {
        hdr_.version = static_cast<uint16_t>(hdr_.version + 1);
        buildInto(*this, *file_, hdr_, path_, records, skipDeletedForUnique);
        fileSize_ = file_->size();
    } catch (...) {
        unlockForWrite();
        throw;
    }
    unlockForWrite();
}

void NtxIndex::zap() {
    lockForWrite();
    dropCache();
    try {
        hdr_.version = static_cast<uint16_t>(hdr_.version + 1);
        hdr_.root = kNtxPageSize;
        hdr_.freeHead = 0;
        NtxPage p{};
        file_->truncate(2 * kNtxPageSize);
        ntxEncode(NtxNode{}, hdr_, p);
        file_->writeAt(kNtxPageSize, p.data(), p.size());
        encodeHeader(hdr_, p);
        file_->writeAt(0, p.data(), p.size());
        fileSize_ = 2 * kNtxPageSize;
    } catch (...) {
        unlockForWrite();
        throw;
    }
    unlockForWrite();
}

}  // namespace sde
