// Sorting (key, record) pairs for an index build within a fixed memory
// budget: sorted runs spill to a temporary file and are merged back.
//
// Each pair is held as one fixed-width byte string: the key (complemented
// for a descending order), then the record number big-endian, so that
// comparing the strings as unsigned bytes orders keys, then records. A run
// is sorted in place by a most-significant-byte radix sort (no memory
// beyond the run itself); the runs merge through a heap of their heads.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace sde {

class KeySorter {
public:
    // Keys of keySize bytes; descending puts larger keys first (equal keys
    // stay in ascending record order either way).
    KeySorter(int keySize, bool descending, std::string tempFolder);
    ~KeySorter();
    KeySorter(const KeySorter&) = delete;
    KeySorter& operator=(const KeySorter&) = delete;

    void add(const unsigned char* key, uint32_t recno);
    void finishInput();
    uint64_t size() const { return count_; }
    // Calls f(key, recno) in sorted order; may be called more than once.
    template <class F>
    void forEach(F&& f) {
        startWalk();
        const unsigned char* key = nullptr;
        uint32_t recno = 0;
        while (nextSorted(&key, &recno)) f(key, recno);
    }

    // The memory budget for keys held at once (tests lower it).
    static void setMemoryLimit(size_t bytes);
    static size_t memoryLimit();
    size_t runCount() const { return runs_.size(); }

private:
    void spill();
    void startWalk();
    bool nextSorted(const unsigned char** key, uint32_t* recno);
    const unsigned char* decode(const unsigned char* rec, uint32_t* recno);

    size_t keySize_;
    bool descending_;
    std::string tempFolder_;
    size_t recSize_;                 // key bytes and 4 record-number bytes
    size_t capacity_ = 0;            // records the buffer holds at most
    // Allocated whole but left uninitialised: the system gives memory
    // pages as records reach them, so a small table costs little.
    std::unique_ptr<unsigned char[]> buf_;
    size_t used_ = 0;                // records in buf_
    uint64_t count_ = 0;
    struct Run {
        uint64_t offset;
        uint64_t records;
    };
    std::vector<Run> runs_;
    std::FILE* temp_ = nullptr;
    std::vector<unsigned char> keyOut_;

    // The walk in progress: a position in buf_, or readers of the runs
    // with a heap (smallest head on top) of the runs not yet exhausted.
    struct Reader {
        uint64_t next;   // file offset of the records not yet buffered
        uint64_t left;   // records not yet buffered
        std::vector<unsigned char> buf;
        size_t pos = 0;  // byte offset of the head in buf
    };
    size_t walkPos_ = 0;
    size_t perRun_ = 0;  // records buffered per run
    std::vector<Reader> readers_;
    std::vector<size_t> heap_;
    bool lessHead(size_t a, size_t b) const;
    void refill(Reader& rd);
    void siftDown(size_t i);
};

}  // namespace sde
