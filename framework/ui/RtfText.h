// Character helpers of the RTF reader and writer; not part of the framework's interface.
#pragma once

#include "SysUtils.h"

namespace RtfText {

// The code point of code-page 1252 byte B.
char32_t FromCp1252(unsigned char B);
// The code-page 1252 byte of C, or '?' when the code page has none.
int ToCp1252(char32_t C);

// Decodes the code point at I and moves I past it; a faulty sequence gives
// U+FFFD and moves one byte.
char32_t NextCodePoint(const AnsiString& S, size_t& I);

} // namespace RtfText
