// Sorting (key, record) pairs for an index build within a fixed memory
// budget: sorted runs spill to a temporary file and are merged back.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
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
    void forEach(const std::function<void(const unsigned char*, uint32_t)>& f);

    // The memory budget for keys held at once (tests lower it).
    static void setMemoryLimit(size_t bytes);
    static size_t memoryLimit();
    size_t runCount() const { return runs_.size(); }

private:
    void sortBuffer();
    void spill();
    void decode(const uint64_t* rec, unsigned char* key, uint32_t* recno) const;

    int keySize_;
    bool descending_;
    std::string tempFolder_;
    size_t words_;                 // 64-bit words per record
    std::vector<uint64_t> buf_;    // records, each words_ words, compared as numbers
    uint64_t count_ = 0;
    struct Run {
        uint64_t offset;
        uint64_t records;
    };
    std::vector<Run> runs_;
    std::FILE* temp_ = nullptr;
    std::vector<unsigned char> keyOut_;
};

}  // namespace sde
