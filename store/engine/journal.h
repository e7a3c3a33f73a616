// The rollback journal: before a change overwrites or cuts bytes of a table
// or of one of its indexes, the old bytes go into a side file beside the
// table ("VENTE.DBF-journal", which other xBase programs ignore). The change
// is complete when the journal's magic is zeroed; a journal found with its
// magic belongs to a change that never completed, and writing its bytes back (in reverse
// order) and cutting every file to its old size brings the table and its
// indexes back to the state before that change.
//
// Write order of one change (a post, an edit, a reindex, a zap), all under
// the table's header lock (or an exclusive open):
//   1. the journal's header: every file of the change with its size, then
//      the first bytes of each file that writers change through a mapping
//      (table date and count, index version, root and free head); it goes
//      out with the first old bytes saved, or alone before the first write
//      or mapped change of any file, so a change that writes nothing
//      writes no journal;
//   2. before each write that overwrites bytes below a file's old size,
//      and before each cut, the bytes about to change are appended to the
//      journal;
//   3. the file writes themselves;
//   4. the journal's magic is overwritten with zeros: the change is done.
// The journal file itself stays while the table is open (creating and
// removing a file per change would cost more than the change).
// A failed write (full disk, I/O error) rolls back at once from the same
// bytes kept in memory; when even that fails, the journal stays for the
// next open. Nothing is flushed to disk here: the journal guards against a
// process that dies (killed, crashed), whose writes the system keeps;
// sx_Commit flushes the files when a power cut must not lose them.
//
// The journal file is opened by every work area of the table under a shared
// open-mode lock, so that all of them use one and the same file; the last
// one to close it (the one that can lock it exclusively) removes it. Its
// first 64 KiB are mapped: a change that fits there writes its journal and
// checks for a hot one without a system call.
//
// Journal records (integers little-endian), each followed by a 32-bit
// checksum (FNV-1a over 64-bit words) seeded with the change's salt; reading
// stops at the first record that is cut short or fails its checksum (it
// was being written when the process died, so its file write never
// happened; or it is left over from an earlier, longer change):
//   "SDEJRNL2" salt(4)                           magic and salt, once
// ("SDEJRNL1": the same records, checksums byte-wise FNV-1a.)
//   'F' fileNo(1) pathLength(2) path oldSize(8)  a file of the change
//   'P' fileNo(1) offset(8) length(4) bytes      old bytes at offset
#pragma once

#include <cstdint>
#include <utility>
#include <memory>
#include <string>
#include <vector>

#include "file_io.h"

namespace sde {

class Journal;

// A table or index file whose writes are journaled while a change is in
// progress; otherwise it passes everything through.
class JournaledFile final : public File {
public:
    JournaledFile(std::unique_ptr<File> inner, std::string path)
        : inner_(std::move(inner)), path_(std::move(path)) {}

    size_t readAt(uint64_t off, void* buf, size_t n) override { return inner_->readAt(off, buf, n); }
    void writeAt(uint64_t off, const void* buf, size_t n) override;
    uint64_t size() override;
    void truncate(uint64_t length) override;
    // A file held exclusively changes only through this object: its size is
    // then asked of the system once and followed from the writes.
    void setSoleWriter(bool sole) {
        sole_ = sole;
        sizeKnown_ = false;
    }
    // Within a change, the file's owner vouches whether the file is as this
    // process left it (nobody else wrote its mapped header since): then the
    // size and last bytes followed from our own writes stand, and no system
    // call asks for them. The vouch ends with the change.
    void vouch(bool unchangedByOthers) {
        if (!unchangedByOthers) forgetSize();
        vouched_ = true;
    }
    // After bytes were written back around this object (a rollback).
    void forgetSize() {
        sizeKnown_ = false;
        tail_.clear();
    }
    // Called before the mapped first bytes are changed in place: the
    // journal's header (which holds their old value) must be out first.
    void beforeFrontWrite();
    // The bytes [off, off + n) as this sole writer last wrote them at the end
    // of the file, without reading; false when they are not known.
    bool knownBytes(uint64_t off, size_t n, unsigned char* out) const;
    void sync() override { inner_->sync(); }
    FileId id() override { return inner_->id(); }
    bool lockRange(uint64_t off, uint64_t len, bool exclusive, bool wait) override {
        return inner_->lockRange(off, len, exclusive, wait);
    }
    void unlockRange(uint64_t off, uint64_t len) override { inner_->unlockRange(off, len); }
    bool noWriteLockOn(uint64_t off, uint64_t len) override { return inner_->noWriteLockOn(off, len); }
    bool lockOpenMode(bool exclusive) override { return inner_->lockOpenMode(exclusive); }
    unsigned char* mapFront(size_t length, bool writable) override {
        mapped_ = inner_->mapFront(length, writable);
        mappedLength_ = mapped_ ? length : 0;
        return mapped_;
    }

    const unsigned char* mapForReading(uint64_t length) override {
        return inner_->mapForReading(length);
    }

    const std::string& path() const { return path_; }
    File& inner() { return *inner_; }
    // Puts the present bytes of whole blocks about to be overwritten into the
    // journal in one write (an index commit's pages); their later writes
    // then go straight through. No-op outside a change.
    // `present[i]`, when not null, holds block i's present bytes already.
    void willOverwrite(const std::vector<uint64_t>& offsets,
                       const std::vector<const unsigned char*>& present, size_t blockSize);

private:
    friend class Journal;
    // The size followed from our writes stands: we write alone, or the
    // owner vouched for this change that nobody else wrote.
    bool sizeTrusted() const { return sizeKnown_ && (sole_ || vouched_); }
    std::unique_ptr<File> inner_;
    std::string path_;
    Journal* journal_ = nullptr;  // the change in progress, if any
    int fileNo_ = 0;
    uint64_t oldSize_ = 0;
    uint64_t savedFront_ = 0;  // bytes [0, savedFront_) are in the journal already
    // (offset, length) of the blocks in the journal already: a few per change.
    std::vector<std::pair<uint64_t, uint64_t>> savedBlocks_;
    unsigned char* mapped_ = nullptr;  // the file's first bytes, shared with the system
    size_t mappedLength_ = 0;
    bool sole_ = false;
    bool vouched_ = false;
    bool sizeKnown_ = false;  // size_ followed from the last query and our writes since
    uint64_t size_ = 0;
    std::vector<unsigned char> tail_;  // the last bytes a sole writer wrote at the end
    uint64_t tailOff_ = 0;
};

// One change to a table and its indexes, journaled into `journalFile`.
// Files are added, then begin() writes the journal; commit() ends it;
// rollBack() (or destruction without commit) writes the old bytes back.
class Journal {
public:
    explicit Journal(File& journalFile);
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    static std::string pathFor(const std::string& tablePath) { return tablePath + "-journal"; }

    // `front`: how many first bytes of the file its writers may change
    // without going through writeAt (a mapped header).
    void add(JournaledFile& file, uint64_t front);
    // Prepares the journal's header; it is written with the first old bytes
    // saved, or alone before the first file write (flushPending), so that a
    // change that writes nothing costs no write at all.
    void begin();
    void flushPending();
    void commit();
    // Best effort: true when every file got its old bytes back (the journal
    // is removed then), false when a write failed (it stays for recovery).
    bool rollBack();
    bool active() const { return active_; }
    File& file() { return file_; }

    // Called by JournaledFile before it changes bytes.
    void save(JournaledFile& file, uint64_t off, uint64_t n);
    void saveBlocks(JournaledFile& file, const std::vector<uint64_t>& offsets,
                    const std::vector<const unsigned char*>& present, size_t blockSize);

    // Whether a journal file holds an unfinished change.
    static bool hot(File& journalFile);
    // Opens the table's journal for a work area's changes (made when
    // missing), held under a shared open-mode lock until release().
    static std::unique_ptr<File> openFor(const std::string& tablePath);
    // Closes it, and removes the file when this was its last holder.
    static void release(std::unique_ptr<File> journalFile, const std::string& tablePath);
    // Rolls back the journal beside `tablePath` when it holds an unfinished
    // change (its writer must be gone: the caller holds the header lock or
    // the table exclusively), then zeroes its magic (the file is removed
    // when nobody else holds it). Returns whether it rolled anything back.
    static bool recover(const std::string& tablePath);

private:
    // Old bytes [off, off + length) of a file, held at savedBytes_[at].
    struct Saved {
        JournaledFile* file;
        uint64_t off;
        size_t at;
        size_t length;
    };
    void append(const std::vector<unsigned char>& record);
    size_t room(size_t n);
    void keep(std::vector<unsigned char>& out, JournaledFile& f, uint64_t off, size_t at, size_t n);
    void detach();

    void end();

    File& file_;
    std::vector<unsigned char> pending_;  // the header, until it is written
    uint64_t end_ = 0;
    uint32_t salt_ = 0;
    bool active_ = false;
    std::vector<JournaledFile*> files_;
    std::vector<uint64_t> fronts_;
    std::vector<Saved> saved_;
    std::vector<unsigned char> savedBytes_;
    std::vector<unsigned char> record_;  // the records being sealed
};

}  // namespace sde
