#include "ntx_sort.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <queue>

#include "errors.h"

namespace sde {
namespace {

size_t g_memoryLimit = 8u << 20;

// Records are arrays of words holding the key bytes (complemented for a
// descending order) big-endian first, then the record number, so that
// comparing words as numbers compares keys byte by byte.
template <size_t W>
struct Rec {
    uint64_t w[W];
    bool operator<(const Rec& o) const {
        for (size_t i = 0; i < W; ++i)
            if (w[i] != o.w[i]) return w[i] < o.w[i];
        return false;
    }
};

template <size_t W>
void sortFixed(std::vector<uint64_t>& buf) {
    auto* b = reinterpret_cast<Rec<W>*>(buf.data());
    std::sort(b, b + buf.size() / W);
}

bool lessWords(const uint64_t* a, const uint64_t* b, size_t words) {
    for (size_t i = 0; i < words; ++i)
        if (a[i] != b[i]) return a[i] < b[i];
    return false;
}

void sortAny(std::vector<uint64_t>& buf, size_t words) {
    switch (words) {
        case 1: return sortFixed<1>(buf);
        case 2: return sortFixed<2>(buf);
        case 3: return sortFixed<3>(buf);
        case 4: return sortFixed<4>(buf);
        case 5: return sortFixed<5>(buf);
        case 6: return sortFixed<6>(buf);
        case 7: return sortFixed<7>(buf);
        case 8: return sortFixed<8>(buf);
        default: break;
    }
    // Long keys: sort record indexes, then lay the records out in order.
    size_t n = buf.size() / words;
    std::vector<uint32_t> idx(n);
    for (size_t i = 0; i < n; ++i) idx[i] = static_cast<uint32_t>(i);
    std::sort(idx.begin(), idx.end(), [&](uint32_t a, uint32_t b) {
        return lessWords(&buf[a * words], &buf[b * words], words);
    });
    std::vector<uint64_t> out(buf.size());
    for (size_t i = 0; i < n; ++i)
        std::memcpy(&out[i * words], &buf[idx[i] * words], words * sizeof(uint64_t));
    buf.swap(out);
}

}  // namespace

void KeySorter::setMemoryLimit(size_t bytes) { g_memoryLimit = std::max<size_t>(bytes, 4096); }
size_t KeySorter::memoryLimit() { return g_memoryLimit; }

KeySorter::KeySorter(int keySize, bool descending, std::string tempFolder)
    : keySize_(keySize), descending_(descending), tempFolder_(std::move(tempFolder)),
      words_((static_cast<size_t>(keySize) + 4 + 7) / 8), keyOut_(static_cast<size_t>(keySize)) {}

KeySorter::~KeySorter() {
    if (temp_) std::fclose(temp_);
}

void KeySorter::add(const unsigned char* key, uint32_t recno) {
    unsigned char bytes[8 * 40] = {};
    std::memcpy(bytes, key, static_cast<size_t>(keySize_));
    if (descending_)
        for (int i = 0; i < keySize_; ++i) bytes[i] = static_cast<unsigned char>(255 - bytes[i]);
    for (int i = 0; i < 4; ++i)
        bytes[static_cast<size_t>(keySize_) + static_cast<size_t>(i)] =
            static_cast<unsigned char>(recno >> (24 - 8 * i));
    if (buf_.capacity() == 0) buf_.reserve(g_memoryLimit / sizeof(uint64_t) + words_);
    for (size_t w = 0; w < words_; ++w) {
        uint64_t v;
        std::memcpy(&v, bytes + w * 8, 8);
        buf_.push_back(__builtin_bswap64(v));  // big-endian: words compare as the bytes do
    }
    ++count_;
    if (buf_.size() * sizeof(uint64_t) >= g_memoryLimit) spill();
}

void KeySorter::decode(const uint64_t* rec, unsigned char* key, uint32_t* recno) const {
    unsigned char bytes[8 * 40];
    for (size_t w = 0; w < words_; ++w) {
        uint64_t v = __builtin_bswap64(rec[w]);
        std::memcpy(bytes + w * 8, &v, 8);
    }
    std::memcpy(key, bytes, static_cast<size_t>(keySize_));
    if (descending_)
        for (int i = 0; i < keySize_; ++i) key[i] = static_cast<unsigned char>(255 - key[i]);
    uint32_t r = 0;
    for (int i = 0; i < 4; ++i) r = (r << 8) | bytes[static_cast<size_t>(keySize_) + static_cast<size_t>(i)];
    *recno = r;
}

void KeySorter::sortBuffer() { sortAny(buf_, words_); }

void KeySorter::spill() {
    if (buf_.empty()) return;
    sortBuffer();
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
    size_t bytes = buf_.size() * sizeof(uint64_t);
    if (std::fwrite(buf_.data(), 1, bytes, temp_) != bytes || std::fflush(temp_) != 0)
        throw IoError("Cannot write the temporary sort file (disk full?)");
    runs_.push_back({offset, buf_.size() / words_});
    buf_.clear();
    buf_.shrink_to_fit();
}

void KeySorter::finishInput() {
    if (runs_.empty())
        sortBuffer();
    else
        spill();
}

void KeySorter::forEach(const std::function<void(const unsigned char*, uint32_t)>& f) {
    uint32_t recno = 0;
    if (runs_.empty()) {
        for (size_t i = 0; i < buf_.size(); i += words_) {
            decode(&buf_[i], keyOut_.data(), &recno);
            f(keyOut_.data(), recno);
        }
        return;
    }
    // k-way merge of the runs, each read through its own small buffer.
    struct Reader {
        uint64_t next, left;
        std::vector<uint64_t> buf;
        size_t pos = 0;
    };
    size_t perRun = std::max<size_t>(words_ * 64, (g_memoryLimit / 8 / sizeof(uint64_t)) / runs_.size());
    perRun -= perRun % words_;
    std::vector<Reader> readers;
    for (auto& r : runs_) readers.push_back({r.offset, r.records * words_, {}, 0});
    auto refill = [&](Reader& rd) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(perRun, rd.left));
        rd.buf.resize(n);
        rd.pos = 0;
        if (n == 0) return;
        if (std::fseek(temp_, static_cast<long>(rd.next), SEEK_SET) != 0 ||
            std::fread(rd.buf.data(), sizeof(uint64_t), n, temp_) != n)
            throw IoError("Cannot read the temporary sort file");
        rd.next += n * sizeof(uint64_t);
        rd.left -= n;
    };
    auto greater = [&](size_t a, size_t b) {
        return lessWords(&readers[b].buf[readers[b].pos], &readers[a].buf[readers[a].pos], words_);
    };
    std::priority_queue<size_t, std::vector<size_t>, decltype(greater)> heap(greater);
    for (size_t i = 0; i < readers.size(); ++i) {
        refill(readers[i]);
        if (!readers[i].buf.empty()) heap.push(i);
    }
    while (!heap.empty()) {
        size_t i = heap.top();
        heap.pop();
        Reader& rd = readers[i];
        decode(&rd.buf[rd.pos], keyOut_.data(), &recno);
        f(keyOut_.data(), recno);
        rd.pos += words_;
        if (rd.pos >= rd.buf.size()) refill(rd);
        if (!rd.buf.empty()) heap.push(i);
    }
}

}  // namespace sde
