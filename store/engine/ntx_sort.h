// Sorting (key, record) pairs for an index build within a fixed memory
// budget: sorted runs spill to a temporary file and are merged back.
//
// Each pair is held as one fixed-width byte string: the key (complemented
// for a descending order), then the record number big-endian, so that
// comparing the strings as unsigned bytes orders keys, then records. A run
// is sorted in place by a most-significant-byte radix sort (no memory
// beyond the run itself); the runs merge through a tree of losers.
//
// Keys that fit in the budget are sorted in memory, with no file and no
// thread. Past it, each time the buffer is full its two halves are sorted
// at once, one by a worker thread, and written as two runs; the last
// records stay in memory, and the free part of the buffer then holds the
// merge's read buffers. The merge itself runs on the worker, handing the
// sorted records over in small blocks while they are used here.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
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
    void sortHalves(size_t n, bool writeFirst, bool writeSecond);
    uint64_t reserveRun(size_t n);
    void waitForWorker();
    void startWalk();
    bool nextSorted(const unsigned char** key, uint32_t* recno);
    void stopMerge();
    void produce();
    void fillBlock(size_t b);
    bool mergeNext(unsigned char* out);
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
    bool spilled_ = false;           // runs went to the temporary file
    uint64_t count_ = 0;
    struct Run {
        uint64_t offset;
        uint64_t records;
    };
    std::vector<Run> runs_;          // in the temporary file
    int temp_ = -1;
    uint64_t tempEnd_ = 0;           // bytes of the runs placed in it
    // The half being sorted (and written) by the worker: neither touches
    // the other's half until the worker is waited for.
    std::future<void> worker_;
    // Once the input is over: the last runs, kept in the buffer, and the
    // free part of the buffer where the runs in the file are read.
    std::vector<std::pair<unsigned char*, size_t>> memoryRuns_;
    unsigned char* room_ = nullptr;
    size_t roomRecords_ = 0;
    std::vector<unsigned char> keyOut_;

    // The walk in progress: a position in buf_, or readers of the runs
    // (the last ones in memory) merged through a tree of losers.
    struct Reader {
        uint64_t next;         // file offset of the records not yet buffered
        uint64_t left;         // records not yet buffered
        unsigned char* slot;   // room for perRun_ records
        size_t bytes = 0;      // bytes buffered at slot
        size_t pos = 0;        // byte offset of the head at slot
        uint64_t head = 0;     // the head's first 8 bytes as a big-endian number
    };
    size_t walkPos_ = 0;  // in buf_, or in the block being read
    size_t perRun_ = 0;  // records buffered per run
    std::vector<unsigned char> mergeRoom_;  // when the free part of the buffer is too small
    std::vector<Reader> readers_;
    // A tree of losers over the readers: tree_[0] the reader whose head
    // comes first, each inner node the reader that lost the match there.
    std::vector<size_t> tree_;
    bool before(size_t a, size_t b) const;

    // Blocks of merged records, filled by the worker (or here when no
    // thread could be had) and read here in turn. A block is the worker's
    // while not full, this thread's while full; one holding fewer than
    // blockRecords_ is the last.
    struct Block {
        std::unique_ptr<unsigned char[]> data;
        size_t records = 0;
        bool full = false;
    };
    Block blocks_[2];
    size_t blockRecords_ = 0;
    size_t reading_ = 0;      // the block read here
    bool holding_ = false;    // blocks_[reading_] is being read
    bool merging_ = false;    // the worker merges
    bool stop_ = false;       // the worker is to give up
    std::exception_ptr mergeFailure_;
    std::mutex mutex_;
    std::condition_variable changed_;
    void refill(Reader& rd);
    void takeHead(Reader& rd) const;
};

}  // namespace sde
