// The framework's binary-coded decimal record and its conversions: to and
// from Currency, from and to a scaled 64-bit integer (a NUMERIC as the
// engine keeps it), from text, and to the nearest double. The BCD field
// classes hand values through this record, which holds them exactly.
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

// Writes Raw x 10^-Scale (Scale 0 .. 18 decimals) with Precision digits of
// which Decimals are decimals; a value with more decimals than Decimals is
// rounded half away from zero. False when Precision is not 1 .. 64, Decimals
// not 0 .. Precision, Scale not 0 .. 18, or the value does not fit; BCD is
// then left unchanged.
bool ScaledToBCD(Int64 Raw, int Scale, TBcd& BCD, int Precision, int Decimals);
// The same for Currency (Scale 4).
bool CurrToBCD(Currency Curr, TBcd& BCD, int Precision = 32, int Decimals = 4);

// Reads a BCD value as a count of 10^-Scale units (Scale 0 .. 18), rounding
// decimals beyond the Scale-th half away from zero. False for a malformed
// record (bad precision or places, a nibble above 9, the special bit) or a
// value beyond 64 bits; Raw is then left unchanged.
bool BCDToScaled(const TBcd& BCD, int Scale, Int64& Raw);
// The same as Currency (Scale 4).
bool BCDToCurr(const TBcd& BCD, Currency& Curr);

// Reads "[+|-]digits[.digits]" (blanks around it allowed, at least one
// digit) at precision 32, rounded half away from zero to Decimals places
// (0 .. 32). False for other text or a value that does not fit.
bool TryStrToBCD(const AnsiString& S, TBcd& BCD, int Decimals);

// Plain decimal text of a well-formed BCD value ("-12.30" keeps its places);
// an empty text for a malformed one.
AnsiString BcdToStr(const TBcd& BCD);
// The double nearest to a well-formed BCD value; 0 for a malformed one.
double BcdToDouble(const TBcd& BCD);
