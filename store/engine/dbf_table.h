// A dBase III table file: header, field descriptors, fixed-length records.
//
// File layout (integers little-endian):
//
//   offset  size  content
//   0       32    header
//   32      32*n  field descriptors, one per field
//   32+32n  1     0x0D, end of the descriptors
//   33+32n  1     0x00 (counted in the header length)
//   hdrlen  reclen*count  records, from record 1
//   end     1     0x1A end-of-file marker (absent after some writers' appends)
//
// Header:
//
//   offset  size  content
//   0       1     version byte: 0x03 (0x83 and others: memo variants, refused)
//   1       3     date of last update: year - 1900, month, day
//   4       4     record count, deleted records included
//   8       2     header length: 32 + 32 * fields + 2
//   10      2     record length: 1 + the sum of the field widths
//   12      20    zero
//
// Field descriptor:
//
//   offset  size  content
//   0       11    name, upper-case ASCII, NUL-padded
//   11      1     type letter: C, N, D or L
//   12      4     zero
//   16      1     width (low byte of the width for a wide C field)
//   17      1     decimals (for a C field: the high byte of its width)
//   18      14    zero
//
// Record: the deletion flag (' ' live, '*' deleted), then the fields in
// descriptor order, without separators.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "field_info.h"
#include "file_io.h"
#include "journal.h"

namespace sde {

// Offsets and sizes of the layout above.
constexpr size_t kDbfHeaderSize = 32;
constexpr size_t kDbfVersion = 0;
constexpr size_t kDbfDate = 1;
constexpr size_t kDbfRecordCount = 4;
constexpr size_t kDbfUpdatedSize = 7;  // date and count, from kDbfDate: rewritten by each append
constexpr size_t kDbfHeaderLength = 8;
constexpr size_t kDbfRecordLength = 10;
constexpr size_t kDbfDescriptorSize = 32;
constexpr size_t kDbfFieldName = 0;
constexpr size_t kDbfFieldNameSize = 11;
constexpr size_t kDbfFieldType = 11;
constexpr size_t kDbfFieldWidth = 16;
constexpr size_t kDbfFieldDecimals = 17;
constexpr unsigned char kDbfDescriptorEnd = 0x0D;
constexpr unsigned char kDbfEofMarker = 0x1A;
constexpr unsigned char kDbfDeletedFlag = '*';

// Where the Clipper lock scheme puts its locks, far past the data.
constexpr uint64_t kLockBase = 1000000000ULL;

class DbfTable {
public:
    enum class Mode { Shared, ReadOnly, Exclusive };

    // Opens and validates the table. Throws EngineError when the file cannot
    // be opened or is held exclusively by someone else, CorruptFileError when
    // its header does not make sense.
    static std::unique_ptr<DbfTable> open(const std::string& path, Mode mode);

    // Writes a new empty table; refuses an existing file.
    static void create(const std::string& path, const std::vector<FieldInfo>& fields);

    const std::string& path() const { return path_; }
    Mode mode() const { return mode_; }
    bool writable() const { return mode_ != Mode::ReadOnly; }
    uint8_t versionByte() const { return version_; }
    const std::vector<FieldInfo>& fields() const { return fields_; }
    int fieldIndex(const std::string& name) const;  // -1 when absent
    uint16_t recordLength() const { return recordLength_; }
    uint16_t headerLength() const { return headerLength_; }
    FileId fileId() const { return id_; }

    // Record count as last seen; refreshCount() re-reads it from the file size
    // (another process may have appended).
    uint32_t recordCount() const { return count_; }
    void refreshCount();

    // A blank record image: deletion flag and every field as spaces.
    std::vector<unsigned char> blankRecord() const;

    // recno from 1. readRecord fills recordLength() bytes.
    void readRecord(uint32_t recno, unsigned char* image);
    // `current`, when given, is what the record holds now (kept to put it
    // back if the write fails); else it is read first.
    void writeRecord(uint32_t recno, const unsigned char* image,
                     const unsigned char* current = nullptr);
    // Appends at the end: the record and the end marker, then the header
    // count and date. Returns the new record number.
    uint32_t appendRecord(const unsigned char* image);
    // Removes every record.
    void zap();

    // The file, for a journal of changes (journal.h).
    JournaledFile& file() { return *file_; }
    // At the start of a change, under the header lock: tells the file
    // whether anybody else changed it since this process last did.
    void vouchForChange();
    // After a change was rolled back: count, header bytes and cache as the
    // file now has them.
    void reloadAfterRollback();
    // Flushes the file to disk (fdatasync).
    void sync() { file_->sync(); }

    // Clipper-scheme locks (no-ops for an exclusive open, which holds the
    // whole file already).
    bool lockHeader(bool wait);
    void unlockHeader();
    bool lockRecord(uint32_t recno, bool wait);
    void unlockRecord(uint32_t recno);

    // Sequential reading: records [first, first+n) land in one buffer, read
    // with a single system call. The buffer is dropped by invalidateCache().
    const unsigned char* cachedRecord(uint32_t recno);
    void invalidateCache() { cacheCount_ = 0; }
    bool isCached(uint32_t recno) const {
        return recno >= cacheFirst_ && recno < cacheFirst_ + cacheCount_;
    }

private:
    DbfTable() = default;
    // Opening: the fixed header, the field descriptors, then the record
    // count, taken from the file size (a header count above it: a cut file).
    void parseHeader();
    void parseDescriptors();
    FieldInfo parseDescriptor(const unsigned char* descriptor) const;
    void settleRecordCount(uint32_t headerCount, uint64_t fileSize);
    void recoverJournal();
    void writeHeaderCount();
    // The record at `off` (at most count_) out of the read view; false when
    // it must be read from the file.
    bool copyFromView(uint64_t off, unsigned char* image);
    void dropView();
    uint64_t recordOffset(uint32_t recno) const {
        return headerLength_ + static_cast<uint64_t>(recno - 1) * recordLength_;
    }

    std::unique_ptr<JournaledFile> file_;
    std::string path_;
    Mode mode_ = Mode::Shared;
    FileId id_;
    uint8_t version_ = 3;
    uint16_t headerLength_ = 0;
    uint16_t recordLength_ = 0;
    uint32_t count_ = 0;
    unsigned char headerBytes_[kDbfUpdatedSize] = {};  // date and count as last written or read
    unsigned char* mappedHeader_ = nullptr;  // bytes 0..7, when the file could be mapped
    // Date and count as this process last wrote them: every appender writes
    // there, so the same bytes at the next change mean nobody else appended.
    unsigned char ownStamp_[kDbfUpdatedSize] = {};
    bool ownStampValid_ = false;
    std::vector<FieldInfo> fields_;

    // A read-only view of the file shared with the page cache (file_io.h):
    // single records (readRecord) are copied out of it with no system call,
    // so that a walk in any order costs none per row, and they are as fresh
    // as a read's. Only records up to count_ are copied, which the file was
    // seen to hold (or which this object wrote); the view reaches past them,
    // so that a growing table is remapped seldom. Its pages that were read
    // count in the process's resident size (they are the page cache's).
    const unsigned char* view_ = nullptr;
    uint64_t viewLength_ = 0;
    bool viewRefused_ = false;  // the file cannot be mapped: reads only

    std::vector<unsigned char> cache_;
    uint32_t cacheFirst_ = 0;
    uint32_t cacheCount_ = 0;
};

// Today's date as the three header bytes (year - 1900, month, day).
void todayHeaderDate(unsigned char out[3]);

}  // namespace sde
