// A Clipper NTX index file: a classic B-tree of 1024-byte pages whose keys
// live in inner pages as well as in leaves. Pages are read and written one
// at a time through a small cache; the whole file is never loaded.
//
// File layout: 1024-byte pages; page 0 is the header, every other page a
// node or a free page. Every link (root, child, free chain) is the byte
// offset of a page. Integers are little-endian.
//
// Header page:
//
//   offset  size  content
//   0       2     signature: 6, or 7 when a FOR condition follows
//   2       2     version counter, bumped by every change (16 bits, wraps)
//   4       4     offset of the root page
//   8       4     offset of the first free page, 0 when none
//   12      2     item size: key size + 8
//   14      2     key size
//   16      2     decimals of a numeric key
//   18      2     max keys per page (even)
//   20      2     half page: max keys / 2, the minimum fill below the root
//   22      256   key expression, NUL-padded
//   278     1     unique flag
//   280     1     descending flag
//   282     256   FOR condition, NUL-padded
//   538     486   zero (other writers keep a tag name and flags here)
//
// Only the first 12 bytes change after the index is written.
//
// Node page (max = max keys per page):
//
//   offset        size         content
//   0             2            number of keys n
//   2             2*(max+1)    slot table: entry i is the offset in the page
//                              of the i-th item, in key order
//   2+2*(max+1)   (max+1)*item item slots
//
// Item:
//
//   offset  size  content
//   0       4     child page (0 in a leaf): the keys before this one
//   4       4     record number
//   8       key   key bytes
//
// Item n (past the last key) holds only the child after the last key. A free
// page is an empty node whose item 0 links to the next free page.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "expression.h"
#include "field_info.h"
#include "file_io.h"
#include "journal.h"
#include "little_endian.h"

namespace sde {

class KeyReader;

constexpr uint32_t kNtxPageSize = 1024;
constexpr int kNtxMaxKeySize = 256;

// Offsets of the layout above.
constexpr size_t kNtxSignature = 0;
constexpr size_t kNtxVersion = 2;
constexpr size_t kNtxRoot = 4;
constexpr size_t kNtxFreeHead = 8;
constexpr size_t kNtxChangingSize = 12;  // signature to free head: rewritten by changes
constexpr size_t kNtxItemSize = 12;
constexpr size_t kNtxKeySize = 14;
constexpr size_t kNtxDecimals = 16;
constexpr size_t kNtxMaxKeys = 18;
constexpr size_t kNtxHalfPage = 20;
constexpr size_t kNtxKeyExpr = 22;
constexpr size_t kNtxExprSize = 256;  // room for an expression and its NUL
constexpr size_t kNtxUnique = 278;
constexpr size_t kNtxDescending = 280;
constexpr size_t kNtxForExpr = 282;
constexpr uint16_t kNtxSignaturePlain = 6;
constexpr uint16_t kNtxSignatureFor = 7;

constexpr size_t kNtxKeyCountField = 0;  // in a node page
constexpr size_t kNtxSlotTable = 2;
constexpr size_t kNtxItemChild = 0;  // in an item
constexpr size_t kNtxItemRecno = 4;
constexpr size_t kNtxItemKey = 8;
constexpr size_t kNtxItemOverhead = 8;  // child and record number

// Where the items of a node page start.
constexpr unsigned ntxItemsStart(unsigned maxKeys) { return kNtxSlotTable + 2u * (maxKeys + 1u); }
constexpr int kNtxMaxDepth = 40;  // deeper than any real tree: a cycle in the links

using NtxPage = std::array<unsigned char, kNtxPageSize>;

struct NtxHeader {
    uint16_t signature = kNtxSignaturePlain;
    uint16_t version = 1;
    uint32_t root = kNtxPageSize;
    uint32_t freeHead = 0;
    uint16_t itemSize = 0;
    uint16_t keySize = 0;
    uint16_t decimals = 0;
    uint16_t maxKeys = 0;
    uint16_t halfPage = 0;
    std::string keyExpr;
    bool unique = false;
    bool descending = false;
    std::string forExpr;
};

// Largest even number of keys per page for a key size (the Clipper rule).
uint16_t ntxMaxKeys(int keySize);

// A position in the tree: the path from the root, and the entry it stands on
// (key and record) so that it can be found again after the tree changed.
struct NtxCursor {
    struct Step {
        uint32_t page;
        int pos;
    };
    std::vector<Step> path;
    std::string key;
    uint32_t recno = 0;
    uint64_t generation = 0;  // tree generation the path was taken at
    bool valid = false;
};

class NtxIndex {
public:
    struct KeyInfo {
        Value::Type type = Value::Type::Char;
        int size = 0;
        int decimals = 0;
    };

    // Opens and validates an index file of a table with `fields`.
    static std::unique_ptr<NtxIndex> open(const std::string& path, bool writable, bool exclusive,
                                          const std::vector<FieldInfo>& fields);

    // The key, unique flag, order and condition of an index file whose other
    // header fields may be damaged: what a rebuild from its table needs.
    // Throws CorruptFileError when even these are unreadable.
    static NtxHeader readDefinition(const std::string& path);

    // Writes a new index file (replacing one of that name) and opens it.
    // `next` yields the table's records in record order; it returns false at
    // the end. `skipDeletedForUnique` makes a unique index keep the first
    // live row of each key.
    struct RecordSource {
        virtual ~RecordSource() = default;
        virtual bool next(const unsigned char** image, uint32_t* recno) = 0;
    };
    static std::unique_ptr<NtxIndex> create(const std::string& path, const std::string& keyExpr,
                                            bool unique, bool descending,
                                            const std::string& forExpr,
                                            const std::vector<FieldInfo>& fields,
                                            const std::vector<unsigned char>& blankRecord,
                                            RecordSource& records, bool skipDeletedForUnique,
                                            bool exclusive);

    // Rebuilds this index from the table's rows.
    void rebuild(RecordSource& records, bool skipDeletedForUnique);
    // Empties the index: a header and one empty root page.
    void zap();

    const std::string& path() const { return path_; }
    const NtxHeader& header() const { return hdr_; }
    const Expression& keyExpression() const { return *key_; }
    const KeyInfo& keyInfo() const { return keyInfo_; }
    bool hasFor() const { return static_cast<bool>(for_); }
    FileId fileId() const { return id_; }

    // Key bytes (keySize long) of a record image; whether it passes the FOR.
    std::string makeKey(const unsigned char* image, uint32_t recno, bool exact) const;
    // The same key as makeKey(image, recno, true), read straight from the
    // field for the common key shapes (key_shape.h); valid until the next call.
    std::string_view rowKey(const unsigned char* image, uint32_t recno);
    bool passesFor(const unsigned char* image, uint32_t recno) const;
    // Key bytes for a value written by a caller of seek (text of a number or
    // date, or a character prefix); `length` gets the compared length.
    std::string seekKey(std::string_view text, bool exact, size_t* length) const;

    // Re-reads the header when another process changed the file (shared
    // mode); drops cached pages then.
    void syncWithFile();

    // The file, for a journal of changes (journal.h).
    JournaledFile& file() { return *file_; }
    // At the start of a change: tells the file whether anybody else changed
    // it since this process's last commit.
    void vouchForChange();
    // After a change was rolled back: header fields, size and pages as the
    // file now has them.
    void reloadAfterRollback();
    void sync() { file_->sync(); }

    // Navigation. Each returns false (cursor invalid) past either end.
    bool first(NtxCursor& c);
    bool last(NtxCursor& c);
    bool next(NtxCursor& c);
    bool prev(NtxCursor& c);
    // First entry whose key begins with (or is greater than) key[0..len).
    bool seek(NtxCursor& c, std::string_view key, size_t len);
    // The entry of (key, recno) exactly, when present.
    bool find(NtxCursor& c, std::string_view key, uint32_t recno);

    // Maintenance (take the index write lock in shared mode).
    void insert(std::string_view key, uint32_t recno);
    bool remove(std::string_view key, uint32_t recno);

    // Number of entries (a walk), and a structural check for tests.
    uint64_t countEntries();
    uint64_t keyCount();  // the same, from the page counts alone
    std::string checkStructure(uint64_t expectedEntries);  // empty when sound

    int compareKeys(const unsigned char* a, const unsigned char* b, size_t len) const;
    uint64_t generation() const { return generation_; }

    ~NtxIndex();

private:
    NtxIndex() = default;
    friend class NtxWriter;
    friend class NtxBuilder;

    void readHeader();
    void compileExpressions(const std::vector<FieldInfo>& fields,
                            const std::vector<unsigned char>* blankRecord);
    std::shared_ptr<const NtxPage> page(uint32_t offset);
    std::shared_ptr<const NtxPage> loadPage(uint32_t offset);
    void validateNode(const NtxPage& p, uint32_t offset) const;
    void cachePut(uint32_t offset, std::shared_ptr<const NtxPage> p);
    void dropCache();
    void descendLeftmost(NtxCursor& c, uint32_t page);
    void descendRightmost(NtxCursor& c, uint32_t page);
    bool settle(NtxCursor& c);
    bool reposition(NtxCursor& c, bool* exact);
    void writeHeaderFields();
    bool holdsUniqueKeyUnlocked(std::string_view key);
    void noteHeldKey(std::string_view key);
    void lockForWrite();
    void unlockForWrite();

    std::unique_ptr<JournaledFile> file_;
    std::string path_;
    FileId id_;
    bool writable_ = false;
    bool exclusive_ = false;
    NtxHeader hdr_;
    KeyInfo keyInfo_;
    std::unique_ptr<Expression> key_;
    std::unique_ptr<Expression> for_;
    std::unique_ptr<KeyReader> rowKeys_;  // made at the first rowKey()
    uint64_t fileSize_ = 0;
    uint64_t generation_ = 1;  // changes whenever the tree may have changed
    // In shared mode the first bytes of the header, mapped: the counter,
    // root and free list are read and written there without system calls.
    unsigned char* mappedHeader_ = nullptr;
    bool writeLocked_ = false;  // this object holds the index write lock
    // The version counter as this process's last commit left it: every
    // writer bumps it, so the same value at the next change means nobody
    // else changed the file.
    uint16_t ownVersion_ = 0;
    bool ownVersionValid_ = false;
    // A key a unique index was seen to hold, and the version it was seen at.
    std::string heldKey_;
    uint16_t heldKeyVersion_ = 0;
    bool heldKeyKnown_ = false;

    // LRU cache of clean pages.
    using LruList = std::list<std::pair<uint32_t, std::shared_ptr<const NtxPage>>>;
    LruList lru_;
    std::unordered_map<uint32_t, LruList::iterator> cache_;
    size_t cacheLimit_ = 256;

    // Pages changed by the modification in progress, written at commit.
    std::map<uint32_t, std::shared_ptr<NtxPage>> pending_;
};

// Numeric key text: Str(value, width, decimals) with leading blanks as '0'
// and, for a negative value, each digit d written as 0x5C - d.
std::string encodeNumericKey(double value, int width, int decimals);

}  // namespace sde
