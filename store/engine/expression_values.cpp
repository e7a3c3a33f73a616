// Text and number rules shared by the expression nodes: string comparison
// with and without exact, reading stored numbers, VAL() and STR().
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>

#include "expression_internal.h"

namespace sde::expr {

const char* typeName(Value::Type type) {
    switch (type) {
        case Value::Type::Char: return "character";
        case Value::Type::Num: return "numeric";
        case Value::Type::Date: return "date";
        case Value::Type::Logical: return "logical";
    }
    return "unknown";
}

std::string_view moveIntoScratch(std::string_view v, std::string& scratch) {
    if (v.empty()) {
        scratch.clear();
        return scratch;
    }
    const char* begin = scratch.data();
    const char* end = begin + scratch.size();
    if (std::less_equal<const char*>()(begin, v.data()) && std::less<const char*>()(v.data(), end)) {
        // Already inside: cut in place rather than copy onto itself.
        scratch.erase(0, static_cast<size_t>(v.data() - begin));
        scratch.resize(v.size());
    } else {
        scratch.assign(v.data(), v.size());
    }
    return scratch;
}

namespace {

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

// Unsigned byte order; a proper prefix sorts first.
int compareBytes(std::string_view l, std::string_view r) {
    const size_t n = std::min(l.size(), r.size());
    if (n > 0) {
        const int c = std::memcmp(l.data(), r.data(), n);
        if (c != 0) return c < 0 ? -1 : 1;
    }
    if (l.size() == r.size()) return 0;
    return l.size() < r.size() ? -1 : 1;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Length of "[+-] digits [. digits]" at the start of `s` (0 when it holds no
// digit), with the count of digits after the point and before it.
size_t scanNumber(std::string_view s, int* decimals, int* intDigits) {
    size_t i = 0;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    size_t digits = 0;
    int before = 0;
    while (i < s.size() && isDigit(s[i])) ++i, ++digits, ++before;
    int after = 0;
    if (i + 1 < s.size() && s[i] == '.' && isDigit(s[i + 1])) {
        ++i;
        while (i < s.size() && isDigit(s[i])) ++i, ++digits, ++after;
    } else if (i < s.size() && s[i] == '.' && digits > 0) {
        ++i;  // "12." reads as 12
    }
    *decimals = after;
    *intDigits = before;
    return digits == 0 ? 0 : i;
}

// Converts a span that scanNumber() accepted; from_chars is locale-free.
double convert(std::string_view s) {
    bool negative = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    double d = 0.0;
    const auto result = std::from_chars(s.data(), s.data() + s.size(), d, std::chars_format::fixed);
    if (result.ec != std::errc() || !std::isfinite(d)) return 0.0;
    return negative ? -d : d;
}

}  // namespace

int compareText(std::string_view l, std::string_view r, bool exact) {
    if (exact) return compareBytes(trimRight(l), trimRight(r));
    // Exact off: the right operand says how much of the left counts.
    if (l.size() > r.size()) l = l.substr(0, r.size());
    return compareBytes(l, r);
}

double parseStoredNumber(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    int decimals = 0;
    int intDigits = 0;
    const size_t n = scanNumber(text, &decimals, &intDigits);
    if (n == 0 || n != text.size()) return 0.0;
    return convert(text);
}

Num parseNumberPrefix(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    Num result;
    int intDigits = 0;
    const size_t n = scanNumber(text, &result.decimals, &intDigits);
    if (n == 0) return Num{};
    result.value = convert(text.substr(0, n));
    const int needed = intDigits + (result.decimals > 0 ? result.decimals + 1 : 0);
    result.width = std::max(10, std::min(needed, 255));
    return result;
}

std::string_view formatNumber(double value, int width, int decimals, std::string& out) {
    width = std::clamp(width, 1, 255);
    decimals = std::clamp(decimals, 0, 15);
    out.clear();
    if (!std::isfinite(value)) {
        out.assign(static_cast<size_t>(width), '*');
        return out;
    }
    // Round half away from zero; the nudge makes 1.005 round up as people expect.
    // Past 2^52 a double has no fraction left to round.
    const double scale = std::pow(10.0, decimals);
    double scaled = std::fabs(value) * scale;
    double rounded = std::fabs(value);
    if (scaled < 0x1p52) rounded = std::floor(scaled + 0.5 + scaled * 0x1p-50) / scale;
    if (rounded != 0.0 && value < 0) rounded = -rounded;
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, rounded,
                                      std::chars_format::fixed, decimals);
    const size_t length = result.ec == std::errc() ? static_cast<size_t>(result.ptr - buffer) : 0;
    if (length == 0 || length > static_cast<size_t>(width)) {
        out.assign(static_cast<size_t>(width), '*');
        return out;
    }
    out.assign(static_cast<size_t>(width) - length, ' ');
    out.append(buffer, length);
    return out;
}

long long toCount(double d) {
    if (std::isnan(d)) return 0;
    return static_cast<long long>(std::clamp(d, -1e9, 1e9));
}

}  // namespace sde::expr
