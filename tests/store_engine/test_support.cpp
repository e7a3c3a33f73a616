#include "test_support.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <cctype>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace sde::test {

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "sdetestXXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string goldenDir() {
    if (const char* env = std::getenv("SDE_GOLDEN_DIR")) return env;
#ifdef SDE_GOLDEN_DIR_DEFAULT
    return SDE_GOLDEN_DIR_DEFAULT;
#else
    return "../shared/testdata/ntx-golden";
#endif
}

std::string goldenFile(const std::string& name) { return goldenDir() + "/" + name; }

void copyFile(const std::string& from, const std::string& to) {
    writeAll(to, readAll(from));
}

std::vector<unsigned char> readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() + 0 && s[i + 1] == 'x') {
            out += static_cast<char>(std::stoi(s.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

namespace {

// "<digits> ...": the leading number and what follows its space.
bool leadingNumber(const std::string& line, unsigned long* n, std::string* rest) {
    size_t i = 0;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) ++i;
    if (i == 0 || i >= line.size() || line[i] != ' ') return false;
    *n = std::stoul(line.substr(0, i));
    *rest = line.substr(i + 1);
    return true;
}

// The text between the first '|' and the last '|' of a line.
bool between(const std::string& s, std::string* inner) {
    auto open = s.find('|');
    auto close = s.rfind('|');
    if (open == std::string::npos || close == open) return false;
    *inner = s.substr(open + 1, close - open - 1);
    return true;
}

}  // namespace

OrderListing readOrderListing(const std::string& base) {
    std::ifstream in(goldenFile(base + ".order.txt"));
    if (!in) throw std::runtime_error("no listing for " + base);
    OrderListing listing;
    std::string line;
    while (std::getline(in, line)) {
        unsigned long position = 0, recno = 0;
        std::string rest, rest2, key;
        if (line.rfind("# table", 0) == 0 && listing.table.empty()) {
            std::istringstream words(line.substr(7));
            words >> listing.table;
        } else if (leadingNumber(line, &position, &rest) && leadingNumber(rest, &recno, &rest2) &&
                   rest2.size() > 2 && (rest2[0] == '.' || rest2[0] == '*') &&
                   between(rest2.substr(2), &key)) {
            listing.entries.push_back({static_cast<uint32_t>(recno), rest2[0] == '*', unescape(key)});
        }
    }
    return listing;
}

std::vector<std::string> readRecordListing(const std::string& base) {
    std::ifstream in(goldenFile(base + ".records.txt"));
    if (!in) throw std::runtime_error("no listing for " + base);
    std::vector<std::string> records;
    std::string line;
    while (std::getline(in, line)) {
        unsigned long recno = 0;
        std::string rest, image;
        if (!line.empty() && line.back() == '|' && leadingNumber(line, &recno, &rest) &&
            rest.size() >= 2 && rest[0] == '|') {
            records.push_back(unescape(rest.substr(1, rest.size() - 2)));
        }
    }
    return records;
}

int threadCount() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Threads:", 0) == 0) return std::atoi(line.c_str() + 8);
    return -1;
}

int threadCountSettlingAt(int expected) {
    int n = threadCount();
    for (int i = 0; i < 5000 && n > expected; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        n = threadCount();
    }
    return n;
}

}  // namespace sde::test
