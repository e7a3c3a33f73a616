#include "journal.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <thread>

#include "errors.h"
#include "little_endian.h"

namespace sde {
namespace {

constexpr char kMagic[8] = {'S', 'D', 'E', 'J', 'R', 'N', 'L', '2'};
// Journals of the first version, sealed with byte-wise FNV-1a, are still
// rolled back.
constexpr char kMagicV1[8] = {'S', 'D', 'E', 'J', 'R', 'N', 'L', '1'};
constexpr size_t kChecksumSize = 4;
// The journal's first bytes are written through a shared mapping: a change
// that fits (every post and edit) costs no system call for its journal.
constexpr size_t kMappedJournal = 64 * 1024;

using Checksum = uint32_t (*)(const unsigned char*, size_t, uint32_t);

uint32_t fnv1a(const unsigned char* p, size_t n, uint32_t salt) {
    uint32_t h = 2166136261u ^ salt;
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 16777619u;
    return h;
}

// FNV-1a over 64-bit words in four interleaved lanes (the multiplications
// of one lane wait for each other, four lanes keep the processor busy),
// each product folded back onto its low half so that every input bit
// reaches the result. Words in host order: a journal is read back only on
// the machine that wrote it.
uint32_t wordHash(const unsigned char* p, size_t n, uint32_t salt) {
    constexpr uint64_t kPrime = 0x100000001b3ull;
    auto mix = [](uint64_t h, const unsigned char* at) {
        uint64_t w;
        std::memcpy(&w, at, sizeof w);
        h = (h ^ w) * kPrime;
        return h ^ (h >> 32);
    };
    uint64_t lane[4] = {0xcbf29ce484222325ull ^ salt, 0x84222325cbf29ce4ull ^ salt,
                        0x9e3779b97f4a7c15ull ^ salt, 0xc2b2ae3d27d4eb4full ^ salt};
    size_t i = 0;
    for (; i + 32 <= n; i += 32)
        for (int k = 0; k < 4; ++k) lane[k] = mix(lane[k], p + i + 8 * k);
    uint64_t h = lane[0];
    for (int k = 1; k < 4; ++k) h = (h ^ lane[k]) * kPrime;
    for (; i + 8 <= n; i += 8) h = mix(h, p + i);
    for (; i < n; ++i) h = (h ^ p[i]) * kPrime;
    h ^= n;
    return static_cast<uint32_t>(h ^ (h >> 32));
}

// Little-endian integers appended a byte at a time (push_back stays inline).
template <int Bytes>
void putLe(std::vector<unsigned char>& r, uint64_t v) {
    for (int i = 0; i < Bytes; ++i) r.push_back(static_cast<unsigned char>(v >> (8 * i)));
}
void put8(std::vector<unsigned char>& r, uint8_t v) { r.push_back(v); }
void put16(std::vector<unsigned char>& r, uint16_t v) { putLe<2>(r, v); }
void put32(std::vector<unsigned char>& r, uint32_t v) { putLe<4>(r, v); }
void put64(std::vector<unsigned char>& r, uint64_t v) { putLe<8>(r, v); }
uint64_t get64(const unsigned char* p) {
    return readLe32(p) | (static_cast<uint64_t>(readLe32(p + 4)) << 32);
}

void seal(std::vector<unsigned char>& record, size_t from, uint32_t salt) {
    put32(record, wordHash(record.data() + from, record.size() - from, salt));
}

bool startsWith(const unsigned char* bytes, const char (&magic)[8]) {
    return std::memcmp(bytes, magic, sizeof magic) == 0;
}

// Whether `file` is the one now at `path` (not one removed since it was opened).
bool isAt(File& file, const std::string& path) {
    try {
        return fileExists(path) && openFile(path, OpenFlags::ReadOnly)->id() == file.id();
    } catch (const NotFoundError&) {
        return false;
    }
}

// Different for every change of every process, so that records a longer
// earlier change left past the end of this one fail their checksums.
uint32_t newSalt() {
    static const uint32_t process = static_cast<uint32_t>(::getpid()) << 16;  // a forked child shares it:
    static uint32_t counter = 0;                                                // the clock tells them apart
    return static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^ process ^
           (++counter * 2654435761u);
}

// What a hot journal holds: the files of the change with their old sizes,
// and the old bytes of their pages (offsets into the journal's bytes), in
// the order they were saved.
struct JournalContents {
    struct FileEntry {
        std::string path;
        uint64_t oldSize;
    };
    struct Page {
        int fileNo;
        uint64_t off;
        size_t at;
        size_t length;
    };
    std::map<int, FileEntry> files;
    std::vector<Page> pages;
};

// Reads one record at `at` into `contents` and moves past it; false at the
// first record that is cut short, fails its checksum or is of no known type.
bool readJournalRecord(const std::vector<unsigned char>& bytes, size_t& at, Checksum checksum,
                       uint32_t salt, JournalContents& contents) {
    const size_t start = at;
    if (at + 2 > bytes.size()) return false;
    const unsigned char type = bytes[at];
    const int fileNo = bytes[at + 1];
    at += 2;
    if (type == 'F') {
        if (at + 2 > bytes.size()) return false;
        size_t len = readLe16(&bytes[at]);
        at += 2;
        if (at + len + 8 + kChecksumSize > bytes.size()) return false;
        std::string name(reinterpret_cast<const char*>(&bytes[at]), len);
        uint64_t oldSize = get64(&bytes[at + len]);
        at += len + 8;
        if (readLe32(&bytes[at]) != checksum(&bytes[start], at - start, salt)) return false;
        at += kChecksumSize;
        contents.files[fileNo] = {name, oldSize};
        return true;
    }
    if (type == 'P') {
        if (at + 12 > bytes.size()) return false;
        uint64_t off = get64(&bytes[at]);
        size_t len = readLe32(&bytes[at + 8]);
        at += 12;
        if (len > bytes.size() || at + len + kChecksumSize > bytes.size()) return false;
        size_t data = at;
        at += len;
        if (readLe32(&bytes[at]) != checksum(&bytes[start], at - start, salt)) return false;
        at += kChecksumSize;
        if (contents.files.count(fileNo)) contents.pages.push_back({fileNo, off, data, len});
        return true;
    }
    return false;
}

// The records of a journal up to the first one that was not completed.
JournalContents readJournal(const std::vector<unsigned char>& bytes) {
    JournalContents contents;
    const bool v1 = bytes.size() >= sizeof kMagic && startsWith(bytes.data(), kMagicV1);
    const Checksum checksum = v1 ? fnv1a : wordHash;
    if (bytes.size() >= sizeof kMagic + 4 && (v1 || startsWith(bytes.data(), kMagic))) {
        const uint32_t salt = readLe32(&bytes[sizeof kMagic]);
        size_t at = sizeof kMagic + 4;
        while (readJournalRecord(bytes, at, checksum, salt, contents)) {
        }
    }
    return contents;
}

// Writes the old bytes back, the last saved first, and cuts every file of
// the change that still exists to its old size.
void undo(const JournalContents& contents, const std::vector<unsigned char>& bytes) {
    std::map<int, std::unique_ptr<File>> open;
    for (const auto& [no, entry] : contents.files) {
        if (!fileExists(entry.path)) continue;
        open[no] = openFile(entry.path, OpenFlags::ReadWrite);
    }
    for (auto it = contents.pages.rbegin(); it != contents.pages.rend(); ++it) {
        auto f = open.find(it->fileNo);
        if (f == open.end()) continue;
        f->second->writeAt(it->off, &bytes[it->at], it->length);
    }
    for (auto& [no, file] : open) {
        const uint64_t oldSize = contents.files.at(no).oldSize;
        if (file->size() != oldSize) file->truncate(oldSize);
    }
}

}  // namespace

// ---- JournaledFile ----

uint64_t JournaledFile::size() {
    if (sizeTrusted()) return size_;
    size_ = inner_->size();
    sizeKnown_ = true;
    return size_;
}

void JournaledFile::writeAt(uint64_t off, const void* buf, size_t n) {
    if (journal_ && off < oldSize_ && off + n > savedFront_) {
        auto block = std::find_if(savedBlocks_.begin(), savedBlocks_.end(),
                                  [off](const auto& b) { return b.first == off; });
        if (block == savedBlocks_.end() || block->second < n)
            journal_->save(*this, off, std::min<uint64_t>(off + n, oldSize_) - off);
    }
    if (journal_) journal_->flushPending();
    try {
        if (sizeTrusted() && off + n <= size_)
            inner_->writeInside(off, buf, n);  // a page or row rewritten in place
        else
            inner_->writeAt(off, buf, n);
    } catch (...) {
        forgetSize();  // part of it may be in
        throw;
    }
    size_ = std::max(size_, off + n);
    // A writer remembers what it wrote at the end (a table's end marker):
    // the next append's journal needs those bytes. Only the sole writer
    // keeps more than the last byte: another program may edit the last row
    // under its record lock, without a sign in the header.
    const size_t keep = sole_ ? 64 : 1;
    if (sizeTrusted() && off + n == size_ && off >= mappedLength_) {
        const auto* bytes = static_cast<const unsigned char*>(buf);
        const size_t k = std::min(n, keep);
        tail_.assign(bytes + n - k, bytes + n);
        tailOff_ = off + n - k;
    } else if (!tail_.empty() && off < tailOff_ + tail_.size() && off + n > tailOff_) {
        tail_.clear();
    }
}

bool JournaledFile::knownBytes(uint64_t off, size_t n, unsigned char* out) const {
    if (!sizeTrusted() || tail_.empty() || off < tailOff_ || off + n > tailOff_ + tail_.size()) return false;
    std::memcpy(out, tail_.data() + (off - tailOff_), n);
    return true;
}

void JournaledFile::beforeFrontWrite() {
    if (journal_) journal_->flushPending();
}

void JournaledFile::willOverwrite(const std::vector<uint64_t>& offsets,
                                  const std::vector<const unsigned char*>& present, size_t blockSize) {
    if (!journal_) return;
    std::vector<uint64_t> old;
    std::vector<const unsigned char*> bytes;
    for (size_t i = 0; i < offsets.size(); ++i) {
        uint64_t off = offsets[i];
        const bool saved = std::any_of(savedBlocks_.begin(), savedBlocks_.end(),
                                       [off](const auto& b) { return b.first == off; });
        if (off + blockSize <= oldSize_ && off >= savedFront_ && !saved) {
            old.push_back(off);
            bytes.push_back(i < present.size() ? present[i] : nullptr);
        }
    }
    if (!old.empty()) journal_->saveBlocks(*this, old, bytes, blockSize);
}

void JournaledFile::truncate(uint64_t length) {
    if (journal_ && length < oldSize_) {
        uint64_t now = std::min(size(), oldSize_);
        if (length < now) journal_->save(*this, length, now - length);
    }
    if (journal_) journal_->flushPending();
    forgetSize();
    inner_->truncate(length);
    size();
}

// ---- Journal ----

Journal::Journal(File& journalFile) : file_(journalFile) {}

bool Journal::hot(File& journalFile) {
    unsigned char magic[sizeof kMagic];
    return journalFile.readAt(0, magic, sizeof magic) == sizeof magic &&
           (startsWith(magic, kMagic) || startsWith(magic, kMagicV1));
}

std::unique_ptr<File> Journal::openFor(const std::string& tablePath) {
    const std::string path = pathFor(tablePath);
    for (int attempt = 0;; ++attempt) {
        auto file = openFile(path, OpenFlags::OpenOrCreate);
        // The last holder may be removing it right now: open the new one then.
        if (file->lockOpenMode(false) && isAt(*file, path)) {
            if (file->size() < kMappedJournal) file->truncate(kMappedJournal);  // never cut back
            file->mapFront(kMappedJournal, true);
            return file;
        }
        if (attempt == 100) throw LockedError("Cannot open the journal " + path);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void Journal::release(std::unique_ptr<File> journalFile, const std::string& tablePath) {
    // Only the last holder gets the file alone; a journal still hot belongs
    // to a writer that died, for the next open to roll back.
    if (journalFile->lockOpenMode(true) && !hot(*journalFile)) removeFile(pathFor(tablePath));
}

void Journal::end() {
    static const unsigned char zeros[sizeof kMagic] = {};
    file_.writeAt(0, zeros, sizeof zeros);
}

Journal::~Journal() {
    if (active_) rollBack();
    detach();
}

void Journal::add(JournaledFile& file, uint64_t front) {
    if (file.journal_) return;  // the same file opened twice in one change
    file.journal_ = this;
    file.fileNo_ = static_cast<int>(files_.size());
    file.oldSize_ = file.size();
    file.savedFront_ = 0;
    file.savedBlocks_.clear();
    files_.push_back(&file);
    fronts_.push_back(front);
}

void Journal::detach() {
    for (JournaledFile* f : files_) {
        f->journal_ = nullptr;
        f->vouched_ = false;
        f->savedBlocks_.clear();
    }
    files_.clear();
    fronts_.clear();
    saved_.clear();
    savedBytes_.clear();
}

// Old bytes of a file, kept in memory for a rollback and sealed into a
// record of `out`.
void Journal::keep(std::vector<unsigned char>& out, JournaledFile& f, uint64_t off, size_t at, size_t n) {
    saved_.push_back({&f, off, at, n});
    const size_t from = out.size();
    put8(out, 'P');
    put8(out, static_cast<uint8_t>(f.fileNo_));
    put64(out, off);
    put32(out, static_cast<uint32_t>(n));
    out.insert(out.end(), savedBytes_.begin() + static_cast<long>(at),
               savedBytes_.begin() + static_cast<long>(at + n));
    seal(out, from, salt_);
}

// Room for n old bytes at the end of savedBytes_; returns where.
size_t Journal::room(size_t n) {
    const size_t at = savedBytes_.size();
    savedBytes_.resize(at + n);
    return at;
}

void Journal::begin() {
    if (files_.size() > 255) throw EngineError("Too many files in one change");
    salt_ = newSalt();
    std::vector<unsigned char>& record = pending_;
    record.assign(kMagic, kMagic + sizeof kMagic);
    put32(record, salt_);
    for (JournaledFile* f : files_) {
        size_t from = record.size();
        put8(record, 'F');
        put8(record, static_cast<uint8_t>(f->fileNo_));
        put16(record, static_cast<uint16_t>(f->path_.size()));
        record.insert(record.end(), f->path_.begin(), f->path_.end());
        put64(record, f->oldSize_);
        seal(record, from, salt_);
    }
    end_ = 0;
    active_ = true;
    // The first bytes that may change through a mapping go in with the
    // header, in the same write.
    for (size_t i = 0; i < files_.size(); ++i) {
        JournaledFile& f = *files_[i];
        uint64_t n = std::min(fronts_[i], f.oldSize_);
        if (n == 0) continue;
        const size_t at = room(n);
        if (f.mapped_ && n <= f.mappedLength_)
            std::memcpy(savedBytes_.data() + at, f.mapped_, n);
        else
            n = f.inner_->readAt(0, savedBytes_.data() + at, n);
        savedBytes_.resize(at + n);
        if (n == 0) continue;
        keep(record, f, 0, at, n);
        f.savedFront_ = n;
    }
}

void Journal::flushPending() {
    if (pending_.empty()) return;
    file_.writeAt(0, pending_.data(), pending_.size());
    end_ = pending_.size();
    pending_.clear();
}

// A record goes out with the header when that is still pending: one write.
void Journal::append(const std::vector<unsigned char>& record) {
    if (!pending_.empty()) {
        pending_.insert(pending_.end(), record.begin(), record.end());
        flushPending();
        return;
    }
    file_.writeAt(end_, record.data(), record.size());
    end_ += record.size();
}

void Journal::save(JournaledFile& f, uint64_t off, uint64_t n) {
    if (!active_ || n == 0) return;
    const size_t at = room(n);
    unsigned char* old = savedBytes_.data() + at;
    const size_t got = f.knownBytes(off, n, old) ? n : f.inner_->readAt(off, old, n);
    savedBytes_.resize(at + got);
    if (got == 0) return;
    record_.clear();
    keep(record_, f, off, at, got);
    append(record_);
}

void Journal::saveBlocks(JournaledFile& f, const std::vector<uint64_t>& offsets,
                         const std::vector<const unsigned char*>& present, size_t blockSize) {
    if (!active_) return;
    record_.clear();
    record_.reserve(offsets.size() * (blockSize + 20));
    for (size_t i = 0; i < offsets.size(); ++i) {
        const uint64_t off = offsets[i];
        const size_t at = savedBytes_.size();
        size_t got = blockSize;
        if (present[i]) {
            savedBytes_.insert(savedBytes_.end(), present[i], present[i] + blockSize);
        } else {
            room(blockSize);
            got = f.inner_->readAt(off, savedBytes_.data() + at, blockSize);
            savedBytes_.resize(at + got);
        }
        if (got == 0) continue;
        keep(record_, f, off, at, got);
        f.savedBlocks_.push_back({off, got});
    }
    if (!record_.empty()) append(record_);
}

void Journal::commit() {
    if (!active_) return;
    if (pending_.empty()) end();  // else nothing was written: no journal to close
    pending_.clear();
    active_ = false;
    detach();
}

bool Journal::rollBack() {
    if (!active_) return true;
    for (JournaledFile* f : files_) f->forgetSize();
    if (!pending_.empty()) {  // the header never went out: no file was touched
        pending_.clear();
        active_ = false;
        detach();
        return true;
    }
    bool whole = true;
    try {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
            it->file->inner_->writeAt(it->off, savedBytes_.data() + it->at, it->length);
        for (JournaledFile* f : files_)
            if (f->inner_->size() != f->oldSize_) f->inner_->truncate(f->oldSize_);
    } catch (const EngineError&) {
        whole = false;
    }
    if (whole) {
        try {
            end();
        } catch (const EngineError&) {
        }
    }
    active_ = false;
    detach();
    return whole;
}

bool Journal::recover(const std::string& tablePath) {
    const std::string path = pathFor(tablePath);
    if (!fileExists(path)) return false;
    std::unique_ptr<File> j;
    try {
        j = openFile(path, OpenFlags::ReadWrite);
    } catch (const NotFoundError&) {
        return false;  // its last holder removed it meanwhile
    }
    if (!hot(*j)) {
        release(std::move(j), tablePath);
        return false;
    }
    std::vector<unsigned char> bytes(static_cast<size_t>(j->size()));
    bytes.resize(j->readAt(0, bytes.data(), bytes.size()));
    const JournalContents contents = readJournal(bytes);
    // A journal whose header never made it has nothing to undo: no file
    // was written before it was complete.
    undo(contents, bytes);
    // Zeroed, the magic ends the change; the file itself stays for those who
    // hold it open (their changes go into it).
    static const unsigned char zeros[sizeof kMagic] = {};
    j->writeAt(0, zeros, sizeof zeros);
    release(std::move(j), tablePath);
    return !contents.files.empty();
}

}  // namespace sde
