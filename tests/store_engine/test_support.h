// Shared helpers of the engine tests: temporary folders, the golden files,
// and the listings that come with them.
#pragma once

#include <sys/resource.h>

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

namespace sde::test {

// A fresh folder, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string goldenDir();
std::string goldenFile(const std::string& name);
void copyFile(const std::string& from, const std::string& to);
std::vector<unsigned char> readAll(const std::string& path);
void writeAll(const std::string& path, const std::vector<unsigned char>& bytes);

// "\xNN" escapes of the listings turned back into bytes.
std::string unescape(const std::string& s);

struct OrderEntry {
    uint32_t recno;
    bool deleted;
    std::string key;
};
struct OrderListing {
    std::string table;  // e.g. "VENTE.DBF"
    std::vector<OrderEntry> entries;
};
OrderListing readOrderListing(const std::string& indexBaseName);

// Record images of a table listing, in record order.
std::vector<std::string> readRecordListing(const std::string& tableBaseName);

// Limits the size of files this process may write (a write past it fails
// with EFBIG), as a full disk would; SIGXFSZ is ignored meanwhile.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
        rlimit lower = saved_;
        lower.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit saved_{};
    sighandler_t oldHandler_;
};

// Threads of this process now.
int threadCount();
// Threads of this process once it has fallen to `expected`, or after a few
// seconds: a thread just joined may still be counted for a moment.
int threadCountSettlingAt(int expected);

}  // namespace sde::test
