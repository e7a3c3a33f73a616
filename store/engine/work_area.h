// One open table with its indexes, current order, query and position: what
// a work area of the engine is. Moves follow xBase rules: past the last row
// is the end-of-file position (record count + 1); before the first row the
// first visible row stays current with the beginning-of-file flag set.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dbf_table.h"
#include "expression.h"
#include "ntx_index.h"

namespace sde {

struct AreaSettings {
    bool deleted = false;  // hide rows marked deleted
    bool exact = true;     // string '=' rule for queries and seeks
};

class WorkArea {
public:
    WorkArea(std::string alias, std::unique_ptr<DbfTable> table, const AreaSettings& settings);
    ~WorkArea();

    const std::string& alias() const { return alias_; }
    DbfTable& table() { return *table_; }
    AreaSettings& settings() { return settings_; }

    // Called at the start of every entry point: in shared mode, forgets
    // what other work areas and processes may have changed since.
    void beginCall();

    // Positioning.
    void goTop();
    void goBottom();
    void skip(long n);
    void go(long recno);
    bool eof() const { return eof_; }
    bool bof() const { return bof_; }
    uint32_t recno() const { return recno_; }
    uint32_t recCount();

    // Record image of the current row (deletion flag first).
    void getRecord(unsigned char* out);
    void putRecord(const unsigned char* image);
    // Appends a row with its whole image and its keys in every open index,
    // all or nothing: when a write fails, the table, its count and every
    // index are as before and the error is thrown.
    void appendRecord(const unsigned char* image);
    void appendBlank();
    // Flushes the table and its open indexes to disk.
    void commit();
    void setDeletedFlag(bool deleted);
    bool deleted() const { return record_[0] == kDbfDeletedFlag; }
    bool currentVisible();

    // Locks.
    bool rlock(uint32_t recno);
    void unlock(uint32_t recno);  // 0: every lock of this work area
    bool locked(uint32_t recno) const;

    // Query (filter); an empty text removes it. Throws ExpressionError.
    void setQuery(const std::string& text);
    const std::string& queryText() const { return queryText_; }
    std::unique_ptr<Expression> compile(const std::string& text) const;

    // Indexes; orders are numbered from 1 in opening order.
    int createIndex(const std::string& path, const std::string& key, bool unique,
                    bool descending, const std::string& condition);
    // Opens an index; one found damaged is rebuilt from the table first
    // (rebuildFromTable), else its error stands.
    int openIndex(const std::string& path);
    // An index open here was found damaged while it was read: rebuilds it
    // in place from the table. False when that cannot be done (another work
    // area or program holds it, its key is unreadable, the table is read
    // only); the damaged index then stays as it was.
    bool repairIndex(const std::string& path);
    // The paths of the indexes rebuilt since the last call, oldest first.
    static std::vector<std::string> takeRepairedIndexes();
    int setOrder(int order);
    int order() const { return order_; }
    int indexCount() const { return static_cast<int>(indexes_.size()); }
    NtxIndex* currentIndex() { return order_ > 0 ? indexes_[static_cast<size_t>(order_ - 1)].get() : nullptr; }
    void closeIndexes();
    void reindex();
    void zap();
    bool seek(const std::string& text);
    bool found() const { return found_; }

    // Writes keys still owed by an append; called before moves and close.
    void flushPendingAppend();

    // Every record of a table in record order, for an index build or a check.
    class TableRecords : public NtxIndex::RecordSource {
    public:
        explicit TableRecords(DbfTable& t) : t_(t) {}
        bool next(const unsigned char** image, uint32_t* recno) override;

    private:
        DbfTable& t_;
        uint32_t at_ = 0;
    };

private:
    class Change;
    enum class Dir { Forward, Backward };

    bool visible(uint32_t recno, const unsigned char* image) const;
    const unsigned char* fetch(uint32_t recno);
    uint32_t candidateFirst();
    uint32_t candidateLast();
    uint32_t candidateNext();
    uint32_t candidatePrev();
    uint32_t fromCursor(bool ok, Dir dir);
    bool rangeInUse();
    bool inRange(const NtxCursor& c);
    void syncCursor();
    void position(uint32_t recno, const unsigned char* image);
    void goEof();
    bool moveToVisible(uint32_t first, Dir dir);
    void planAssistedRange();
    void syncIndexes();
    void checkPosition() const;  // asserts the invariants below (Debug builds)
    void updateKeys(const unsigned char* oldImage, const unsigned char* newImage, bool isNew);
    void reloadAfterRollback();
    File& journalFile();
    Journal& changeJournal();
    std::unique_ptr<NtxIndex> rebuildFromTable(const std::string& path);

    std::string alias_;
    std::unique_ptr<DbfTable> table_;
    AreaSettings settings_;
    std::vector<std::unique_ptr<NtxIndex>> indexes_;
    int order_ = 0;

    std::string queryText_;
    std::unique_ptr<Expression> query_;
    // Index range that holds every row the query can show, when the query
    // is  field = 'constant'  and the current order is an index on field.
    bool rangeActive_ = false;
    int rangeOrder_ = 0;
    std::string rangeKey_;
    size_t rangeLen_ = 0;
    bool rangeExact_ = true;  // the exact setting the range was planned under

    // Position state. Invariants, checked by checkPosition() after every move
    // and write:
    // - record_ is one record long; at the end of file (eof_) it is a blank
    //   record and recno_ is at least 1 (the record count + 1 when the end
    //   was reached; others may have appended since);
    // - off the end, 1 <= recno_ <= the record count as last seen, and
    //   record_ is that row's image as last read or written here;
    // - an append waiting for its keys (appendPending_) stands on its row,
    //   never at the end;
    // - 0 <= order_ <= the number of open indexes;
    // - pendingNextIsCurrent_ only with an index order and a valid cursor:
    //   the cursor then stands on the entry after the current row;
    // - an assisted range (rangeActive_) belongs to an open index and to a
    //   query in force.
    uint32_t recno_ = 0;
    bool eof_ = true;
    bool bof_ = true;
    bool found_ = false;
    std::vector<unsigned char> record_;
    NtxCursor cursor_;
    bool cursorSynced_ = false;
    bool appendPending_ = false;
    bool pendingNextIsCurrent_ = false;  // the cursor already stands on the next entry
    uint32_t lastFetched_ = 0;
    uint64_t call_ = 0;        // entry points seen, to tell scans within one call
    uint64_t fetchCall_ = 0;   // the call of the last fetch
    int nearStreak_ = 0;       // fetches in a row that were a little ahead
    int indexesSynced_ = 0;  // the order whose index was checked in this call
    std::set<uint32_t> locks_;
    std::unique_ptr<File> journal_;  // the table's journal file, once a change opened it
    std::unique_ptr<Journal> changes_;  // one per change, kept for the buffers it grew
};

}  // namespace sde
