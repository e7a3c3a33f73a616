// The exceptions of the engine. Each carries the kind of failure that the C
// entry points report through sx_ErrorCode, beside its text for
// sx_ErrorText; nothing escapes the library boundary.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace sde {

// Kinds of failure; the values are the SDE_ERR_* constants of sde50.h.
enum class ErrorKind { None = 0, Corrupt = 1, Locked = 2, NotFound = 3, Io = 4, Expression = 5, Other = 6 };

class EngineError : public std::runtime_error {
public:
    explicit EngineError(const std::string& message, ErrorKind kind = ErrorKind::Other)
        : std::runtime_error(message), kind_(kind) {}
    ErrorKind kind() const { return kind_; }

private:
    ErrorKind kind_;
};

// A file whose bytes do not make sense (bad header, page outside the file,
// cycle in the page links). Reported, never written to.
class CorruptFileError : public EngineError {
public:
    explicit CorruptFileError(const std::string& message) : EngineError(message, ErrorKind::Corrupt) {}
};

// A damaged index file: its structure fails the checks at open or while it
// is read. The index can be rebuilt from its table.
class DamagedIndexError : public CorruptFileError {
public:
    DamagedIndexError(std::string path, const std::string& message)
        : CorruptFileError(message), path_(std::move(path)) {}
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// An expression that does not parse or does not type-check.
class ExpressionError : public EngineError {
public:
    explicit ExpressionError(const std::string& message) : EngineError(message, ErrorKind::Expression) {}
};

// A file, or a lock in it, held by another work area or program.
class LockedError : public EngineError {
public:
    explicit LockedError(const std::string& message) : EngineError(message, ErrorKind::Locked) {}
};

// A file that does not exist.
class NotFoundError : public EngineError {
public:
    explicit NotFoundError(const std::string& message) : EngineError(message, ErrorKind::NotFound) {}
};

// A read, write, truncate or stat the system refused (disk full, I/O error).
class IoError : public EngineError {
public:
    explicit IoError(const std::string& message) : EngineError(message, ErrorKind::Io) {}
};

}  // namespace sde
