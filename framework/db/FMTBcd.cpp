#include "FMTBcd.h"

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

} // namespace

bool CurrToBCD(Currency Curr, TBcd& BCD, int Precision, int Decimals) {
    if (Precision < 1 || Precision > MaxBcdDigits || Decimals < 0 || Decimals > Precision) return false;
    Int64 raw = Curr.Raw();
    bool negative = raw < 0;
    unsigned long long magnitude =
        negative ? 0 - static_cast<unsigned long long>(raw) : static_cast<unsigned long long>(raw);

    // Digits of the value with exactly four decimals, then adjusted to Decimals.
    std::string digits = std::to_string(magnitude);
    if (digits.size() < 5) digits.insert(0, 5 - digits.size(), '0');
    if (Decimals >= 4) {
        digits.append(static_cast<size_t>(Decimals - 4), '0');
    } else {
        size_t keep = digits.size() - static_cast<size_t>(4 - Decimals);
        bool roundUp = digits[keep] >= '5';
        digits.resize(keep);
        for (size_t i = digits.size(); roundUp && i-- > 0;) {
            if (digits[i] == '9') {
                digits[i] = '0';
            } else {
                ++digits[i];
                roundUp = false;
            }
        }
        if (roundUp) digits.insert(digits.begin(), '1');
    }
    size_t first = digits.find_first_not_of('0');
    size_t significant = first == std::string::npos ? 0 : digits.size() - first;
    if (significant > static_cast<size_t>(Precision)) return false;
    if (significant == 0) negative = false;

    TBcd result;
    result.Precision = static_cast<Byte>(Precision);
    result.SignSpecialPlaces = static_cast<Byte>((negative ? 0x80 : 0) | Decimals);
    // Right-align the digits within Precision.
    int offset = Precision - static_cast<int>(digits.size());
    for (int i = 0; i < static_cast<int>(digits.size()); ++i)
        if (i + offset >= 0) SetDigit(result, i + offset, digits[static_cast<size_t>(i)] - '0');
    BCD = result;
    return true;
}

bool BCDToCurr(const TBcd& BCD, Currency& Curr) {
    if (!WellFormed(BCD)) return false;
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
    for (int k = 0; k < 4; ++k)
        if (!push(k < places ? Digit(BCD, whole + k) : 0)) return false;
    if (places > 4 && Digit(BCD, whole + 4) >= 5) {
        if (value == Limit) return false;
        ++value;
    }
    Curr = Currency::FromRaw(static_cast<Int64>(negative ? 0 - value : value));
    return true;
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
