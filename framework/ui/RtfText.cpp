#include "RtfText.h"

namespace RtfText {

namespace {

// 0x80..0x9F of code page 1252; the rest of the upper half is Latin-1.
const char16_t Cp1252High[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

} // namespace

char32_t FromCp1252(unsigned char B) {
    if (B >= 0x80 && B < 0xA0) return Cp1252High[B - 0x80];
    return B;
}

int ToCp1252(char32_t C) {
    if (C < 0x80 || (C >= 0xA0 && C <= 0xFF)) return static_cast<int>(C);
    for (int i = 0; i < 32; ++i)
        if (Cp1252High[i] == C && C != 0xFFFD) return 0x80 + i;
    return '?';
}

char32_t NextCodePoint(const AnsiString& S, size_t& I) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(S[k]); };
    unsigned char b = byte(I);
    if (b < 0x80) {
        ++I;
        return b;
    }
    int extra = b >= 0xF5 ? -1 : b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 ? 1 : -1;
    if (extra < 0 || I + static_cast<size_t>(extra) >= S.size()) {
        ++I;
        return 0xFFFD;
    }
    char32_t c = b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        unsigned char t = byte(I + static_cast<size_t>(k));
        if ((t & 0xC0) != 0x80) {
            ++I;
            return 0xFFFD;
        }
        c = (c << 6) | (t & 0x3F);
    }
    static const char32_t Least[] = {0, 0x80, 0x800, 0x10000};
    if (c < Least[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++I;
        return 0xFFFD;
    }
    I += static_cast<size_t>(extra) + 1;
    return c;
}

} // namespace RtfText
