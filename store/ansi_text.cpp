#include "store/ansi_text.h"

namespace {
// 0x80..0x9F of the Western Windows code page; 0 where the page has no character.
const char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
}  // namespace

QString fromAnsi(const char* bytes, int length) {
    QString out;
    out.reserve(length);
    for (int i = 0; i < length; ++i) {
        auto b = static_cast<unsigned char>(bytes[i]);
        char16_t c = b;
        if (b >= 0x80 && b < 0xA0 && kHigh[b - 0x80] != 0) c = kHigh[b - 0x80];
        out.append(QChar(c));
    }
    return out;
}

QByteArray toAnsi(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (QChar ch : text) {
        char16_t c = ch.unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out.append(static_cast<char>(c));
            continue;
        }
        char mapped = '?';
        for (int i = 0; i < 32; ++i)
            if (kHigh[i] == c) mapped = static_cast<char>(0x80 + i);
        out.append(mapped);
    }
    return out;
}
