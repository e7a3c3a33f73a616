// The file steps of a backup and of a restore: whole files read and written
// through the engine's file layer (so that tests can fill the disk under
// them), their SHA-256 (OpenSSL), folders made private and flushed.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

using Bytes = std::vector<unsigned char>;

// A backup or a restore that cannot go on; the text is French and says why.
class BackupError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The system's reason for a failed file step, in French where a person at
// the bar can act on it (a full disk, a read-only key, no access).
std::string frenchReason(const std::error_code& ec);

struct Digest {
    uint64_t size = 0;
    std::string sha256;  // lower-case hexadecimal, as sha256sum prints it
    bool operator==(const Digest&) const = default;
};

Digest digestOf(const Bytes& bytes);
// Throws BackupError when the file cannot be read.
Digest digestOfFile(const std::string& path);
Bytes readWholeFile(const std::string& path);

// Writes a new file (never an existing one), flushes it to disk and gives it
// `mode`. Throws BackupError (a full disk, an I/O error).
void writeNewFile(const std::string& path, const Bytes& bytes, unsigned mode);

// Makes the folder (and its parents) when missing; a folder it makes is the
// user's alone (0700).
void makePrivateFolder(const std::string& path);
// Flushes a folder's entries to disk, so that a rename survives a power cut.
void syncFolder(const std::string& path);
// Renames a file or folder; throws BackupError.
void renameOrThrow(const std::string& from, const std::string& to);
