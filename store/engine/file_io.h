// The one door through which the engine touches files. Tests replace the
// opener to inject short writes, a full disk or a crash after N bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace sde {

// Identity of an opened file, so that work areas of this process that open
// the same file under different names share its state.
struct FileId {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator==(const FileId&) const = default;
};

class File {
public:
    virtual ~File() = default;

    // Reads up to n bytes at off; returns how many were read (short at the end).
    virtual size_t readAt(uint64_t off, void* buf, size_t n) = 0;
    // Writes all n bytes at off or throws EngineError (disk full, I/O error).
    virtual void writeAt(uint64_t off, const void* buf, size_t n) = 0;
    virtual uint64_t size() = 0;
    virtual void truncate(uint64_t length) = 0;
    virtual void sync() = 0;
    virtual FileId id() = 0;

    // Byte-range locks owned by this open file (open-file-description locks):
    // two File objects of one process exclude each other.
    virtual bool lockRange(uint64_t off, uint64_t len, bool exclusive, bool wait) = 0;
    virtual void unlockRange(uint64_t off, uint64_t len) = 0;
    // True when, at the time of the call, nobody (another work area or
    // program) holds a write lock on the range; false when somebody does or
    // it cannot be told.
    virtual bool noWriteLockOn(uint64_t /*off*/, uint64_t /*len*/) { return false; }
    // Whole-file open mode lock: shared for a shared open, exclusive for an
    // exclusive one; never waits.
    virtual bool lockOpenMode(bool exclusive) = 0;

    // The first `length` bytes mapped into memory and shared with every
    // process that has the file open, so that a counter there can be read
    // and bumped without a system call; nullptr when not possible (never
    // past the end of the file). The mapping lives as long as this object;
    // readAt and writeAt of bytes inside it copy through it, with no system
    // call (a write there survives the process as a written one does).
    virtual unsigned char* mapFront(size_t /*length*/, bool /*writable*/) { return nullptr; }

    // A read-only view of the file's first `length` bytes, shared with the
    // page cache: what any process writes shows in it at once, with no
    // system call per read. `length` may run past the end of the file, so
    // that a growing file needs few remaps, but the system raises SIGBUS for
    // a page wholly past the end: copy out of the view with copyMapped(),
    // and only bytes the file was seen to hold. A new call replaces the
    // view (the old address must no longer be used); 0 drops it. nullptr
    // when not possible: read with readAt() then.
    virtual const unsigned char* mapForReading(uint64_t /*length*/) { return nullptr; }

    // Writes bytes the caller knows to lie inside the file (below its size,
    // and nobody cuts it meanwhile): through a shared writable view where
    // one can be made, with no system call; else as writeAt. A view write
    // lands in the page cache as a written one does.
    virtual void writeInside(uint64_t off, const void* buf, size_t n) { writeAt(off, buf, n); }

    // Reads exactly n bytes or throws CorruptFileError naming `what`.
    void readExact(uint64_t off, void* buf, size_t n, const char* what);
};

// A File that forwards every call to another, for decorators that change a
// few of them (tests inject full disks, crashes and write counts so), as
// LevelDB's EnvWrapper does for its Env. The shortcuts past writeAt and
// readAt (mapFront, mapForReading, writeInside, noWriteLockOn) keep File's
// defaults: every write then goes through the decorator's writeAt, where it
// can fail or count. A decorator that wants one forwards it itself.
class FileWrapper : public File {
public:
    explicit FileWrapper(std::unique_ptr<File> target) : target_(std::move(target)) {}

    size_t readAt(uint64_t off, void* buf, size_t n) override { return target_->readAt(off, buf, n); }
    void writeAt(uint64_t off, const void* buf, size_t n) override { target_->writeAt(off, buf, n); }
    uint64_t size() override { return target_->size(); }
    void truncate(uint64_t length) override { target_->truncate(length); }
    void sync() override { target_->sync(); }
    FileId id() override { return target_->id(); }
    bool lockRange(uint64_t off, uint64_t len, bool exclusive, bool wait) override {
        return target_->lockRange(off, len, exclusive, wait);
    }
    void unlockRange(uint64_t off, uint64_t len) override { target_->unlockRange(off, len); }
    bool lockOpenMode(bool exclusive) override { return target_->lockOpenMode(exclusive); }

protected:
    File& target() { return *target_; }

private:
    std::unique_ptr<File> target_;
};

// Copies n bytes out of a view from mapForReading(). False, with `to` in an
// unknown state, when part of them lay past the end of the file (another
// program cut it short since its size was checked): read with readAt() then,
// which tells how much is really there. The first call installs a SIGBUS
// handler that hands every fault outside such a copy to the handler that
// was there before.
bool copyMapped(void* to, const unsigned char* from, size_t n);

// CreateNew fails when the file exists; CreateOrEmpty makes it or empties it;
// OpenOrCreate makes it when it is missing and keeps what it holds.
enum class OpenFlags { ReadOnly, ReadWrite, CreateNew, CreateOrEmpty, OpenOrCreate };

using FileOpener =
    std::function<std::unique_ptr<File>(const std::string& path, OpenFlags flags)>;

// Opens through the current opener; throws EngineError when the file cannot
// be opened. CreateNew fails when the file exists.
std::unique_ptr<File> openFile(const std::string& path, OpenFlags flags);

// Replaces the opener (tests); an empty function restores the real one.
void setFileOpener(FileOpener opener);

// The real opener, for wrappers that decorate it.
std::unique_ptr<File> openPosixFile(const std::string& path, OpenFlags flags);

bool fileExists(const std::string& path);

// Removes a file (no error when it is gone already). Tests replace the
// remover as they replace the opener: a crash that stops all writes stops
// removals too.
using FileRemover = std::function<void(const std::string& path)>;
void removeFile(const std::string& path);
void setFileRemover(FileRemover remover);

}  // namespace sde
