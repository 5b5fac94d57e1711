// The framework's binary-coded decimal record and its conversions to and
// from Currency. The BCD field classes hand values through this record.
#pragma once

#include "System.h"

// Precision digits, most significant first, two to a byte (high nibble
// first); the last (SignSpecialPlaces & 0x3F) digits are decimals. Bit 7 of
// SignSpecialPlaces is the sign, bit 6 marks a special (invalid) value.
struct TBcd {
    Byte Precision = 0;
    Byte SignSpecialPlaces = 0;
    Byte Fraction[32] = {};
};
static_assert(sizeof(TBcd) == 34, "TBcd is a packed 34-byte record");

constexpr int MaxBcdDigits = 64;

// Writes Curr with Precision digits of which Decimals are decimals; a value
// with more decimals than Decimals is rounded half away from zero. False when
// Precision is not 1 .. 64, Decimals not 0 .. Precision, or the value does
// not fit; BCD is then left unchanged.
bool CurrToBCD(Currency Curr, TBcd& BCD, int Precision = 32, int Decimals = 4);

// Reads a BCD value into Currency, rounding decimals beyond the fourth half
// away from zero. False for a malformed record (bad precision or places, a
// nibble above 9, the special bit) or a value outside Currency's range; Curr
// is then left unchanged.
bool BCDToCurr(const TBcd& BCD, Currency& Curr);

// Plain decimal text of a well-formed BCD value ("-12.30" keeps its places);
// an empty text for a malformed one.
AnsiString BcdToStr(const TBcd& BCD);
