#include "ntx_sort.h"

#include <errno.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <system_error>

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

// Compares n bytes as unsigned; -1, 0 or 1.
inline int compareBytes(const unsigned char* a, const unsigned char* b, size_t n) {
    const size_t i = sharedBytes(a, b, n);
    if (i == n) return 0;
    return a[i] < b[i] ? -1 : 1;
}

// Sorts record numbers (big-endian, `size` bytes apart) in place. Numbers
// close together, as the rows of one key in a run of the table mostly
// are, are marked in a bitmap and read back in order; others are sorted.
void sortNumbers(unsigned char* number, size_t n, size_t size, std::vector<uint32_t>& numbers,
                 std::vector<uint64_t>& bits) {
    numbers.resize(n);
    for (size_t i = 0; i < n; ++i) {
        std::memcpy(&numbers[i], number + i * size, 4);
        numbers[i] = __builtin_bswap32(numbers[i]);
    }
    const auto [low, high] = std::minmax_element(numbers.begin(), numbers.end());
    const uint32_t first = *low;
    const size_t words = (static_cast<size_t>(*high - first) >> 6) + 1;
    bool marked = words <= 4 * n;
    if (marked) {
        bits.assign(words, 0);
        for (uint32_t v : numbers) {
            const uint32_t at = v - first;
            const uint64_t bit = uint64_t{1} << (at & 63);
            if (bits[at >> 6] & bit) {
                marked = false;  // a number twice: the bitmap cannot hold it
                break;
            }
            bits[at >> 6] |= bit;
        }
    }
    if (marked) {
        size_t i = 0;
        for (size_t w = 0; w < words; ++w)
            for (uint64_t word = bits[w]; word; word &= word - 1)
                numbers[i++] = first + static_cast<uint32_t>(w * 64 + static_cast<size_t>(__builtin_ctzll(word)));
    } else {
        std::sort(numbers.begin(), numbers.end());
    }
    for (size_t i = 0; i < n; ++i) {
        const uint32_t v = __builtin_bswap32(numbers[i]);
        std::memcpy(number + i * size, &v, 4);
    }
}

// Sorts n records of size bytes at base, whose first `depth` bytes are the
// same for all, by their remaining bytes.
void insertionSort(unsigned char* base, size_t n, size_t size, size_t depth, unsigned char* held) {
    for (size_t i = 1; i < n; ++i) {
        unsigned char* at = base + i * size;
        if (compareBytes(at - size + depth, at + depth, size - depth) <= 0) continue;
        copyRecord(held, at, size);
        size_t j = i;
        do {
            copyRecord(base + j * size, base + (j - 1) * size, size);
            --j;
        } while (j > 0 && compareBytes(base + (j - 1) * size + depth, held + depth, size - depth) > 0);
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
    std::vector<uint64_t> bits;
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
                sortNumbers(base + size - 4, g.count, size, numbers, bits);
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

// Moves a run's bytes to or from the temporary file through pwrite or
// pread, however many calls it takes.
template <class Bytes, class Call>
void moveRun(Call call, int fd, Bytes* data, size_t bytes, uint64_t offset, const char* failure) {
    while (bytes > 0) {
        const ssize_t n = call(fd, data, bytes, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw IoError(failure);
        data += n;
        bytes -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
}

void writeRun(int fd, const unsigned char* data, size_t bytes, uint64_t offset) {
    moveRun(::pwrite, fd, data, bytes, offset, "Cannot write the temporary sort file (disk full?)");
}

void readRun(int fd, unsigned char* data, size_t bytes, uint64_t offset) {
    moveRun(::pread, fd, data, bytes, offset, "Cannot read the temporary sort file");
}

}  // namespace

void KeySorter::setMemoryLimit(size_t bytes) { g_memoryLimit = std::max<size_t>(bytes, 4096); }
size_t KeySorter::memoryLimit() { return g_memoryLimit; }

KeySorter::KeySorter(int keySize, bool descending, std::string tempFolder)
    : keySize_(static_cast<size_t>(keySize)), descending_(descending), tempFolder_(std::move(tempFolder)),
      recSize_(static_cast<size_t>(keySize) + 4), keyOut_(static_cast<size_t>(keySize)) {}

KeySorter::~KeySorter() {
    // A half or a merge still with the worker is stopped or waited for
    // (its failure, if any, was not asked for) before the buffer goes.
    stopMerge();
    if (worker_.valid()) worker_.wait();
    if (temp_ >= 0) ::close(temp_);
}

void KeySorter::add(const unsigned char* key, uint32_t recno) {
    if (used_ == capacity_) {
        if (capacity_ == 0) {
            capacity_ = std::max<size_t>(2, g_memoryLimit / recSize_);
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

// Places a run of n records at the end of the temporary file.
uint64_t KeySorter::reserveRun(size_t n) {
    if (temp_ < 0) {
        std::string tmpl = tempFolder_ + "/.ntxsortXXXXXX";
        temp_ = mkstemp(tmpl.data());
        if (temp_ < 0) throw IoError("Cannot create a temporary file in " + tempFolder_);
        ::unlink(tmpl.c_str());
    }
    const uint64_t offset = tempEnd_;
    tempEnd_ += static_cast<uint64_t>(n) * recSize_;
    runs_.push_back({offset, n});
    return offset;
}

// Sorts the first n records of the buffer as two runs, the first half on
// the worker thread while the second is sorted here, each written to the
// temporary file if asked.
void KeySorter::sortHalves(size_t n, bool writeFirst, bool writeSecond) {
    const size_t half = n / 2;
    unsigned char* first = buf_.get();
    unsigned char* second = first + half * recSize_;
    uint64_t firstAt = 0, secondAt = 0;
    if (writeFirst && half > 0) firstAt = reserveRun(half);
    if (writeSecond) secondAt = reserveRun(n - half);
    if (half > 0) {
        auto job = [fd = temp_, first, half, size = recSize_, writeFirst, firstAt] {
            radixSort(first, half, size);
            if (writeFirst) writeRun(fd, first, half * size, firstAt);
        };
        try {
            worker_ = std::async(std::launch::async, job);
        } catch (const std::system_error&) {
            job();  // no thread to be had: the half is done here
        }
    }
    radixSort(second, n - half, recSize_);
    if (writeSecond) writeRun(temp_, second, (n - half) * recSize_, secondAt);
    waitForWorker();
}

void KeySorter::waitForWorker() {
    if (worker_.valid()) worker_.get();
}

// The buffer is full: it goes to the temporary file as two sorted runs.
void KeySorter::spill() {
    spilled_ = true;
    sortHalves(used_, true, true);
    used_ = 0;
}

void KeySorter::finishInput() {
    if (!spilled_) {
        radixSort(buf_.get(), used_, recSize_);
        return;
    }
    // The last records stay in memory as two runs, or as one when the
    // first half must go to the file to make room for the merge's reads.
    const size_t half = used_ / 2;
    const bool writeFirst = used_ > capacity_ / 2;
    sortHalves(used_, writeFirst, false);
    unsigned char* second = buf_.get() + half * recSize_;
    memoryRuns_.clear();
    if (writeFirst) {
        room_ = buf_.get();
        roomRecords_ = half;
    } else {
        if (half > 0) memoryRuns_.push_back({buf_.get(), half});
        room_ = buf_.get() + used_ * recSize_;
        roomRecords_ = capacity_ - used_;
    }
    memoryRuns_.push_back({second, used_ - half});
}

// Whether reader a's head comes before reader b's; an exhausted reader
// comes after all.
bool KeySorter::before(size_t a, size_t b) const {
    const Reader& x = readers_[a];
    const Reader& y = readers_[b];
    if (x.bytes == 0 || y.bytes == 0) return y.bytes == 0 && x.bytes != 0;
    if (x.head != y.head) return x.head < y.head;
    return recSize_ > 8 && compareBytes(x.slot + x.pos + 8, y.slot + y.pos + 8, recSize_ - 8) < 0;
}

void KeySorter::takeHead(Reader& rd) const {
    if (rd.bytes == 0) return;
    const unsigned char* at = rd.slot + rd.pos;
    if (recSize_ >= 8) {
        std::memcpy(&rd.head, at, 8);
        rd.head = __builtin_bswap64(rd.head);
        return;
    }
    rd.head = 0;
    for (size_t i = 0; i < recSize_; ++i) rd.head |= uint64_t{at[i]} << (56 - 8 * i);
}

void KeySorter::refill(Reader& rd) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(perRun_, rd.left));
    rd.bytes = n * recSize_;
    rd.pos = 0;
    if (n == 0) return;
    readRun(temp_, rd.slot, rd.bytes, rd.next);
    rd.next += rd.bytes;
    rd.left -= n;
}

void KeySorter::startWalk() {
    stopMerge();
    walkPos_ = 0;
    tree_.clear();
    readers_.clear();
    if (!spilled_) return;
    // The runs in the file are read through the free part of the buffer,
    // shared between them; with very many runs each still gets a few
    // records, beside the buffer.
    unsigned char* room = room_;
    perRun_ = roomRecords_ / runs_.size();
    if (perRun_ < 64) {
        perRun_ = 64;
        mergeRoom_.resize(perRun_ * runs_.size() * recSize_);
        room = mergeRoom_.data();
    }
    for (size_t i = 0; i < runs_.size(); ++i) {
        readers_.push_back({runs_[i].offset, runs_[i].records, room + i * perRun_ * recSize_});
        refill(readers_.back());
    }
    for (const auto& [records, n] : memoryRuns_) readers_.push_back({0, 0, records, n * recSize_});
    for (Reader& rd : readers_) takeHead(rd);
    // Reader i is leaf k + i; the winner of each match goes up.
    const size_t k = readers_.size();
    std::vector<size_t> winner(2 * k);
    for (size_t i = 0; i < k; ++i) winner[k + i] = i;
    tree_.assign(k, 0);
    for (size_t node = k - 1; node > 0; --node) {
        const size_t a = winner[2 * node], b = winner[2 * node + 1];
        const bool bFirst = before(b, a);
        winner[node] = bFirst ? b : a;
        tree_[node] = bFirst ? a : b;
    }
    tree_[0] = winner[1];

    if (!blocks_[0].data) {
        blockRecords_ = std::max<size_t>(16, (256u << 10) / recSize_);
        for (Block& b : blocks_) b.data.reset(new unsigned char[blockRecords_ * recSize_]);
    }
    for (Block& b : blocks_) b.full = false;
    reading_ = 0;
    holding_ = false;
    stop_ = false;
    mergeFailure_ = nullptr;
    try {
        worker_ = std::async(std::launch::async, [this] { produce(); });
        merging_ = true;
    } catch (const std::system_error&) {
        merging_ = false;  // no thread to be had: blocks are filled here as they are read
    }
}

// Stops a merge still running on the worker (a walk left before its end).
void KeySorter::stopMerge() {
    if (!merging_) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    worker_.wait();
    worker_ = {};
    merging_ = false;
}

// Copies the first head out and lets the reader's next head play its way up.
bool KeySorter::mergeNext(unsigned char* out) {
    const size_t k = readers_.size();
    size_t w = tree_[0];
    Reader& rd = readers_[w];
    if (rd.bytes == 0) return false;
    copyRecord(out, rd.slot + rd.pos, recSize_);
    rd.pos += recSize_;
    if (rd.pos >= rd.bytes) refill(rd);
    takeHead(rd);
    for (size_t node = (w + k) / 2; node > 0; node /= 2)
        if (before(tree_[node], w)) std::swap(tree_[node], w);
    tree_[0] = w;
    return true;
}

void KeySorter::fillBlock(size_t b) {
    Block& block = blocks_[b];
    size_t n = 0;
    while (n < blockRecords_ && mergeNext(block.data.get() + n * recSize_)) ++n;
    block.records = n;
}

// The worker's side: fills the blocks in turn, each once this thread is
// done with it, until a block is left short.
void KeySorter::produce() {
    for (size_t b = 0;; b ^= 1) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || !blocks_[b].full; });
            if (stop_) return;
        }
        bool last = true;
        try {
            fillBlock(b);
            last = blocks_[b].records < blockRecords_;
        } catch (...) {
            std::lock_guard<std::mutex> lock(mutex_);
            mergeFailure_ = std::current_exception();
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            blocks_[b].full = true;
        }
        changed_.notify_all();
        if (last) return;
    }
}

bool KeySorter::nextSorted(const unsigned char** key, uint32_t* recno) {
    if (!spilled_) {
        if (walkPos_ >= used_) return false;
        *key = decode(buf_.get() + walkPos_ * recSize_, recno);
        ++walkPos_;
        return true;
    }
    // The record given last time stays in its block until this call.
    if (!holding_ || walkPos_ == blocks_[reading_].records) {
        if (holding_) {
            if (blocks_[reading_].records < blockRecords_) return false;  // that was the last
            if (merging_) {
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    blocks_[reading_].full = false;
                }
                changed_.notify_all();
            }
            reading_ ^= 1;
        }
        if (merging_) {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return blocks_[reading_].full; });
            if (mergeFailure_) std::rethrow_exception(mergeFailure_);
        } else {
            fillBlock(reading_);
        }
        holding_ = true;
        walkPos_ = 0;
        if (blocks_[reading_].records == 0) return false;
    }
    *key = decode(blocks_[reading_].data.get() + walkPos_ * recSize_, recno);
    ++walkPos_;
    return true;
}

}  // namespace sde
