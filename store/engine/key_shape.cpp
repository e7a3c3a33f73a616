#include "key_shape.h"

#include <algorithm>
#include <cstring>

#include "ntx_index.h"

namespace sde {
namespace {

// ASCII letters upper-cased, eight bytes at a time: a byte below 0x80 lies
// in 'a'..'z' when adding 0x80 - 'a' to it sets its top bit and adding
// 0x80 - 'z' - 1 does not; 0x80 >> 2 is the case bit 0x20. Other bytes
// (0xE8 ...) stay as stored, as UPPER() leaves them.
void upperAscii(const unsigned char* from, unsigned char* to, size_t n) {
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    constexpr uint64_t kTop = 0x8080808080808080ULL;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t x;
        std::memcpy(&x, from + i, 8);
        const uint64_t low = x & ~kTop;
        const uint64_t lower = (low + (0x80 - 'a') * kOnes) & ~(low + (0x80 - 'z' - 1) * kOnes) & ~x & kTop;
        x ^= lower >> 2;
        std::memcpy(to + i, &x, 8);
    }
    for (; i < n; ++i) {
        const unsigned char c = from[i];
        to[i] = c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c ^ 0x20) : c;
    }
}

}  // namespace

KeyReader::KeyReader(const NtxIndex& index)
    : index_(index),
      shape_(index.keyExpression().fieldKey()),
      size_(index.header().keySize),
      decimals_(index.header().decimals),
      copied_(std::min(shape_.width, size_)),
      out_(size_, ' ') {}

const unsigned char* KeyReader::key(const unsigned char* image, uint32_t recno) {
    using Form = FieldKey::Form;
    const unsigned char* field = image + shape_.offset;
    unsigned char* out = out_.data();
    switch (shape_.form) {
        case Form::Bytes:
            std::memcpy(out, field, copied_);
            return out;  // the bytes past copied_ stay blank
        case Form::Upper:
            upperAscii(field, out, copied_);
            return out;
        case Form::Date: {
            bool digits = shape_.width == 8;
            for (size_t i = 0; digits && i < 8; ++i) digits = field[i] >= '0' && field[i] <= '9';
            const size_t n = std::min<size_t>(8, size_);
            if (digits)
                std::memcpy(out, field, n);
            else
                std::memset(out, ' ', n);
            return out;
        }
        case Form::Logical: {
            const unsigned char c = shape_.width == 0 ? 0 : field[0];
            out[0] = c == 'T' || c == 't' || c == 'Y' || c == 'y' ? 'T' : 'F';
            return out;
        }
        case Form::Number:
            if (numberKey(field)) return out;
            break;
        case Form::None: break;
    }
    const std::string k = index_.makeKey(image, recno, true);
    std::memcpy(out, k.data(), size_);  // only numbers and other keys come here: whole keys
    return out;
}

// A numeric field whose text is as a writer lays it out (right-aligned,
// an optional minus, the field's decimals exactly, at most 15 digits so
// that the number reads back exactly) gives its key without conversion:
// blanks and the minus become '0', and a negative number's digits d become
// 0x5C - d. False for any other text, which then takes the general way.
bool KeyReader::numberKey(const unsigned char* text) {
    const size_t w = shape_.width;
    if (w != size_ || shape_.decimals != decimals_ || w == 0) return false;
    size_t i = 0;
    while (i < w && text[i] == ' ') ++i;
    bool negative = false;
    if (i < w && text[i] == '-') {
        negative = true;
        ++i;
    }
    const size_t firstDigit = i;
    bool nonZero = false;
    while (i < w && text[i] >= '0' && text[i] <= '9') nonZero |= text[i++] != '0';
    size_t digits = i - firstDigit;
    if (digits == 0) return false;
    if (decimals_ > 0) {
        if (w - i != static_cast<size_t>(decimals_) + 1 || text[i] != '.') return false;
        for (++i; i < w; ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
            nonZero |= text[i] != '0';
            ++digits;
        }
    } else if (i != w) {
        return false;
    }
    if (digits > 15) return false;
    unsigned char* out = out_.data();
    const bool flip = negative && nonZero;  // -0 keys as 0
    for (size_t k = 0; k < w; ++k) {
        unsigned char c = text[k];
        if (c == ' ' || c == '-') c = '0';
        if (flip && c != '.') c = static_cast<unsigned char>(0x5C - c);
        out[k] = c;
    }
    return true;
}

}  // namespace sde
