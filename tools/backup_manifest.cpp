#include "tools/backup_manifest.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "tools/folder_check.h"

void writeManifest(const std::string& folder, const std::vector<ManifestEntry>& entries) {
    std::string text;
    for (const ManifestEntry& e : entries)
        text += e.digest.sha256 + "  " + std::to_string(e.digest.size) + "  " + e.name + "\n";
    writeNewFile(folder + "/" + kManifestName, Bytes(text.begin(), text.end()), 0400);
}

std::vector<ManifestEntry> readManifest(const std::string& folder) {
    const Bytes bytes = readWholeFile(folder + "/" + kManifestName);
    std::istringstream lines(std::string(bytes.begin(), bytes.end()));
    std::vector<ManifestEntry> entries;
    for (std::string line; std::getline(lines, line);) {
        ManifestEntry e;
        std::istringstream fields(line);
        fields >> e.digest.sha256 >> e.digest.size;
        fields.ignore(2);
        std::getline(fields, e.name);
        if (!fields || e.digest.sha256.size() != 64 || e.name.empty() || e.name.find('/') != std::string::npos)
            throw BackupError("manifeste illisible à la ligne " + std::to_string(entries.size() + 1));
        entries.push_back(e);
    }
    if (entries.empty()) throw BackupError("manifeste vide");
    return entries;
}

std::string backupProblem(const std::string& folder) {
    try {
        const std::vector<ManifestEntry> entries = readManifest(folder);
        for (const ManifestEntry& e : entries) {
            if (!std::filesystem::exists(folder + "/" + e.name)) return e.name + " manque";
            if (!(digestOfFile(folder + "/" + e.name) == e.digest))
                return e.name + " ne correspond plus au manifeste";
        }
        for (const char* ext : {".dbf", ".ntx"})
            for (const std::string& name : filesWithExtension(folder, ext))
                if (std::none_of(entries.begin(), entries.end(), [&](const ManifestEntry& e) { return e.name == name; }))
                    return name + " n'est pas dans le manifeste";
    } catch (const BackupError& e) {
        return e.what();
    }
    return "";
}
