// caisse-check FOLDER [--repair]: checks every table and every index of a
// data folder and prints one line per file ("ok", or what is wrong); with
// --repair, rebuilds each damaged or stale index from its table. Exits 0
// when every file is sound (after the repairs), 1 otherwise.
#include <cstdio>
#include <string>

#include "folder_check.h"

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
    const FolderVerdict verdict = checkFolder(folder, repair);
    if (verdict.files.empty()) {
        std::printf("%s : aucune table ni aucun index\n", folder.c_str());
        return 1;
    }
    for (const FileVerdict& f : verdict.files) std::printf("%s : %s\n", f.name.c_str(), f.verdict.c_str());
    return verdict.sound() ? 0 : 1;
}
