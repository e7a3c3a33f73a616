#include "file_io.h"

#include <fcntl.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "errors.h"

namespace sde {
namespace {

std::string errnoText(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// Copies out of a read view (copyMapped) are guarded: a SIGBUS raised
// while one runs, because the file was cut short under the view, brings
// the copy back to its start, where it reports the failure. The handler
// runs with SIGBUS unblocked (SA_NODEFER), so that leaving it by a jump
// needs no restoring of the signal mask (and no system call per copy).
thread_local sigjmp_buf* tCopying = nullptr;
struct sigaction gSigbusBefore {};

void onSigbus(int signal, siginfo_t* info, void* context) {
    if (sigjmp_buf* copying = tCopying) {
        tCopying = nullptr;
        siglongjmp(*copying, 1);
    }
    // Not a copy of ours: as if this handler were not there.
    if (gSigbusBefore.sa_flags & SA_SIGINFO) {
        gSigbusBefore.sa_sigaction(signal, info, context);
    } else if (gSigbusBefore.sa_handler != SIG_DFL && gSigbusBefore.sa_handler != SIG_IGN) {
        gSigbusBefore.sa_handler(signal);
    } else {
        // The default action: the faulting access runs again and ends the process.
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        ::sigaction(SIGBUS, &fallback, nullptr);
    }
}

bool guardMappedCopies() {
    static const bool installed = [] {
        struct sigaction guard {};
        guard.sa_sigaction = onSigbus;
        guard.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&guard.sa_mask);
        return ::sigaction(SIGBUS, &guard, &gSigbusBefore) == 0;
    }();
    return installed;
}

class PosixFile final : public File {
public:
    PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~PosixFile() override {
        if (map_) ::munmap(map_, mapLength_);
        if (readView_) ::munmap(readView_, readViewLength_);
        if (writeView_) ::munmap(writeView_, writeViewLength_);
        ::close(fd_);
    }

    const unsigned char* mapForReading(uint64_t length) override {
        if (length == 0 || !guardMappedCopies()) {
            dropReadView();
            return nullptr;
        }
        if (readView_ && length <= readViewLength_) return static_cast<unsigned char*>(readView_);
        void* p = readView_ ? ::mremap(readView_, readViewLength_, length, MREMAP_MAYMOVE)
                            : ::mmap(nullptr, length, PROT_READ, MAP_SHARED, fd_, 0);
        if (p == MAP_FAILED) {
            dropReadView();
            return nullptr;
        }
        readView_ = p;
        readViewLength_ = length;
        return static_cast<unsigned char*>(p);
    }

    unsigned char* mapFront(size_t length, bool writable) override {
        if (map_) return mapLength_ >= length ? static_cast<unsigned char*>(map_) : nullptr;
        if (size() < length) return nullptr;  // never map past the end of the file
        void* p = ::mmap(nullptr, length, PROT_READ | (writable ? PROT_WRITE : 0), MAP_SHARED, fd_, 0);
        if (p == MAP_FAILED) return nullptr;
        map_ = p;
        mapLength_ = length;
        // Reads and writes of these bytes copy through the mapping, guarded:
        // a file cut short under it falls back to the system call.
        copyThroughMap_ = guardMappedCopies();
        mapWritable_ = writable;
        return static_cast<unsigned char*>(p);
    }

    size_t readAt(uint64_t off, void* buf, size_t n) override {
        if (copyThroughMap_ && off + n <= mapLength_ &&
            copyMapped(buf, static_cast<const unsigned char*>(map_) + off, n))
            return n;
        size_t done = 0;
        while (done < n) {
            ssize_t r = ::pread(fd_, static_cast<char*>(buf) + done, n - done,
                                static_cast<off_t>(off + done));
            if (r < 0) {
                if (errno == EINTR) continue;
                throw IoError(errnoText("Cannot read", path_));
            }
            if (r == 0) break;
            done += static_cast<size_t>(r);
        }
        return done;
    }

    void writeAt(uint64_t off, const void* buf, size_t n) override {
        if (copyThroughMap_ && mapWritable_ && off + n <= mapLength_ &&
            copyMapped(static_cast<unsigned char*>(map_) + off, static_cast<const unsigned char*>(buf), n))
            return;
        size_t done = 0;
        while (done < n) {
            ssize_t r = ::pwrite(fd_, static_cast<const char*>(buf) + done, n - done,
                                 static_cast<off_t>(off + done));
            if (r < 0) {
                if (errno == EINTR) continue;
                throw IoError(errnoText("Cannot write", path_));
            }
            if (r == 0) throw IoError("Cannot write " + path_ + ": no space left");
            done += static_cast<size_t>(r);
        }
    }

    void writeInside(uint64_t off, const void* buf, size_t n) override {
        if (off + n > writeViewLength_ && !writeViewRefused_) growWriteView(off + n);
        if (off + n <= writeViewLength_ &&
            copyMapped(static_cast<unsigned char*>(writeView_) + off, static_cast<const unsigned char*>(buf), n))
            return;
        writeAt(off, buf, n);  // no view, or the file was cut under it
    }

    uint64_t size() override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) throw IoError(errnoText("Cannot stat", path_));
        return static_cast<uint64_t>(st.st_size);
    }

    void truncate(uint64_t length) override {
        if (::ftruncate(fd_, static_cast<off_t>(length)) != 0)
            throw IoError(errnoText("Cannot truncate", path_));
    }

    void sync() override { ::fdatasync(fd_); }

    FileId id() override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) throw IoError(errnoText("Cannot stat", path_));
        return FileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    }

    bool lockRange(uint64_t off, uint64_t len, bool exclusive, bool wait) override {
        struct flock fl {};
        fl.l_type = static_cast<short>(exclusive ? F_WRLCK : F_RDLCK);
        fl.l_whence = SEEK_SET;
        fl.l_start = static_cast<off_t>(off);
        fl.l_len = static_cast<off_t>(len);
        for (;;) {
            if (::fcntl(fd_, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) == 0) return true;
            if (errno == EINTR) continue;
            return false;
        }
    }

    void unlockRange(uint64_t off, uint64_t len) override {
        struct flock fl {};
        fl.l_type = F_UNLCK;
        fl.l_whence = SEEK_SET;
        fl.l_start = static_cast<off_t>(off);
        fl.l_len = static_cast<off_t>(len);
        ::fcntl(fd_, F_OFD_SETLK, &fl);
    }

    bool noWriteLockOn(uint64_t off, uint64_t len) override {
        struct flock fl {};
        fl.l_type = F_RDLCK;  // what a read lock would conflict with: write locks
        fl.l_whence = SEEK_SET;
        fl.l_start = static_cast<off_t>(off);
        fl.l_len = static_cast<off_t>(len);
        return ::fcntl(fd_, F_OFD_GETLK, &fl) == 0 && fl.l_type == F_UNLCK;
    }

    bool lockOpenMode(bool exclusive) override {
        for (;;) {
            if (::flock(fd_, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) return true;
            if (errno == EINTR) continue;
            return false;
        }
    }

private:
    // The view may run past the end of the file: writeInside() is only
    // given bytes inside it, and a copy into a page that is not faults into
    // the guard and goes by pwrite.
    void growWriteView(uint64_t end) {
        constexpr uint64_t kMinimum = 1 << 20;
        const uint64_t length = std::max(kMinimum, end + end / 2);
        void* p = writeView_ ? ::mremap(writeView_, writeViewLength_, length, MREMAP_MAYMOVE)
                             : ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
        if (p == MAP_FAILED || !guardMappedCopies()) {
            if (p != MAP_FAILED) ::munmap(p, length);
            else if (writeView_) ::munmap(writeView_, writeViewLength_);
            writeView_ = nullptr;
            writeViewLength_ = 0;
            writeViewRefused_ = true;  // a read-only descriptor, no address space: pwrite
            return;
        }
        writeView_ = p;
        writeViewLength_ = length;
    }

    void dropReadView() {
        if (readView_) ::munmap(readView_, readViewLength_);
        readView_ = nullptr;
        readViewLength_ = 0;
    }

    int fd_;
    std::string path_;
    void* map_ = nullptr;
    size_t mapLength_ = 0;
    bool copyThroughMap_ = false;
    bool mapWritable_ = false;
    void* readView_ = nullptr;  // mapForReading()
    size_t readViewLength_ = 0;
    void* writeView_ = nullptr;  // writeInside()
    uint64_t writeViewLength_ = 0;
    bool writeViewRefused_ = false;
};

FileOpener& currentOpener() {
    static FileOpener opener;
    return opener;
}

}  // namespace

void File::readExact(uint64_t off, void* buf, size_t n, const char* what) {
    if (readAt(off, buf, n) != n) throw CorruptFileError(std::string("Truncated file: ") + what);
}

bool copyMapped(void* to, const unsigned char* from, size_t n) {
    sigjmp_buf jump;
    if (sigsetjmp(jump, 0) != 0) return false;  // a page of `from` was past the end of the file
    tCopying = &jump;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::memcpy(to, from, n);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    tCopying = nullptr;
    return true;
}

std::unique_ptr<File> openPosixFile(const std::string& path, OpenFlags flags) {
    int mode = O_RDONLY;
    if (flags == OpenFlags::ReadWrite) mode = O_RDWR;
    if (flags == OpenFlags::CreateNew) mode = O_RDWR | O_CREAT | O_EXCL;
    if (flags == OpenFlags::CreateOrEmpty) mode = O_RDWR | O_CREAT | O_TRUNC;
    if (flags == OpenFlags::OpenOrCreate) mode = O_RDWR | O_CREAT;
    int fd = ::open(path.c_str(), mode | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (errno == ENOENT) throw NotFoundError(errnoText("Cannot open", path));
        throw IoError(errnoText("Cannot open", path));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw IoError("Not a regular file: " + path);
    }
    return std::make_unique<PosixFile>(fd, path);
}

std::unique_ptr<File> openFile(const std::string& path, OpenFlags flags) {
    if (currentOpener()) return currentOpener()(path, flags);
    return openPosixFile(path, flags);
}

void setFileOpener(FileOpener opener) { currentOpener() = std::move(opener); }

namespace {
FileRemover& currentRemover() {
    static FileRemover remover;
    return remover;
}
}  // namespace

void removeFile(const std::string& path) {
    if (currentRemover()) {
        currentRemover()(path);
        return;
    }
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        throw IoError(errnoText("Cannot remove", path));
}

void setFileRemover(FileRemover remover) { currentRemover() = std::move(remover); }

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace sde
