// The tokenizer of the SELECT parser. It belongs to SQLSelectParserKV.cpp
// alone; this header exists so that the tests can reach it. Nothing else
// includes it.
#pragma once

#include "SQLSelectParserKV.h"

namespace SQLSelectParserKV {

// Skips blanks and reads one raw token (quotes included) from a
// NUL-terminated text. False, with Token untouched and the cursor on the
// NUL, when only blanks are left.
bool ScanToken(const char*& Cursor, AnsiString& Token);

// Reads and classifies the next token; sitEnd at the end of the text (Token
// untouched). Two- and three-word keywords come back as one token whose
// words are joined by one blank.
TSQLItemType GetNextToken(const char*& Cursor, AnsiString& Token);

} // namespace SQLSelectParserKV
