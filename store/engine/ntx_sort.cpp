#include "ntx_sort.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "errors.h"

namespace sde {
namespace {

size_t g_memoryLimit = 8u << 20;

// Groups this small are finished by insertion: a radix pass over them would
// cost more than the few comparisons.
constexpr size_t kInsertionLimit = 24;

// Copies one record: 16 bytes at a time, the last block overlapping the
// one before (records are at least 5 bytes: a key byte and the number).
inline void copyRecord(unsigned char* to, const unsigned char* from, size_t size) {
    if (size < 16) {
        if (size >= 8) {
            std::memcpy(to, from, 8);
            std::memcpy(to + size - 8, from + size - 8, 8);
        } else {
            std::memcpy(to, from, 4);
            std::memcpy(to + size - 4, from + size - 4, 4);
        }
        return;
    }
    for (size_t i = 0; i + 16 < size; i += 16) std::memcpy(to + i, from + i, 16);
    std::memcpy(to + size - 16, from + size - 16, 16);
}

// How many bytes a and b share from the start, at most n; word by word.
inline size_t sharedBytes(const unsigned char* a, const unsigned char* b, size_t n) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t x, y;
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        if (x != y) return i + static_cast<size_t>(__builtin_ctzll(x ^ y) / 8);  // little-endian: first byte lowest
    }
    while (i < n && a[i] == b[i]) ++i;
    return i;
}

// Sorts n records of size bytes at base, whose first `depth` bytes are the
// same for all, by their remaining bytes.
void insertionSort(unsigned char* base, size_t n, size_t size, size_t depth, unsigned char* held) {
    for (size_t i = 1; i < n; ++i) {
        unsigned char* at = base + i * size;
        if (std::memcmp(at - size + depth, at + depth, size - depth) <= 0) continue;
        copyRecord(held, at, size);
        size_t j = i;
        do {
            copyRecord(base + j * size, base + (j - 1) * size, size);
            --j;
        } while (j > 0 && std::memcmp(base + (j - 1) * size + depth, held + depth, size - depth) > 0);
        copyRecord(base + j * size, held, size);
    }
}

// Most-significant-byte radix sort in place (the American flag sort): the
// records of a group are counted by their byte at `depth`, moved into their
// buckets by following cycles, then each bucket is sorted on the next byte.
// Groups whose records share the byte only advance the depth. Pending
// groups wait on an explicit stack, so that long keys cannot exhaust the
// call stack.
void radixSort(unsigned char* records, size_t n, size_t size) {
    if (n < 2) return;
    struct Group {
        size_t first;
        size_t count;
        size_t depth;
    };
    std::vector<Group> pending;
    pending.reserve(1024);
    pending.push_back({0, n, 0});
    std::vector<unsigned char> held(size), moving(size);
    std::vector<uint32_t> numbers;
    size_t count[256];
    size_t head[256];
    size_t end[256];
    while (!pending.empty()) {
        Group g = pending.back();
        pending.pop_back();
        unsigned char* base = records + g.first * size;
        for (;;) {
            if (g.count <= kInsertionLimit) {
                insertionSort(base, g.count, size, g.depth, held.data());
                break;
            }
            if (g.depth >= size) break;  // equal records
            // Bytes shared by the whole group (long common prefixes, the
            // blanks after short texts, equal keys) are passed over at once.
            size_t shared = size - g.depth;
            for (size_t i = 1; i < g.count && shared > 0; ++i)
                shared = sharedBytes(base + g.depth, base + i * size + g.depth, shared);
            if (shared > 0) {
                g.depth += shared;
                continue;
            }
            if (g.depth + 4 >= size) {
                // Equal keys: only the record numbers differ. They are
                // sorted as numbers and written back; no record moves.
                unsigned char* number = base + size - 4;
                numbers.resize(g.count);
                for (size_t i = 0; i < g.count; ++i) std::memcpy(&numbers[i], number + i * size, 4);
                for (uint32_t& v : numbers) v = __builtin_bswap32(v);
                std::sort(numbers.begin(), numbers.end());
                for (size_t i = 0; i < g.count; ++i) {
                    const uint32_t v = __builtin_bswap32(numbers[i]);
                    std::memcpy(number + i * size, &v, 4);
                }
                break;
            }
            const unsigned char* byte = base + g.depth;
            std::fill(std::begin(count), std::end(count), size_t{0});
            for (size_t i = 0; i < g.count; ++i) ++count[byte[i * size]];
            size_t at = 0;
            for (int b = 0; b < 256; ++b) {
                head[b] = at;
                at += count[b];
                end[b] = at;
            }
            for (unsigned b = 0; b < 256; ++b) {
                while (head[b] < end[b]) {
                    unsigned char* hole = base + head[b] * size;
                    unsigned c = hole[g.depth];
                    if (c == b) {
                        ++head[b];
                        continue;
                    }
                    // Carry the record to its bucket, taking the one there
                    // along, until one that belongs in the hole comes back.
                    copyRecord(held.data(), hole, size);
                    do {
                        unsigned char* dest = base + head[c]++ * size;
                        copyRecord(moving.data(), dest, size);
                        copyRecord(dest, held.data(), size);
                        held.swap(moving);
                        c = held[g.depth];
                    } while (c != b);
                    copyRecord(hole, held.data(), size);
                    ++head[b];
                }
            }
            for (int b = 0; b < 256; ++b)
                if (count[b] > 1) pending.push_back({g.first + end[b] - count[b], count[b], g.depth + 1});
            break;
        }
    }
}

}  // namespace

void KeySorter::setMemoryLimit(size_t bytes) { g_memoryLimit = std::max<size_t>(bytes, 4096); }
size_t KeySorter::memoryLimit() { return g_memoryLimit; }

KeySorter::KeySorter(int keySize, bool descending, std::string tempFolder)
    : keySize_(static_cast<size_t>(keySize)), descending_(descending), tempFolder_(std::move(tempFolder)),
      recSize_(static_cast<size_t>(keySize) + 4), keyOut_(static_cast<size_t>(keySize)) {}

KeySorter::~KeySorter() {
    if (temp_) std::fclose(temp_);
}

void KeySorter::add(const unsigned char* key, uint32_t recno) {
    if (used_ == capacity_) {
        if (capacity_ == 0) {
            capacity_ = std::max<size_t>(1, g_memoryLimit / recSize_);
            buf_.reset(new unsigned char[capacity_ * recSize_]);
        } else {
            spill();
        }
    }
    unsigned char* rec = buf_.get() + used_ * recSize_;
    std::memcpy(rec, key, keySize_);
    if (descending_)
        for (size_t i = 0; i < keySize_; ++i) rec[i] = static_cast<unsigned char>(~rec[i]);
    rec[keySize_] = static_cast<unsigned char>(recno >> 24);
    rec[keySize_ + 1] = static_cast<unsigned char>(recno >> 16);
    rec[keySize_ + 2] = static_cast<unsigned char>(recno >> 8);
    rec[keySize_ + 3] = static_cast<unsigned char>(recno);
    ++used_;
    ++count_;
}

const unsigned char* KeySorter::decode(const unsigned char* rec, uint32_t* recno) {
    const unsigned char* r = rec + keySize_;
    *recno = static_cast<uint32_t>(r[0]) << 24 | static_cast<uint32_t>(r[1]) << 16 |
             static_cast<uint32_t>(r[2]) << 8 | r[3];
    if (!descending_) return rec;
    for (size_t i = 0; i < keySize_; ++i) keyOut_[i] = static_cast<unsigned char>(~rec[i]);
    return keyOut_.data();
}

void KeySorter::spill() {
    if (used_ == 0) return;
    radixSort(buf_.get(), used_, recSize_);
    if (!temp_) {
        std::string tmpl = tempFolder_ + "/.ntxsortXXXXXX";
        int fd = mkstemp(tmpl.data());
        if (fd < 0) throw IoError("Cannot create a temporary file in " + tempFolder_);
        ::unlink(tmpl.c_str());
        temp_ = fdopen(fd, "w+b");
        if (!temp_) {
            ::close(fd);
            throw IoError("Cannot open a temporary file in " + tempFolder_);
        }
    }
    std::fseek(temp_, 0, SEEK_END);
    uint64_t offset = static_cast<uint64_t>(std::ftell(temp_));
    size_t bytes = used_ * recSize_;
    if (std::fwrite(buf_.get(), 1, bytes, temp_) != bytes || std::fflush(temp_) != 0)
        throw IoError("Cannot write the temporary sort file (disk full?)");
    runs_.push_back({offset, used_});
    used_ = 0;
}

void KeySorter::finishInput() {
    if (runs_.empty()) {
        radixSort(buf_.get(), used_, recSize_);
        return;
    }
    spill();
    // The merge reads through buffers of its own: the input buffer goes.
    buf_.reset();
    capacity_ = 0;
}

bool KeySorter::lessHead(size_t a, size_t b) const {
    const Reader& x = readers_[a];
    const Reader& y = readers_[b];
    return std::memcmp(x.buf.data() + x.pos, y.buf.data() + y.pos, recSize_) < 0;
}

void KeySorter::refill(Reader& rd) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(perRun_, rd.left));
    rd.buf.resize(n * recSize_);
    rd.pos = 0;
    if (n == 0) return;
    if (std::fseek(temp_, static_cast<long>(rd.next), SEEK_SET) != 0 ||
        std::fread(rd.buf.data(), recSize_, n, temp_) != n)
        throw IoError("Cannot read the temporary sort file");
    rd.next += n * recSize_;
    rd.left -= n;
}

void KeySorter::siftDown(size_t i) {
    const size_t n = heap_.size();
    for (;;) {
        size_t least = i;
        const size_t l = 2 * i + 1, r = l + 1;
        if (l < n && lessHead(heap_[l], heap_[least])) least = l;
        if (r < n && lessHead(heap_[r], heap_[least])) least = r;
        if (least == i) return;
        std::swap(heap_[i], heap_[least]);
        i = least;
    }
}

void KeySorter::startWalk() {
    walkPos_ = 0;
    heap_.clear();
    readers_.clear();
    if (runs_.empty()) return;
    // Each run is read through its own buffer, an eighth of the budget in all.
    perRun_ = std::max<size_t>(64, g_memoryLimit / 8 / recSize_ / runs_.size());
    for (const Run& r : runs_) readers_.push_back({r.offset, r.records, {}, 0});
    for (size_t i = 0; i < readers_.size(); ++i) {
        refill(readers_[i]);
        if (!readers_[i].buf.empty()) heap_.push_back(i);
    }
    for (size_t i = heap_.size() / 2; i-- > 0;) siftDown(i);
}

bool KeySorter::nextSorted(const unsigned char** key, uint32_t* recno) {
    if (runs_.empty()) {
        if (walkPos_ >= used_) return false;
        *key = decode(buf_.get() + walkPos_ * recSize_, recno);
        ++walkPos_;
        return true;
    }
    // The head given last time is consumed now, so that its bytes stayed
    // valid until this call.
    if (walkPos_ > 0) {
        Reader& rd = readers_[heap_[0]];
        rd.pos += recSize_;
        if (rd.pos >= rd.buf.size()) refill(rd);
        if (rd.buf.empty()) {
            heap_[0] = heap_.back();
            heap_.pop_back();
        }
        if (!heap_.empty()) siftDown(0);
    }
    if (heap_.empty()) return false;
    const Reader& rd = readers_[heap_[0]];
    *key = decode(rd.buf.data() + rd.pos, recno);
    ++walkPos_;
    return true;
}

}  // namespace sde
