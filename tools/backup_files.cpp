#include "tools/backup_files.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <system_error>

#include "errors.h"
#include "file_io.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kReadBlock = 1 << 20;

class Sha256 {
public:
    Sha256() : ctx_(EVP_MD_CTX_new(), EVP_MD_CTX_free) {
        if (!ctx_ || EVP_DigestInit_ex(ctx_.get(), EVP_sha256(), nullptr) != 1)
            throw BackupError("calcul SHA-256 indisponible (OpenSSL)");
    }
    void add(const unsigned char* bytes, size_t n) {
        if (n > 0 && EVP_DigestUpdate(ctx_.get(), bytes, n) != 1) throw BackupError("calcul SHA-256 impossible");
    }
    std::string hex() {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int n = 0;
        if (EVP_DigestFinal_ex(ctx_.get(), digest, &n) != 1) throw BackupError("calcul SHA-256 impossible");
        static const char kDigits[] = "0123456789abcdef";
        std::string out;
        for (unsigned int i = 0; i < n; ++i) {
            out += kDigits[digest[i] >> 4];
            out += kDigits[digest[i] & 15];
        }
        return out;
    }

private:
    std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> ctx_;
};

}  // namespace

std::string frenchReason(const std::error_code& ec) {
    switch (ec.value()) {
        case ENOSPC: return "le disque est plein";
        case EDQUOT: return "le quota du disque est atteint";
        case EACCES:
        case EPERM: return "accès refusé";
        case EROFS: return "le support est en lecture seule";
        case ENOENT: return "introuvable";
        case EIO: return "erreur de lecture ou d'écriture du support";
        default: return ec.message();
    }
}

Digest digestOf(const Bytes& bytes) {
    Sha256 sha;
    sha.add(bytes.data(), bytes.size());
    return {bytes.size(), sha.hex()};
}

Digest digestOfFile(const std::string& path) {
    try {
        auto file = sde::openFile(path, sde::OpenFlags::ReadOnly);
        Sha256 sha;
        Bytes block(kReadBlock);
        uint64_t at = 0;
        while (size_t got = file->readAt(at, block.data(), block.size())) {
            sha.add(block.data(), got);
            at += got;
        }
        return {at, sha.hex()};
    } catch (const sde::EngineError& e) {
        throw BackupError("lecture impossible de " + path + " (" + e.what() + ")");
    }
}

Bytes readWholeFile(const std::string& path) {
    try {
        auto file = sde::openFile(path, sde::OpenFlags::ReadOnly);
        Bytes bytes(file->size());
        bytes.resize(file->readAt(0, bytes.data(), bytes.size()));
        return bytes;
    } catch (const sde::EngineError& e) {
        throw BackupError("lecture impossible de " + path + " (" + e.what() + ")");
    }
}

void writeNewFile(const std::string& path, const Bytes& bytes, unsigned mode) {
    try {
        auto file = sde::openFile(path, sde::OpenFlags::CreateNew);
        file->writeAt(0, bytes.data(), bytes.size());
        file->sync();
    } catch (const sde::EngineError& e) {
        throw BackupError("écriture impossible de " + path + " (" + e.what() + ")");
    }
    std::error_code ec;  // a FAT key keeps no modes: nothing to do there
    fs::permissions(path, static_cast<fs::perms>(mode), ec);
}

void makePrivateFolder(const std::string& path) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) return;
    fs::create_directories(path, ec);
    std::error_code there;
    if (!fs::is_directory(path, there))
        throw BackupError("impossible de créer le dossier " + path + " : " + frenchReason(ec));
    fs::permissions(path, fs::perms::owner_all, ec);
}

void syncFolder(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = fd >= 0 && (::fsync(fd) == 0 || errno == EINVAL);  // EINVAL: nothing to flush there
    const std::error_code ec(errno, std::generic_category());
    if (fd >= 0) ::close(fd);
    if (!synced) throw BackupError("impossible d'écrire sur le disque le dossier " + path + " : " + frenchReason(ec));
}

void renameOrThrow(const std::string& from, const std::string& to) {
    std::error_code ec;
    fs::rename(from, to, ec);
    if (ec) throw BackupError("impossible de renommer " + from + " en " + to + " : " + frenchReason(ec));
}
