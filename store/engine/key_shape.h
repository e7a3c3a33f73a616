// Index keys of record images for a build. The keys builds meet most (a
// field, UPPER(field), DTOS(field); FieldKey in expression.h) are read
// straight from the field's bytes; any other key goes through the key
// expression. Either way the bytes are those NtxIndex::makeKey gives.
#pragma once

#include <cstdint>
#include <vector>

#include "expression.h"

namespace sde {

class NtxIndex;

class KeyReader {
public:
    explicit KeyReader(const NtxIndex& index);

    // The key of one row (the index's key size in bytes); valid until the
    // next call.
    const unsigned char* key(const unsigned char* image, uint32_t recno);
    // Whether keys are read from the field rather than evaluated.
    bool direct() const { return shape_.form != FieldKey::Form::None; }

private:
    bool numberKey(const unsigned char* text);

    const NtxIndex& index_;
    FieldKey shape_;
    size_t size_;     // key size
    int decimals_;    // of a numeric key
    size_t copied_;   // field bytes that fit in the key
    std::vector<unsigned char> out_;
};

}  // namespace sde
