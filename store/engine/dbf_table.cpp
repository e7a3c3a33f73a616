#include "dbf_table.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>
#include <set>

#include "errors.h"
#include "little_endian.h"

namespace sde {
namespace {

constexpr size_t kCacheBytes = 64 * 1024;
constexpr uint64_t kViewSlack = 1 << 20;  // the read view reaches this far past the records seen

bool knownVersion(uint8_t v) {
    // dBase III, and the memo markers (reported to the layer, which refuses them).
    return v == 0x03 || v == 0x83 || v == 0x86 || v == 0xF5 || v == 0xF6 || v == 0xE5 ||
           v == 0xE6;
}

void validateField(const FieldInfo& f, const std::string& path) {
    auto bad = [&](const std::string& why) {
        throw CorruptFileError("Damaged table header in " + path + ": field " + f.name + " " +
                               why);
    };
    switch (f.type) {
        case 'C':
            if (f.width < 1) bad("has width 0");
            break;
        case 'N':
            if (f.width < 1 || f.width > 20) bad("has a numeric width outside 1..20");
            if (f.decimals >= f.width && f.decimals != 0) bad("has more decimals than width");
            break;
        case 'D':
            if (f.width != 8) bad("is a date field whose width is not 8");
            break;
        case 'L':
            if (f.width != 1) bad("is a logical field whose width is not 1");
            break;
        default:
            throw CorruptFileError("Unsupported field type '" + std::string(1, f.type) +
                                   "' for field " + f.name + " in " + path);
    }
}

}  // namespace

void todayHeaderDate(unsigned char out[3]) {
    // Worked out once a second: every post writes the date.
    thread_local std::time_t known = -1;
    thread_local unsigned char date[3];
    const std::time_t now = std::time(nullptr);
    if (now != known) {
        std::tm tmNow{};
        localtime_r(&now, &tmNow);
        date[0] = static_cast<unsigned char>(tmNow.tm_year % 256);
        date[1] = static_cast<unsigned char>(tmNow.tm_mon + 1);
        date[2] = static_cast<unsigned char>(tmNow.tm_mday);
        known = now;
    }
    std::memcpy(out, date, sizeof date);
}

std::unique_ptr<DbfTable> DbfTable::open(const std::string& path, Mode mode) {
    std::unique_ptr<DbfTable> t(new DbfTable());
    t->path_ = path;
    t->mode_ = mode;
    t->file_ = std::make_unique<JournaledFile>(
        openFile(path, mode == Mode::ReadOnly ? OpenFlags::ReadOnly : OpenFlags::ReadWrite), path);
    if (!t->file_->lockOpenMode(mode == Mode::Exclusive))
        throw LockedError("Table is in use by another work area or program: " + path);
    t->id_ = t->file_->id();
    t->recoverJournal();
    t->file_->setSoleWriter(mode == Mode::Exclusive);
    t->parseHeader();
    if (t->writable()) t->mappedHeader_ = t->file_->mapFront(kDbfDate + kDbfUpdatedSize, true);
    return t;
}

void DbfTable::parseHeader() {
    unsigned char h[kDbfHeaderSize];
    const uint64_t size = file_->size();
    if (size < kDbfHeaderSize)
        throw CorruptFileError("Damaged table: " + path_ + " is shorter than a header");
    file_->readExact(0, h, kDbfHeaderSize, path_.c_str());
    version_ = h[kDbfVersion];
    if (!knownVersion(version_))
        throw CorruptFileError("Not a dBase III table: " + path_ + " (version byte " +
                               std::to_string(version_) + ")");
    std::copy(h + kDbfDate, h + kDbfDate + kDbfUpdatedSize, headerBytes_);
    headerLength_ = readLe16(h + kDbfHeaderLength);
    recordLength_ = readLe16(h + kDbfRecordLength);
    if (headerLength_ < kDbfHeaderSize + kDbfDescriptorSize + 1 || headerLength_ > size)
        throw CorruptFileError("Damaged table header in " + path_ +
                               ": header length disagrees with the file size");
    if (recordLength_ < 2)
        throw CorruptFileError("Damaged table header in " + path_ + ": record length " +
                               std::to_string(recordLength_));
    parseDescriptors();
    settleRecordCount(readLe32(h + kDbfRecordCount), size);
}

void DbfTable::parseDescriptors() {
    std::vector<unsigned char> desc(headerLength_ - kDbfHeaderSize);
    file_->readExact(kDbfHeaderSize, desc.data(), desc.size(), path_.c_str());
    std::set<std::string> names;
    int offset = 1;
    size_t pos = 0;
    for (;;) {
        if (pos >= desc.size())
            throw CorruptFileError("Damaged table header in " + path_ +
                                   ": no end of the field descriptors");
        if (desc[pos] == kDbfDescriptorEnd) break;
        if (pos + kDbfDescriptorSize > desc.size())
            throw CorruptFileError("Damaged table header in " + path_ +
                                   ": field descriptors overrun the header length");
        FieldInfo f = parseDescriptor(desc.data() + pos);
        if (!names.insert(f.name).second)
            throw CorruptFileError("Damaged table header in " + path_ + ": field " + f.name +
                                   " appears twice");
        f.offset = offset;
        offset += f.width;
        fields_.push_back(f);
        pos += kDbfDescriptorSize;
    }
    if (fields_.empty())
        throw CorruptFileError("Damaged table header in " + path_ + ": no field");
    if (offset != recordLength_)
        throw CorruptFileError("Damaged table header in " + path_ +
                               ": record length disagrees with the field descriptors");
}

FieldInfo DbfTable::parseDescriptor(const unsigned char* d) const {
    FieldInfo f;
    for (size_t i = 0; i < kDbfFieldNameSize && d[kDbfFieldName + i] != 0; ++i) {
        unsigned char c = d[kDbfFieldName + i];
        if (!(std::isalnum(c) || c == '_'))
            throw CorruptFileError("Damaged table header in " + path_ + ": invalid field name");
        f.name += static_cast<char>(std::toupper(c));
    }
    if (f.name.empty())
        throw CorruptFileError("Damaged table header in " + path_ + ": empty field name");
    f.type = static_cast<char>(std::toupper(d[kDbfFieldType]));
    f.width = d[kDbfFieldWidth];
    f.decimals = d[kDbfFieldDecimals];
    if (f.type == 'C' && f.decimals != 0) {  // wide character fields (Clipper)
        f.width += f.decimals * 256;
        f.decimals = 0;
    }
    validateField(f, path_);
    return f;
}

void DbfTable::settleRecordCount(uint32_t headerCount, uint64_t size) {
    uint32_t onDisk = static_cast<uint32_t>((size - headerLength_) / recordLength_);
    if (headerCount > onDisk && mode_ != Mode::Exclusive) {
        // A writer may be between growing the file and writing the count,
        // or rolling an append back: look again once it is done (writers
        // hold the header lock; a shared lock waits for them).
        if (file_->lockRange(kLockBase, 1, false, true)) {
            unsigned char count[4];
            try {
                size = file_->size();
                file_->readExact(kDbfRecordCount, count, sizeof count, path_.c_str());
            } catch (...) {
                file_->unlockRange(kLockBase, 1);
                throw;
            }
            file_->unlockRange(kLockBase, 1);
            headerCount = readLe32(count);
            std::copy(count, count + sizeof count, headerBytes_ + (kDbfRecordCount - kDbfDate));
            onDisk = size >= headerLength_ ? static_cast<uint32_t>((size - headerLength_) / recordLength_) : 0;
        }
    }
    if (headerCount > onDisk)
        throw CorruptFileError("Damaged table: " + path_ + " is truncated (header counts " +
                               std::to_string(headerCount) + " records, the file holds " +
                               std::to_string(onDisk) + ")");
    count_ = onDisk;
    // A count left behind by an interrupted append is mended on a writable open.
    if (headerCount != onDisk && writable() && lockHeader(true)) {
        refreshCount();
        writeHeaderCount();
        unlockHeader();
    }
}

// A journal left beside the table belongs to a change whose writer died:
// its writer held the header lock (or the table alone) for the whole change,
// so once we hold it, the journal is rolled back.
void DbfTable::recoverJournal() {
    if (!fileExists(Journal::pathFor(path_))) return;
    if (mode_ == Mode::Exclusive) {
        Journal::recover(path_);
        return;
    }
    try {  // the journal of other work areas at rest: nothing to wait for
        if (!Journal::hot(*openFile(Journal::pathFor(path_), OpenFlags::ReadOnly))) return;
    } catch (const NotFoundError&) {
        return;
    }
    std::unique_ptr<File> writable;  // a read-only descriptor cannot take a write lock
    File* lockOn = file_.get();
    if (mode_ == Mode::ReadOnly) {
        try {
            writable = openFile(path_, OpenFlags::ReadWrite);
        } catch (const EngineError&) {
            return;  // nobody here may write it; the next writer rolls it back
        }
        lockOn = writable.get();
    }
    if (!lockOn->lockRange(kLockBase, 1, true, true)) return;
    try {
        Journal::recover(path_);
    } catch (...) {
        lockOn->unlockRange(kLockBase, 1);
        throw;
    }
    lockOn->unlockRange(kLockBase, 1);
}

void DbfTable::vouchForChange() {
    file_->vouch(mode_ == Mode::Exclusive ||
                 (mappedHeader_ && ownStampValid_ &&
                  std::memcmp(mappedHeader_ + kDbfDate, ownStamp_, sizeof ownStamp_) == 0));
}

void DbfTable::reloadAfterRollback() {
    ownStampValid_ = false;
    file_->forgetSize();
    cacheCount_ = 0;
    dropView();
    unsigned char h[kDbfDate + kDbfUpdatedSize];
    if (file_->readAt(0, h, sizeof h) == sizeof h)
        std::copy(h + kDbfDate, h + kDbfDate + kDbfUpdatedSize, headerBytes_);
    uint64_t size = file_->size();
    count_ = size > headerLength_ ? static_cast<uint32_t>((size - headerLength_) / recordLength_) : 0;
}

int DbfTable::fieldIndex(const std::string& name) const {
    std::string upper;
    for (char c : name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    while (!upper.empty() && upper.back() == ' ') upper.pop_back();
    for (size_t i = 0; i < fields_.size(); ++i)
        if (fields_[i].name == upper) return static_cast<int>(i);
    return -1;
}

void DbfTable::refreshCount() {
    if (mode_ == Mode::Exclusive) return;  // nobody else can append
    uint64_t size = file_->size();
    uint32_t onDisk =
        size > headerLength_ ? static_cast<uint32_t>((size - headerLength_) / recordLength_) : 0;
    if (onDisk != count_) {
        count_ = onDisk;
        cacheCount_ = 0;
    }
}

std::vector<unsigned char> DbfTable::blankRecord() const {
    return std::vector<unsigned char>(recordLength_, ' ');
}

void DbfTable::readRecord(uint32_t recno, unsigned char* image) {
    if (recno < 1 || recno > count_) throw EngineError("Record number out of range");
    if (recno >= cacheFirst_ && recno < cacheFirst_ + cacheCount_) {
        std::memcpy(image, cache_.data() + static_cast<size_t>(recno - cacheFirst_) * recordLength_,
                    recordLength_);
        return;
    }
    const uint64_t off = recordOffset(recno);
    if (!copyFromView(off, image)) file_->readExact(off, image, recordLength_, path_.c_str());
}

bool DbfTable::copyFromView(uint64_t off, unsigned char* image) {
    const uint64_t end = off + recordLength_;
    if (end > viewLength_) {
        if (viewRefused_) return false;
        const uint64_t length = end + end / 4 + kViewSlack;
        view_ = file_->mapForReading(length);
        viewLength_ = view_ ? length : 0;
        viewRefused_ = !view_;
        if (!view_) return false;
    }
    // A file cut short by another program since its size was checked: the
    // pages wholly past its end fail the copy, and the tail of its last page
    // reads as zeros, where a deletion flag never is. A read then tells what
    // is really there (and names the damage).
    return copyMapped(image, view_ + off, recordLength_) && image[0] != 0;
}

void DbfTable::dropView() {
    if (view_) file_->mapForReading(0);
    view_ = nullptr;
    viewLength_ = 0;
}

const unsigned char* DbfTable::cachedRecord(uint32_t recno) {
    if (recno < 1 || recno > count_) throw EngineError("Record number out of range");
    if (!(recno >= cacheFirst_ && recno < cacheFirst_ + cacheCount_)) {
        uint32_t per = std::max<uint32_t>(1, static_cast<uint32_t>(kCacheBytes / recordLength_));
        uint32_t n = std::min(per, count_ - recno + 1);
        cache_.resize(static_cast<size_t>(n) * recordLength_);
        cacheCount_ = 0;
        // One read rather than a copy out of the view: a pass in record
        // order (an index build, a check) then leaves no trail of mapped
        // pages as long as the table in the resident size.
        file_->readExact(recordOffset(recno), cache_.data(), cache_.size(), path_.c_str());
        cacheFirst_ = recno;
        cacheCount_ = n;
    }
    return cache_.data() + static_cast<size_t>(recno - cacheFirst_) * recordLength_;
}

void DbfTable::writeRecord(uint32_t recno, const unsigned char* image,
                           const unsigned char* current) {
    if (!writable()) throw EngineError("Table is open read only: " + path_);
    if (recno < 1 || recno > count_) throw EngineError("Record number out of range");
    cacheCount_ = 0;
    // One write of the whole image; when it fails half-way the old image
    // goes back, so that the record is never left a mix of the two.
    std::vector<unsigned char> old(recordLength_);
    if (current)
        std::copy(current, current + recordLength_, old.begin());
    else
        readRecord(recno, old.data());
    try {
        file_->writeAt(recordOffset(recno), image, recordLength_);
    } catch (const EngineError&) {
        try {
            file_->writeAt(recordOffset(recno), old.data(), old.size());
        } catch (const EngineError&) {
        }
        throw;
    }
}

uint32_t DbfTable::appendRecord(const unsigned char* image) {
    if (!writable()) throw EngineError("Table is open read only: " + path_);
    if (count_ == 0xFFFFFFFEu) throw EngineError("Table is full: " + path_);
    cacheCount_ = 0;
    std::vector<unsigned char> buf(image, image + recordLength_);
    buf.push_back(kDbfEofMarker);
    uint64_t at = recordOffset(count_ + 1);
    const uint32_t countBefore = count_;
    unsigned char headerBefore[kDbfUpdatedSize];
    std::copy(std::begin(headerBytes_), std::end(headerBytes_), headerBefore);
    try {
        file_->writeAt(at, buf.data(), buf.size());
        count_ = countBefore + 1;
        writeHeaderCount();
    } catch (const EngineError&) {
        // Leave the file as it was: no partial record past the last one and
        // no header count ahead of the records.
        count_ = countBefore;
        ownStampValid_ = false;
        try {
            file_->truncate(at);
            file_->writeAt(at, &kDbfEofMarker, 1);
            file_->writeAt(kDbfDate, headerBefore, sizeof headerBefore);
        } catch (const EngineError&) {
        }
        throw;
    }
    return count_;
}

void DbfTable::writeHeaderCount() {
    unsigned char h[kDbfUpdatedSize];
    todayHeaderDate(h);
    writeLe32(h + (kDbfRecordCount - kDbfDate), count_);
    if (mappedHeader_) {
        file_->beforeFrontWrite();
        std::memcpy(mappedHeader_ + kDbfDate, h, sizeof h);  // in the page cache, for every process
        std::copy(std::begin(h), std::end(h), ownStamp_);
        ownStampValid_ = true;
    } else {
        file_->writeAt(kDbfDate, h, sizeof h);
    }
    std::copy(std::begin(h), std::end(h), headerBytes_);
}

void DbfTable::zap() {
    if (!writable()) throw EngineError("Table is open read only: " + path_);
    cacheCount_ = 0;
    dropView();
    file_->truncate(headerLength_);
    file_->writeAt(headerLength_, &kDbfEofMarker, 1);
    count_ = 0;
    writeHeaderCount();
}

bool DbfTable::lockHeader(bool wait) {
    if (mode_ == Mode::Exclusive) return true;
    return file_->lockRange(kLockBase, 1, true, wait);
}
void DbfTable::unlockHeader() {
    if (mode_ != Mode::Exclusive) file_->unlockRange(kLockBase, 1);
}
bool DbfTable::lockRecord(uint32_t recno, bool wait) {
    if (mode_ == Mode::Exclusive) return true;
    return file_->lockRange(kLockBase + recno, 1, true, wait);
}
void DbfTable::unlockRecord(uint32_t recno) {
    if (mode_ != Mode::Exclusive) file_->unlockRange(kLockBase + recno, 1);
}

void DbfTable::create(const std::string& path, const std::vector<FieldInfo>& fields) {
    if (fields.empty() || fields.size() > 1000) throw EngineError("A table needs 1 to 1000 fields");
    // The header, the descriptors, then 0x0D and 0x00.
    std::vector<unsigned char> h(kDbfHeaderSize + kDbfDescriptorSize * fields.size() + 2, 0);
    unsigned recLen = 1;
    std::set<std::string> names;
    for (size_t i = 0; i < fields.size(); ++i) {
        FieldInfo f = fields[i];
        if (f.name.empty() || f.name.size() > 10) throw EngineError("Bad field name: " + f.name);
        for (auto& c : f.name) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_'))
                throw EngineError("Bad field name: " + f.name);
        }
        if (!names.insert(f.name).second) throw EngineError("Field twice: " + f.name);
        f.type = static_cast<char>(std::toupper(static_cast<unsigned char>(f.type)));
        if (f.type == 'D') f.width = 8;
        if (f.type == 'L') f.width = 1;
        if (f.type != 'N') f.decimals = 0;
        if (f.type == 'C' && (f.width < 1 || f.width > 254))
            throw EngineError("Bad width for field " + f.name);
        validateField(f, path);
        unsigned char* d = h.data() + kDbfHeaderSize + kDbfDescriptorSize * i;
        std::memcpy(d + kDbfFieldName, f.name.data(), f.name.size());
        d[kDbfFieldType] = static_cast<unsigned char>(f.type);
        d[kDbfFieldWidth] = static_cast<unsigned char>(f.width);
        d[kDbfFieldDecimals] = static_cast<unsigned char>(f.decimals);
        recLen += static_cast<unsigned>(f.width);
    }
    if (recLen > 65535) throw EngineError("Record too long");
    h[kDbfVersion] = 0x03;
    todayHeaderDate(h.data() + kDbfDate);
    writeLe16(h.data() + kDbfHeaderLength, static_cast<uint16_t>(h.size()));
    writeLe16(h.data() + kDbfRecordLength, static_cast<uint16_t>(recLen));
    h[h.size() - 2] = kDbfDescriptorEnd;
    h.push_back(kDbfEofMarker);
    auto file = openFile(path, OpenFlags::CreateNew);
    file->writeAt(0, h.data(), h.size());
}

}  // namespace sde
