// The manifest of a backup, "manifeste.sha256" in its folder: one line per
// copied file, "SHA-256  size  name", written after the copies and read
// back to check them.
#pragma once

#include <string>
#include <vector>

#include "tools/backup_files.h"

inline constexpr const char* kManifestName = "manifeste.sha256";

struct ManifestEntry {
    std::string name;
    Digest digest;
};

// Throws BackupError.
void writeManifest(const std::string& folder, const std::vector<ManifestEntry>& entries);
// Throws BackupError when the manifest is missing or not one.
std::vector<ManifestEntry> readManifest(const std::string& folder);

// What is wrong with a backup folder, in French: a missing or garbled
// manifest, a file missing or unlike its line, a table or index that no
// line names. Empty when every file is as the manifest says.
std::string backupProblem(const std::string& folder);
