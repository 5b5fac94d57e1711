// BCD records: writing them from digits (Currency, scaled integers, text)
// with rounding to the places asked for, reading them back as scaled
// integers, text and doubles.
#include "FMTBcd.h"

#include "SysUtils.h"

#include <charconv>
#include <cstring>
#include <limits>
#include <string>

namespace {

int Digit(const TBcd& BCD, int Index) {
    Byte b = BCD.Fraction[Index / 2];
    return Index % 2 == 0 ? b >> 4 : b & 0x0F;
}

void SetDigit(TBcd& BCD, int Index, int Value) {
    Byte& b = BCD.Fraction[Index / 2];
    if (Index % 2 == 0)
        b = static_cast<Byte>((b & 0x0F) | (Value << 4));
    else
        b = static_cast<Byte>((b & 0xF0) | Value);
}

bool WellFormed(const TBcd& BCD) {
    int places = BCD.SignSpecialPlaces & 0x3F;
    if (BCD.Precision < 1 || BCD.Precision > MaxBcdDigits || places > BCD.Precision) return false;
    if (BCD.SignSpecialPlaces & 0x40) return false;
    for (int i = 0; i < BCD.Precision; ++i)
        if (Digit(BCD, i) > 9) return false;
    return true;
}

constexpr int MaxScale = 18;

std::string MagnitudeDigits(Int64 Raw) {
    unsigned long long magnitude =
        Raw < 0 ? 0 - static_cast<unsigned long long>(Raw) : static_cast<unsigned long long>(Raw);
    return std::to_string(magnitude);
}

// Writes the decimal digits Digits (decimal characters, the last Places of
// them decimals) with Precision digits of which Decimals are decimals.
bool DigitsToBCD(bool Negative, std::string Digits, int Places, TBcd& BCD, int Precision, int Decimals) {
    if (Precision < 1 || Precision > MaxBcdDigits || Decimals < 0 || Decimals > Precision || Places < 0)
        return false;
    if (Digits.size() < static_cast<size_t>(Places) + 1) Digits.insert(0, Places + 1 - Digits.size(), '0');
    if (Decimals >= Places) {
        Digits.append(static_cast<size_t>(Decimals - Places), '0');
    } else {
        size_t keep = Digits.size() - static_cast<size_t>(Places - Decimals);
        bool roundUp = Digits[keep] >= '5';
        Digits.resize(keep);
        for (size_t i = Digits.size(); roundUp && i-- > 0;) {
            if (Digits[i] == '9') {
                Digits[i] = '0';
            } else {
                ++Digits[i];
                roundUp = false;
            }
        }
        if (roundUp) Digits.insert(Digits.begin(), '1');
    }
    size_t first = Digits.find_first_not_of('0');
    size_t significant = first == std::string::npos ? 0 : Digits.size() - first;
    if (significant > static_cast<size_t>(Precision)) return false;
    if (significant == 0) Negative = false;

    TBcd result;
    result.Precision = static_cast<Byte>(Precision);
    result.SignSpecialPlaces = static_cast<Byte>((Negative ? 0x80 : 0) | Decimals);
    // Right-align the digits within Precision.
    int offset = Precision - static_cast<int>(Digits.size());
    for (int i = 0; i < static_cast<int>(Digits.size()); ++i)
        if (i + offset >= 0) SetDigit(result, i + offset, Digits[static_cast<size_t>(i)] - '0');
    BCD = result;
    return true;
}

} // namespace

bool ScaledToBCD(Int64 Raw, int Scale, TBcd& BCD, int Precision, int Decimals) {
    if (Scale < 0 || Scale > MaxScale) return false;
    return DigitsToBCD(Raw < 0, MagnitudeDigits(Raw), Scale, BCD, Precision, Decimals);
}

bool CurrToBCD(Currency Curr, TBcd& BCD, int Precision, int Decimals) {
    return ScaledToBCD(Curr.Raw(), 4, BCD, Precision, Decimals);
}

bool BCDToScaled(const TBcd& BCD, int Scale, Int64& Raw) {
    if (!WellFormed(BCD) || Scale < 0 || Scale > MaxScale) return false;
    int places = BCD.SignSpecialPlaces & 0x3F;
    int whole = BCD.Precision - places;
    bool negative = (BCD.SignSpecialPlaces & 0x80) != 0;
    // A negative value reaches one further: the magnitude of Int64's minimum.
    const unsigned long long Limit =
        static_cast<unsigned long long>(std::numeric_limits<Int64>::max()) + (negative ? 1 : 0);
    unsigned long long value = 0;
    auto push = [&](int d) {
        if (value > (Limit - static_cast<unsigned long long>(d)) / 10) return false;
        value = value * 10 + static_cast<unsigned long long>(d);
        return true;
    };
    for (int i = 0; i < whole; ++i)
        if (!push(Digit(BCD, i))) return false;
    for (int k = 0; k < Scale; ++k)
        if (!push(k < places ? Digit(BCD, whole + k) : 0)) return false;
    if (places > Scale && Digit(BCD, whole + Scale) >= 5) {
        if (value == Limit) return false;
        ++value;
    }
    Raw = static_cast<Int64>(negative ? 0 - value : value);
    return true;
}

bool BCDToCurr(const TBcd& BCD, Currency& Curr) {
    Int64 raw;
    if (!BCDToScaled(BCD, 4, raw)) return false;
    Curr = Currency::FromRaw(raw);
    return true;
}

bool TryStrToBCD(const AnsiString& S, TBcd& BCD, int Decimals) {
    AnsiString t = Trim(S);
    size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    std::string digits;
    int places = 0;
    bool dot = false;
    for (; i < t.size(); ++i) {
        char ch = t[i];
        if (ch == '.' && !dot) {
            dot = true;
        } else if (ch >= '0' && ch <= '9') {
            digits += ch;
            if (dot) ++places;
        } else {
            return false;
        }
    }
    // Leading zeros take no room: the precision counts significant digits.
    if (digits.empty() || Decimals < 0 || Decimals > 32) return false;
    return DigitsToBCD(negative, digits, places, BCD, 32, Decimals);
}

AnsiString BcdToStr(const TBcd& BCD) {
    if (!WellFormed(BCD)) return AnsiString();
    int places = BCD.SignSpecialPlaces & 0x3F;
    int whole = BCD.Precision - places;
    AnsiString text;
    for (int i = 0; i < whole; ++i) {
        int d = Digit(BCD, i);
        if (text.empty() && d == 0) continue;
        text += static_cast<char>('0' + d);
    }
    if (text.empty()) text += '0'; // not = "0": GCC 12 warns falsely (-Wrestrict) there at -O2
    if (places > 0) {
        text += '.';
        for (int i = whole; i < BCD.Precision; ++i)
            text += static_cast<char>('0' + Digit(BCD, i));
    }
    bool zero = text.find_first_not_of("0.") == AnsiString::npos;
    if ((BCD.SignSpecialPlaces & 0x80) && !zero) text.insert(text.begin(), '-');
    return text;
}

double BcdToDouble(const TBcd& BCD) {
    // from_chars rounds correctly and reads no locale.
    AnsiString text = BcdToStr(BCD);
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}
