// The one exception type of the engine. The C entry points catch it and keep
// its text for sx_ErrorText(); nothing escapes the library boundary.
#pragma once

#include <stdexcept>
#include <string>

namespace sde {

class EngineError : public std::runtime_error {
public:
    explicit EngineError(const std::string& message) : std::runtime_error(message) {}
};

// A file whose bytes do not make sense (bad header, page outside the file,
// cycle in the page links). Reported, never written to.
class CorruptFileError : public EngineError {
public:
    explicit CorruptFileError(const std::string& message) : EngineError(message) {}
};

// An expression that does not parse or does not type-check.
class ExpressionError : public EngineError {
public:
    explicit ExpressionError(const std::string& message) : EngineError(message) {}
};

}  // namespace sde
