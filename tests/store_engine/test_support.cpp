#include "test_support.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <stdexcept>

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

OrderListing readOrderListing(const std::string& base) {
    std::ifstream in(goldenFile(base + ".order.txt"));
    if (!in) throw std::runtime_error("no listing for " + base);
    OrderListing listing;
    std::regex entry(R"(^\d+ (\d+) ([.*]) \|(.*)\|.*$)");
    std::regex table(R"(^# table\s+(\S+))");
    std::string line;
    std::smatch m;
    while (std::getline(in, line)) {
        if (std::regex_match(line, m, entry))
            listing.entries.push_back({static_cast<uint32_t>(std::stoul(m[1])), m[2] == "*", unescape(m[3])});
        else if (listing.table.empty() && std::regex_search(line, m, table))
            listing.table = m[1];
    }
    return listing;
}

std::vector<std::string> readRecordListing(const std::string& base) {
    std::ifstream in(goldenFile(base + ".records.txt"));
    if (!in) throw std::runtime_error("no listing for " + base);
    std::vector<std::string> records;
    std::regex rec(R"(^(\d+) \|(.*)\|$)");
    std::string line;
    std::smatch m;
    while (std::getline(in, line))
        if (std::regex_match(line, m, rec)) records.push_back(unescape(m[2]));
    return records;
}

}  // namespace sde::test
