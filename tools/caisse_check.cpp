// caisse-check FOLDER [--repair]: checks every table and every index of a
// data folder and prints one line per file ("ok", or what is wrong); with
// --repair, rebuilds each damaged or stale index from its table. Exits 0
// when every file is sound (after the repairs), 1 otherwise.
#include <dirent.h>
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "errors.h"
#include "file_check.h"

namespace {

bool endsWith(const std::string& name, const char* ext) {
    size_t n = std::char_traits<char>::length(ext);
    return name.size() > n && ::strcasecmp(name.c_str() + name.size() - n, ext) == 0;
}

std::vector<std::string> filesOf(const std::string& folder, const char* ext) {
    std::vector<std::string> out;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(dir))
            if (endsWith(e->d_name, ext)) out.push_back(e->d_name);
        ::closedir(dir);
    }
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder;
    bool repair = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--repair")
            repair = true;
        else if (folder.empty())
            folder = a;
        else
            folder.clear(), i = argc;
    }
    if (folder.empty()) {
        std::fprintf(stderr, "usage : caisse-check DOSSIER [--repair]\n");
        return 2;
    }
    const auto tables = filesOf(folder, ".dbf");
    const auto indexes = filesOf(folder, ".ntx");
    if (tables.empty() && indexes.empty()) {
        std::printf("%s : aucune table ni aucun index\n", folder.c_str());
        return 1;
    }
    bool sound = true;
    std::vector<std::string> readable;
    for (const auto& t : tables) {
        std::string problem = sde::checkTable(folder + "/" + t);
        std::printf("%s : %s\n", t.c_str(), problem.empty() ? "ok" : problem.c_str());
        if (problem.empty())
            readable.push_back(t);
        else
            sound = false;
    }
    for (const auto& ix : indexes) {
        const std::string indexPath = folder + "/" + ix;
        // Its table: the first one whose rows it matches, else the first one
        // its key fits.
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
                if (after.empty()) {
                    std::printf("%s : %s ; reconstruit depuis %s\n", ix.c_str(), problem.c_str(), table.c_str());
                    continue;
                }
                problem += " ; reconstruction incomplète (" + after + ")";
            } catch (const sde::EngineError& e) {
                problem += std::string(" ; reconstruction impossible (") + e.what() + ")";
            }
        }
        std::printf("%s : %s\n", ix.c_str(), problem.empty() ? "ok" : problem.c_str());
        if (!problem.empty()) sound = false;
    }
    return sound ? 0 : 1;
}
