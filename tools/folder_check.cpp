#include "folder_check.h"

#include <strings.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "errors.h"
#include "file_check.h"

namespace {

// The index's verdict against the readable tables: its table is the first
// one whose rows it matches, else the first one its key fits.
FileVerdict checkIndexOf(const std::string& folder, const std::string& ix,
                         const std::vector<std::string>& readable, bool repair) {
    const std::string indexPath = folder + "/" + ix;
    std::string table, problem = "aucune table lisible ne correspond à sa clé";
    for (const auto& t : readable) {
        bool fits = false;
        std::string p = sde::checkIndex(folder + "/" + t, indexPath, &fits);
        if (!fits) continue;
        if (p.empty() || table.empty()) {
            table = t;
            problem = p;
        }
        if (p.empty()) break;
    }
    if (!problem.empty() && repair && !table.empty()) {
        try {
            sde::rebuildIndex(folder + "/" + table, indexPath);
            std::string after = sde::checkIndex(folder + "/" + table, indexPath);
            if (after.empty()) return {ix, problem + " ; reconstruit depuis " + table, true};
            problem += " ; reconstruction incomplète (" + after + ")";
        } catch (const sde::EngineError& e) {
            problem += std::string(" ; reconstruction impossible (") + e.what() + ")";
        }
    }
    return {ix, problem.empty() ? "ok" : problem, problem.empty()};
}

}  // namespace

bool hasExtension(const std::string& name, const char* ext) {
    size_t n = std::char_traits<char>::length(ext);
    return name.size() > n && ::strcasecmp(name.c_str() + name.size() - n, ext) == 0;
}

bool FolderVerdict::sound() const {
    return !files.empty() && std::all_of(files.begin(), files.end(), [](const FileVerdict& f) { return f.sound; });
}

std::string FolderVerdict::firstProblem() const {
    for (const FileVerdict& f : files)
        if (!f.sound) return f.name + " : " + f.verdict;
    return files.empty() ? "aucune table ni aucun index" : "";
}

std::vector<std::string> filesWithExtension(const std::string& folder, const char* ext) {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
        std::string name = e.path().filename().string();
        if (hasExtension(name, ext) && e.is_regular_file(ec)) out.push_back(name);
    }
    std::sort(out.begin(), out.end());
    return out;
}

FolderVerdict checkFolder(const std::string& folder, bool repair) {
    FolderVerdict v;
    std::vector<std::string> readable;
    for (const auto& t : filesWithExtension(folder, ".dbf")) {
        std::string problem = sde::checkTable(folder + "/" + t);
        v.files.push_back({t, problem.empty() ? "ok" : problem, problem.empty()});
        if (problem.empty()) readable.push_back(t);
    }
    for (const auto& ix : filesWithExtension(folder, ".ntx"))
        v.files.push_back(checkIndexOf(folder, ix, readable, repair));
    return v;
}
