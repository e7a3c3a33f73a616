// File names written in any letter case denote one file: "Ptsres.DBF",
// "PTSRES.dbf" and "ptsres.dbf" are the same table. The engine opens tables
// and indexes by such names, and the table layer looks files up by the same
// rule; it reaches the engine only through dlopen, so the rule is written
// once here, header-only, with the standard library alone.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace sde {

// Letters compare without regard to case, A to Z only whatever the locale
// (as the expressions' UPPER() does): every name the program uses is ASCII.
inline bool sameNameAnyCase(std::string_view a, std::string_view b) {
    auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

// The path of the existing file (or link to one) whose name matches the last
// part of `path` without regard to case, in the folder `path` names: `path`
// itself when it exists as written, else the first match in byte order of
// the names, so that the answer does not depend on the folder's order. An
// empty text when there is none.
inline std::string findFileAnyCase(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (fs::is_regular_file(path, error)) return path;
    const size_t slash = path.rfind('/');
    const std::string prefix = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = path.substr(prefix.size());
    std::string best;
    fs::directory_iterator it(prefix.empty() ? fs::path(".") : fs::path(prefix), error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        const std::string entry = it->path().filename().string();
        if (!sameNameAnyCase(entry, name) || (!best.empty() && entry >= best)) continue;
        if (fs::is_regular_file(prefix + entry, error)) best = entry;
        error.clear();  // a match that vanished since the listing is no match
    }
    return best.empty() ? std::string() : prefix + best;
}

}  // namespace sde
