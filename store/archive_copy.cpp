#include "store/archive_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {

long long writeLimit = -1;

// A file descriptor closed when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool ok() const { return fd_ >= 0; }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    // Closes now and tells whether the close itself went well (a delayed
    // write error can show here).
    bool close() {
        int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

QString systemError(const QString& what) {
    return what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

QByteArray native(const QString& path) { return QFileInfo(path).absoluteFilePath().toLocal8Bit(); }

// Writes all of `n` bytes, honouring the test limit.
bool writeAll(int fd, const char* data, size_t n, long long& written) {
    while (n > 0) {
        size_t chunk = n;
        if (writeLimit >= 0) {
            if (written >= writeLimit) {
                errno = ENOSPC;
                return false;
            }
            chunk = std::min<size_t>(chunk, static_cast<size_t>(writeLimit - written));
        }
        ssize_t w = ::write(fd, data, chunk);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += w;
        n -= static_cast<size_t>(w);
        written += w;
    }
    return true;
}

// Reads up to `n` bytes, fewer only at the end of the file; -1 on error.
ssize_t readFull(int fd, char* data, size_t n) {
    size_t got = 0;
    while (got < n) {
        ssize_t r = ::read(fd, data + got, n - got);
        if (r < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (r == 0) break;
        got += static_cast<size_t>(r);
    }
    return static_cast<ssize_t>(got);
}

constexpr size_t kChunk = 1 << 20;

bool copyInto(int from, int to, QString* why) {
    std::vector<char> buf(kChunk);
    long long written = 0;
    for (;;) {
        ssize_t r = readFull(from, buf.data(), buf.size());
        if (r < 0) return *why = systemError(QStringLiteral("read")), false;
        if (r == 0) return true;
        if (!writeAll(to, buf.data(), static_cast<size_t>(r), written))
            return *why = systemError(QStringLiteral("write")), false;
    }
}

bool sameBytes(const QByteArray& a, const QByteArray& b, QString* why) {
    Fd fa(::open(a.constData(), O_RDONLY | O_CLOEXEC));
    Fd fb(::open(b.constData(), O_RDONLY | O_CLOEXEC));
    if (!fa.ok() || !fb.ok()) return *why = systemError(QStringLiteral("open to compare")), false;
    std::vector<char> ba(kChunk), bb(kChunk);
    for (;;) {
        ssize_t ra = readFull(fa.get(), ba.data(), ba.size());
        ssize_t rb = readFull(fb.get(), bb.data(), bb.size());
        if (ra < 0 || rb < 0) return *why = systemError(QStringLiteral("read to compare")), false;
        if (ra != rb || std::memcmp(ba.data(), bb.data(), static_cast<size_t>(ra)) != 0)
            return *why = QStringLiteral("the copy differs from the original"), false;
        if (ra == 0) return true;
    }
}

}  // namespace

void setArchiveWriteLimit(long long bytes) { writeLimit = bytes; }

bool sameFileBytes(const QString& a, const QString& b) {
    QString ignored;
    return sameBytes(native(a), native(b), &ignored);
}

bool archiveCopy(const QString& source, const QString& target, QString* whyOut) {
    QString ignored;
    QString* why = whyOut ? whyOut : &ignored;
    const QByteArray src = native(source);
    const QByteArray dst = native(target);
    const QByteArray folder = QFileInfo(target).absolutePath().toLocal8Bit();

    Fd in(::open(src.constData(), O_RDONLY | O_CLOEXEC));
    if (!in.ok()) return *why = systemError(QStringLiteral("open ") + source), false;

    // The temporary name is in the target's folder, so that naming it is a
    // link within one file system.
    QByteArray temp = folder + "/.archive-XXXXXX";
    Fd out(::mkostemp(temp.data(), O_CLOEXEC));
    if (!out.ok()) return *why = systemError(QStringLiteral("create a file in ") + QString::fromLocal8Bit(folder)), false;

    // The archive is readable as the sales file is, not only by its owner.
    struct stat st {};
    bool ok = ::fstat(in.get(), &st) == 0 && ::fchmod(out.get(), st.st_mode & 07777) == 0;
    if (!ok) *why = systemError(QStringLiteral("permissions"));
    if (ok) ok = copyInto(in.get(), out.get(), why);
    if (ok && ::fsync(out.get()) != 0) ok = (*why = systemError(QStringLiteral("fsync")), false);
    if (!out.close() && ok) ok = (*why = systemError(QStringLiteral("close")), false);
    if (ok) ok = sameBytes(src, temp, why);
    // link() refuses an existing name, so the target is never overwritten.
    if (ok && ::link(temp.constData(), dst.constData()) != 0)
        ok = (*why = systemError(QStringLiteral("name ") + target), false);
    ::unlink(temp.constData());
    if (!ok) return false;

    Fd dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.ok() || ::fsync(dir.get()) != 0) {
        *why = systemError(QStringLiteral("fsync the folder"));
        ::unlink(dst.constData());
        return false;
    }
    return true;
}
