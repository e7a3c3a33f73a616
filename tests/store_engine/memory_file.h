// Files held in memory, served through the engine's file opener: a fuzz
// input becomes a table or an index without touching the disk, and a test
// can look at every byte the engine wrote. Locks are always granted (one
// process, no other holder to exclude).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "errors.h"
#include "file_io.h"

namespace sde::test {

using Bytes = std::vector<unsigned char>;

class MemoryFile final : public File {
public:
    // Larger files are refused, so that a damaged offset cannot exhaust memory.
    static constexpr uint64_t kMaxSize = 64ull << 20;

    MemoryFile(std::shared_ptr<Bytes> data, uint64_t inode, bool writable)
        : data_(std::move(data)), inode_(inode), writable_(writable) {}

    size_t readAt(uint64_t off, void* buf, size_t n) override {
        if (off >= data_->size()) return 0;
        size_t got = static_cast<size_t>(std::min<uint64_t>(n, data_->size() - off));
        std::memcpy(buf, data_->data() + off, got);
        return got;
    }
    void writeAt(uint64_t off, const void* buf, size_t n) override {
        if (!writable_) throw EngineError("Memory file opened read only");
        if (off > kMaxSize || n > kMaxSize - off) throw IoError("Memory file full");
        if (off + n > data_->size()) data_->resize(off + n, 0);
        if (n) std::memcpy(data_->data() + off, buf, n);
    }
    uint64_t size() override { return data_->size(); }
    void truncate(uint64_t length) override {
        if (length > kMaxSize) throw EngineError("Memory file full");
        data_->resize(length, 0);
    }
    void sync() override {}
    FileId id() override { return FileId{0x4d454d, inode_}; }
    bool lockRange(uint64_t, uint64_t, bool, bool) override { return true; }
    void unlockRange(uint64_t, uint64_t) override {}
    bool lockOpenMode(bool) override { return true; }

private:
    std::shared_ptr<Bytes> data_;
    uint64_t inode_;
    bool writable_;
};

// Installs itself as the engine's file opener for its lifetime; every path
// is looked up among the buffers given to put() (or created by the engine).
class MemoryFiles {
public:
    MemoryFiles() {
        setFileOpener([this](const std::string& path, OpenFlags flags) { return open(path, flags); });
        setFileRemover([this](const std::string& path) { files_.erase(path); });
    }
    ~MemoryFiles() {
        setFileOpener({});
        setFileRemover({});
    }
    MemoryFiles(const MemoryFiles&) = delete;
    MemoryFiles& operator=(const MemoryFiles&) = delete;

    void put(const std::string& path, Bytes bytes) {
        files_[path] = std::make_shared<Bytes>(std::move(bytes));
    }
    const Bytes& get(const std::string& path) const { return *files_.at(path); }

private:
    std::unique_ptr<File> open(const std::string& path, OpenFlags flags) {
        auto it = files_.find(path);
        if (flags == OpenFlags::CreateNew) {
            if (it != files_.end()) throw EngineError("File exists: " + path);
            it = files_.emplace(path, std::make_shared<Bytes>()).first;
        } else if (flags == OpenFlags::CreateOrEmpty) {
            if (it == files_.end()) it = files_.emplace(path, std::make_shared<Bytes>()).first;
            it->second->clear();
        } else if (flags == OpenFlags::OpenOrCreate) {
            if (it == files_.end()) it = files_.emplace(path, std::make_shared<Bytes>()).first;
        } else if (it == files_.end()) {
            throw NotFoundError("Cannot open " + path + ": no such file");
        }
        // The buffer's address is its identity, as an inode is a file's.
        auto inode = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(it->second.get()));
        return std::make_unique<MemoryFile>(it->second, inode, flags != OpenFlags::ReadOnly);
    }

    std::map<std::string, std::shared_ptr<Bytes>> files_;
};

}  // namespace sde::test
